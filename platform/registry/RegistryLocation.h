#pragma once

#include <QString>

namespace velmr::platform {

// Which store holds HKEY_CURRENT_USER.
enum class RegistryStoreKind
{
    WinePrefix,        // the prefix named by WINEPREFIX
    DefaultWinePrefix, // ~/.wine
    ProgramStore,      // the program's own store, for a user without Wine
};

// Where the per-user registry lives. All three kinds use Wine's user.reg format, so that a store
// made without Wine can later be copied into a prefix.
struct RegistryLocation
{
    RegistryStoreKind kind = RegistryStoreKind::ProgramStore;
    QString prefix;      // the Wine prefix folder; empty for the program's own store
    QString userRegPath; // the user.reg file (it need not exist yet)
};

// The location for the environment as it is now: $WINEPREFIX/user.reg when WINEPREFIX is set,
// else ~/.wine/user.reg when ~/.wine is a folder, else $XDG_DATA_HOME/velmrmgr/user.reg.
RegistryLocation FindRegistryLocation();

} // namespace velmr::platform
