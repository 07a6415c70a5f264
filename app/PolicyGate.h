#pragma once

#include <QString>

namespace velmr::platform {
class RegistryBackend;
}

namespace velmr::app {

// What the administrator policy gate decided.
struct PolicyDecision
{
    bool forbidden = false;
    // A store that could not be read: the start goes on without the Velmor commands, as when
    // the key cannot be opened (the message says why).
    bool storeUnreadable = false;
    // A problem the user is told about (an unreadable store, or a key that could not be created).
    QString problem;
};

// The administrator policy gate: the start is forbidden when `adm` under
// HKEY_CURRENT_USER\Software\Zeb\Velmor is exactly "1" and the tenth character of `Policy01` is a
// lower-case "t". Opening the key path creates what is missing; neither value is ever written.
PolicyDecision CheckStartPolicy(platform::RegistryBackend& registry);

// The gate on the current user's store: true means the program must not start.
bool PolicyForbidsStart();

} // namespace velmr::app
