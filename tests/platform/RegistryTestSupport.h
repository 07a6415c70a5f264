#pragma once

#include "platform/registry/UserRegFile.h"
#include "tests/support/WineTestSupport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>

namespace velmr::test {

// 2024-12-07 00:00:00 UTC, as the registry files record it.
constexpr platform::RegistryTime kFixedTime = 133780000000000000ULL;
inline const QByteArray kFixedSeconds = "1733526400";
inline const QByteArray kFixedTimeLine = "#time=1db4833820d4000";

inline platform::RegistryTime FixedClock()
{
    return kFixedTime;
}

// A file as Wine writes it for a new prefix, followed by `body`.
inline QByteArray WineFile(const QByteArray& body)
{
    return platform::NewUserRegHeader() + body;
}

inline platform::UserRegFile ParseOrFail(const QByteArray& bytes)
{
    std::optional<platform::UserRegFile> file = platform::UserRegFile::Parse(bytes);
    if (!file)
        throw std::runtime_error("not a registry file: " + bytes.left(60).toStdString());
    return std::move(*file);
}

} // namespace velmr::test
