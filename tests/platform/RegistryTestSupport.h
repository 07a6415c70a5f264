#pragma once

#include "platform/registry/UserRegFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <ostream>
#include <stdexcept>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* out)
{
    *out << '{';
    for (qsizetype i = 0; i < list.size(); ++i) {
        *out << (i ? ", " : "");
        PrintTo(list[i], out);
    }
    *out << '}';
}

namespace velmr::test {

// 2024-12-07 00:00:00 UTC, as the registry files record it.
constexpr platform::RegistryTime kFixedTime = 133780000000000000ULL;
inline const QByteArray kFixedSeconds = "1733526400";
inline const QByteArray kFixedTimeLine = "#time=1db4833820d4000";

inline platform::RegistryTime FixedClock()
{
    return kFixedTime;
}

// A key path written with "\\" between its components.
inline QStringList Key(QStringView path)
{
    return path.toString().split(u'\\', Qt::SkipEmptyParts);
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

// Sets an environment variable (or unsets it, for a null value) for the lifetime of the object.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char* name, const QString& value)
        : name_(name), hadValue_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value.toLocal8Bit());
    }
    ~ScopedEnvironment()
    {
        if (hadValue_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    bool hadValue_;
    QByteArray old_;
};

} // namespace velmr::test
