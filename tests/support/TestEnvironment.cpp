#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>

namespace velmr::test {
namespace {
QString g_root;
std::atomic<int> g_counter{0};
} // namespace

void SetPrivateRoot(const QString& root)
{
    g_root = root;
}

QString PrivateRoot()
{
    return g_root;
}

QString PrivateHome()
{
    return g_root + QStringLiteral("/home");
}

QString PrivateTemp()
{
    return g_root + QStringLiteral("/tmp");
}

QString MakeTempFolder(const QString& hint)
{
    const QString path =
        QStringLiteral("%1/%2-%3").arg(PrivateTemp(), hint).arg(g_counter.fetch_add(1));
    QDir().mkpath(path);
    return path;
}

void WriteFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(data), data.size());
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace velmr::test
