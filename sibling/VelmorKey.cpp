#include "sibling/VelmorKey.h"

#include "platform/registry/RegistryAccessor.h"

namespace velmr::sibling {

VelmorKeyOpened OpenVelmorKey(platform::RegistryAccessor& registry, bool canCreate)
{
    VelmorKeyOpened opened;
    opened.software = registry.OpenKey(kSoftwareKey, canCreate);
    opened.zeb = registry.OpenKey(kZebKey, canCreate);
    opened.velmor = registry.OpenKey(kVelmorKey, canCreate);
    return opened;
}

} // namespace velmr::sibling
