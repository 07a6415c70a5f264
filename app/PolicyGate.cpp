#include "app/PolicyGate.h"

#include "platform/Cp932.h"
#include "platform/registry/RegistryAccessor.h"
#include "sibling/VelmorKey.h"

#include <array>

namespace velmr::app {
namespace {

// Only the tenth character of Policy01 is examined, as a byte of a zero-filled 256-byte buffer.
bool PolicyForbids(const QString& policy01)
{
    std::array<char, 256> buffer{};
    const std::string bytes = platform::cp932::EncodeLossy(policy01);
    std::copy_n(bytes.data(), std::min(bytes.size(), buffer.size() - 1), buffer.begin());
    return buffer[9] == 't';
}

} // namespace

PolicyDecision CheckStartPolicy(platform::RegistryBackend& backend)
{
    PolicyDecision decision;
    std::shared_ptr<platform::RegistryBackend> borrowed(&backend,
                                                        [](platform::RegistryBackend*) {});
    platform::RegistryAccessor registry(borrowed);
    try {
        sibling::OpenVelmorKey(registry, /*canCreate=*/true);
        if (registry.ReadString(sibling::kAdmValue) == QLatin1String("1"))
            decision.forbidden = PolicyForbids(registry.ReadString(sibling::kPolicy01Value));
    } catch (const platform::RegistryError& error) {
        decision.storeUnreadable = true;
        decision.problem = error.Message();
        return decision;
    }
    try {
        registry.Close();
    } catch (const platform::RegistryError& error) {
        // The values were read; only creating the missing key failed. The start goes on.
        decision.problem = error.Message();
    }
    return decision;
}

bool PolicyForbidsStart()
{
    const PolicyDecision decision = CheckStartPolicy(*platform::CurrentUserRegistry());
    return decision.forbidden;
}

} // namespace velmr::app
