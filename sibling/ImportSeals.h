#pragma once

#include "seal/Records.h"

#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace velmr::platform {
class RegistryBackend;
}
namespace velmr::seal {
class TMDIChild;
}

// Importing the seals the Velmor program holds now: its name and date seal from the Velmor key's
// subkeys, its bitmap seal from the file that Bitmap1 names in the install folder.
namespace velmr::sibling {

// Makes a new document window with the given caption (the main window's NewChildWindow).
using NewDocumentWindow = std::function<seal::TMDIChild*(const QString& caption)>;

// Closes a document window that has just been made (its frame too).
void CloseNewDocument(seal::TMDIChild* document);

// The current seals' records, read in one look at the store (the subkey is created when
// missing). Reading the date seal also writes the defaults of the later values that are missing.
// Throws RegistryError.
void LoadNameSeal(seal::NameStampRecord& record, seal::NameStampExRecord& ex,
                  std::shared_ptr<platform::RegistryBackend> backend);
void LoadDateSeal(seal::DateStampRecord& record, seal::DateStampExRecord& ex,
                  std::shared_ptr<platform::RegistryBackend> backend);

// The commands of 現在の瑠環印鑑のﾃﾞｰﾀを取込む. A store that cannot be read is told in a message
// box over `parent` and opens no window.
void ImportNameSeal(QWidget* parent, const NewDocumentWindow& newWindow);
void ImportDateSeal(QWidget* parent, const NewDocumentWindow& newWindow);
void ImportBitmapSeal(QWidget* parent, const QString& setupRootPath,
                      const NewDocumentWindow& newWindow);

} // namespace velmr::sibling
