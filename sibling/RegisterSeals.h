#pragma once

#include "seal/Records.h"

#include <QString>

#include <memory>

namespace velmr::platform {
class RegistryBackend;
}
namespace velmr::seal {
class TMDIChild;
}

// Registering the active seal into the Velmor program: a name or date seal's parameters into the
// Velmor key's NameStamp or DateStamp, a bitmap seal as a BMP file in the install folder named
// by Bitmap1.
namespace velmr::sibling {

// The caption of the Velmor commands' message boxes.
inline const QString kVelmorCaption = QStringLiteral("瑠環印影MGR");

// Writes every value of the seal into its subkey in one commit. Throws RegistryError; nothing is
// then written.
void StoreNameSeal(const seal::NameStampRecord& record, const seal::NameStampExRecord& ex,
                   std::shared_ptr<platform::RegistryBackend> backend);
void StoreDateSeal(const seal::DateStampRecord& record, const seal::DateStampExRecord& ex,
                   std::shared_ptr<platform::RegistryBackend> backend);

// The commands; their outcome is told in message boxes over `document`.
void RegisterNameSeal(seal::TMDIChild& document);
void RegisterDateSeal(seal::TMDIChild& document);
void RegisterBitmapSeal(seal::TMDIChild& document, bool velmorPresent,
                        const QString& setupRootPath);

// The name the bitmap name dialog proposes for a document's file: without folder and extension.
QString ProposedBitmapName(const QString& fileName);
// The file name registered for what was typed: its last part, with ".bmp" for its extension.
QString RegisteredBitmapName(const QString& typed);

// Why the Velmor program could not open the file registered for what was typed ("." or "..", a
// character Windows keeps out of file names, or one without a Shift-JIS code); empty when it
// can.
QString BitmapNameProblem(const QString& typed);

// Bitmap1Resolution for a bitmap seal's print resolution; empty for an unknown one.
QString BitmapResolutionValue(std::int32_t bitmapResolution);

} // namespace velmr::sibling
