// What this program writes into a prefix's user.reg, Wine itself must read the same way, and what
// Wine writes back this program must read unchanged.

#include "platform/registry/UserRegBackend.h"
#include "tests/platform/RegistryTestSupport.h"
#include "tests/support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <cstdio>

namespace velmr::platform {
namespace {

using namespace Qt::StringLiterals;
using test::Key;

const QStringList kNameStamp = Key(u"Software\\Zeb\\Velmor\\NameStamp");

using test::ProcessRun;

// A throw-away Wine prefix; its server is stopped when the object goes.
class WinePrefix
{
public:
    explicit WinePrefix(QString folder) : folder_(std::move(folder)) {}
    ~WinePrefix() { test::StopWineServer(folder_); }
    WinePrefix(const WinePrefix&) = delete;
    WinePrefix& operator=(const WinePrefix&) = delete;

    const QString& Folder() const { return folder_; }
    QString UserReg() const { return folder_ + u"/user.reg"_s; }

    ProcessRun Execute(const QString& program, const QStringList& arguments, int timeoutMs) const
    {
        return test::RunForPrefix(folder_, program, arguments, timeoutMs);
    }

    // Waits until the prefix's server has stopped and saved the registry.
    void WaitForServer() const { Execute(u"wineserver"_s, {u"-w"_s}, 60000); }

private:
    QString folder_;
};

TEST(WineRegistry, WineReadsWhatThisProgramWritesAndBack)
{
    if (!test::WineInstalled())
        GTEST_SKIP() << "wine is not installed";

    const WinePrefix prefix(test::MakeTempFolder(u"wine"_s) + u"/prefix"_s);
    QElapsedTimer boot;
    boot.start();
    const ProcessRun made = prefix.Execute(u"wine"_s, {u"wineboot"_s, u"-i"_s}, 180000);
    prefix.WaitForServer();
    std::printf("wineboot -i took %lld ms\n", static_cast<long long>(boot.elapsed()));
    ASSERT_TRUE(made.finished && made.exitCode == 0) << made.output.toStdString();
    ASSERT_TRUE(QFileInfo::exists(prefix.UserReg())) << made.output.toStdString();

    // A new store written by this program starts the way Wine starts its own.
    const QList<QByteArray> wineHeader = test::ReadFile(prefix.UserReg()).split('\n').mid(0, 4);
    const QList<QByteArray> ownHeader = NewUserRegHeader().split('\n').mid(0, 4);
    EXPECT_EQ(wineHeader, ownHeader);

    struct Value
    {
        QString name;
        QString data;
    };
    const Value values[] = {
        {u"Ascii"_s, u"Plain \"quoted\" C:\\dir\\"_s},
        {u"Name"_s, u"瑠環印影"_s},
        {u"Family"_s, u"名字"_s},
        {u"Emoji"_s, u"😀 a"_s},
        {u"Under"_s, u"_"_s},
        {u"Control"_s, u"tab\tline\nend\x01"
                       "7"_s},
        {u"Empty"_s, u""_s},
    };
    std::vector<RegistryChange> changes;
    for (const Value& value : values)
        changes.push_back({kNameStamp, value.name, value.data});
    UserRegBackend(prefix.UserReg()).Commit(changes);

    // Values whose later lines Wine cannot parse, and what this program reads of them.
    const QByteArray laterLines = "\n[Software\\\\Zeb\\\\Lines] 1700000000\n"
                                  "\"kept\"=\"string\"\n\"kept\"=bogus:1\n"
                                  "\"unterm\"=\"first\"\n\"unterm\"=\"unterminated\n"
                                  "\"noeq\"=\"first\"\n\"noeq\" \"x\"\n"
                                  "\"again\"=\"first\"\n\"again\"=bogus:1\n\"again\"=\"third\"\n"
                                  "\"Case\"=\"first\"\n\"CASE\"=str(1):\"x\"\n";
    test::WriteFile(prefix.UserReg(), test::ReadFile(prefix.UserReg()) + laterLines);
    const UserRegFile ours = UserRegBackend(prefix.UserReg()).Read();

    const ProcessRun query = prefix.Execute(
        u"wine"_s,
        {u"reg"_s, u"query"_s, u"HKCU\\Software\\Zeb\\Velmor\\NameStamp"_s, u"/v"_s, u"Ascii"_s},
        60000);
    ASSERT_TRUE(query.finished && query.exitCode == 0) << query.output.toStdString();
    EXPECT_TRUE(query.output.contains("Ascii    REG_SZ    Plain \"quoted\" C:\\dir\\\r\n"))
        << query.output.toStdString();

    const QString text =
        test::WineExport(prefix.Folder(), u"HKEY_CURRENT_USER\\Software\\Zeb\\Velmor\\NameStamp"_s);
    for (const QString& line : {u"\"Ascii\"=\"Plain \\\"quoted\\\" C:\\\\dir\\\\\""_s,
                                u"\"Name\"=\"瑠環印影\""_s, u"\"Family\"=\"名字\""_s,
                                u"\"Emoji\"=\"😀 a\""_s, u"\"Under\"=\"_\""_s, u"\"Empty\"=\"\""_s})
        EXPECT_TRUE(text.contains(line)) << line.toStdString() << "\n" << text.toStdString();

    // Wine exports a value without data as hex(0).
    const QString lines =
        test::WineExport(prefix.Folder(), u"HKEY_CURRENT_USER\\Software\\Zeb\\Lines"_s);
    for (const QString& name : {u"kept"_s, u"unterm"_s, u"noeq"_s, u"again"_s, u"Case"_s}) {
        const QStringList key = test::Key(u"Software\\Zeb\\Lines");
        const QString line = ours.ValueKind(key, name) == RegistryValueKind::String
                                 ? u"\"%1\"=\"%2\"\r\n"_s.arg(name, ours.StringValue(key, name))
                                 : u"\"%1\"=hex(0):\r\n"_s.arg(name);
        EXPECT_TRUE(lines.contains(line)) << line.toStdString() << "\n" << lines.toStdString();
    }

    // Wine writes the whole file anew when it has a change of its own to save.
    const ProcessRun add = prefix.Execute(u"wine"_s,
                                          {u"reg"_s, u"add"_s, u"HKCU\\Software\\Zeb\\Other"_s,
                                           u"/v"_s, u"X"_s, u"/d"_s, u"Y"_s, u"/f"_s},
                                          60000);
    ASSERT_TRUE(add.finished && add.exitCode == 0) << add.output.toStdString();
    prefix.WaitForServer();

    const UserRegFile saved = UserRegBackend(prefix.UserReg()).Read();
    EXPECT_EQ(saved.StringValue(Key(u"Software\\Zeb\\Other"), u"X"_s), u"Y"_s);
    for (const Value& value : values) {
        EXPECT_EQ(saved.ValueKind(kNameStamp, value.name), RegistryValueKind::String)
            << value.name.toStdString();
        EXPECT_EQ(saved.StringValue(kNameStamp, value.name), value.data)
            << value.name.toStdString();
    }
}

} // namespace
} // namespace velmr::platform
