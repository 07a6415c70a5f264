#pragma once

#include <QString>

namespace velmr::platform {
class RegistryAccessor;
}

// The Velmor program's registry key, HKEY_CURRENT_USER\Software\Zeb\Velmor, shared by both
// programs, and the names of its values.
namespace velmr::sibling {

inline const QString kSoftwareKey = QStringLiteral("Software");
inline const QString kZebKey = QStringLiteral("Zeb");
inline const QString kVelmorKey = QStringLiteral("Velmor");

inline const QString kAdmValue = QStringLiteral("adm");
inline const QString kPolicy01Value = QStringLiteral("Policy01");

// Which levels of the key path opened.
struct VelmorKeyOpened
{
    bool software = false;
    bool zeb = false;
    bool velmor = false;
};

// Opens "Software", then "Zeb", then "Velmor", each relative to the last key that opened. A level
// that does not open is passed over. Throws RegistryError when the store cannot be read.
VelmorKeyOpened OpenVelmorKey(platform::RegistryAccessor& registry, bool canCreate);

} // namespace velmr::sibling
