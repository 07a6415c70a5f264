#pragma once

#include "platform/UserDialogs.h"
#include "sibling/WinePaths.h"

#include <QString>

#include <optional>

class QWidget;

namespace velmr::platform {
struct RegistryLocation;
}

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

// Where a velmor.exe that was found or chosen puts the install folder.
struct SetupPlace
{
    QString prefix; // a Wine prefix that becomes the store from now on; empty: the store stays
    std::optional<QString>
        folder; // SetupRoot in that store's form; nothing when it cannot be named
};

// The place for the Velmor program `file` (a Unix path, or a Windows path the user typed) while
// the store is at `location`: a program inside a Wine prefix other than the store makes that
// prefix the store, unless WINEPREFIX names the store.
SetupPlace PlaceVelmorProgram(const platform::RegistryLocation& location, const QString& file);

} // namespace velmr::sibling
