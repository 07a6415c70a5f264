#pragma once

#include <QString>

#include <optional>

namespace velmr::platform {

// Which store holds HKEY_CURRENT_USER.
enum class RegistryStoreKind
{
    WinePrefix,        // the prefix named by WINEPREFIX
    RememberedPrefix,  // the prefix that holds the Velmor program the user chose
    DefaultWinePrefix, // ~/.wine
    ProgramStore,      // the program's own store, for a user without Wine
};

// Where the per-user registry lives. All kinds use Wine's user.reg format, so that a store made
// without Wine can later be copied into a prefix.
struct RegistryLocation
{
    RegistryStoreKind kind = RegistryStoreKind::ProgramStore;
    QString prefix;      // the Wine prefix folder; empty for the program's own store
    QString userRegPath; // the user.reg file (it need not exist yet)
};

// The location for the environment as it is now: $WINEPREFIX/user.reg when WINEPREFIX is set,
// else the remembered prefix's user.reg while that prefix is a folder, else ~/.wine/user.reg when
// ~/.wine is a folder, else $XDG_DATA_HOME/velmrmgr/user.reg.
RegistryLocation FindRegistryLocation();

// The settings file of the program: $XDG_CONFIG_HOME/velmrmgr/velmrmgr.conf (default
// ~/.config/velmrmgr/velmrmgr.conf).
QString SettingsFilePath();

// The Wine prefix remembered in the settings file; empty when none is.
QString RememberedWinePrefix();

// Remembers `prefix` (an absolute folder) for later starts. Returns why it could not be
// remembered, a Japanese text naming the settings file, or nothing on success.
std::optional<QString> RememberWinePrefix(const QString& prefix);

} // namespace velmr::platform
