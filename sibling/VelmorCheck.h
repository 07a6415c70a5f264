#pragma once

#include "platform/UserDialogs.h"
#include "sibling/WinePaths.h"

#include <QString>

#include <optional>

class QWidget;

namespace velmr::sibling {

class TMessageForm;

// What the check at the main window's first show found.
struct VelmorCheckResult
{
    bool keyFound = false; // the Velmor key exists: the import commands become available
    bool present = false;  // VelmorPresent: the key exists and the install folder is known
    QString setupRootPath; // SetupRootPath, in the store's form of paths
};

// Looks for the Velmor key and its install folder, asking the user for velmor.exe when SetupRoot
// is empty and no velmor.exe lies in the current folder, and remembers the folder in SetupRoot.
// Shows `notice` (made here when null) when the key is missing.
VelmorCheckResult CheckVelmor(QWidget* parent, TMessageForm* notice);

// The find dialog VelmorFindDialog.
platform::FileDialogRequest VelmorFindRequest(const VelmorPaths& paths);

// The install folder, in the store's form, for the velmor.exe the user chose: a Windows path is
// split by the Velmor program's rules; a Unix path gives its folder, in a prefix written through
// the prefix's drives. Nothing when the prefix has no drive that leads there.
std::optional<QString> ChosenSetupFolder(const VelmorPaths& paths, const QString& chosenPath);

} // namespace velmr::sibling
