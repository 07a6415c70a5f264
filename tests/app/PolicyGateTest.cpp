#include "app/PolicyGate.h"

#include "platform/registry/RegistryAccessor.h"
#include "tests/support/TestEnvironment.h"

#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

using namespace velmr;

namespace {

const QByteArray kHeader = "WINE REGISTRY Version 2\n"
                           ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
                           "#arch=win64\n";

// A store of its own for each test: a Wine prefix folder in the private temporary folder.
class PolicyGateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        prefix = test::MakeTempFolder(QStringLiteral("prefix"));
        qputenv("WINEPREFIX", prefix.toLocal8Bit());
        store = prefix + QStringLiteral("/user.reg");
    }
    void TearDown() override { qunsetenv("WINEPREFIX"); }

    // A store whose Velmor key holds `values` (already in user.reg form).
    void WriteStore(const QByteArray& values)
    {
        test::WriteFile(store, kHeader +
                                   "\n[Software\\\\Wine] 1700000000\n#time=1da1a2b3c4d5e6f\n"
                                   "\"Version\"=\"win10\"\n\n"
                                   "[Software\\\\Zeb\\\\Velmor] 1700000000\n"
                                   "#time=1da1a2b3c4d5e6f\n" +
                                   values);
    }

    app::PolicyDecision Gate() { return app::CheckStartPolicy(*platform::CurrentUserRegistry()); }

    QString prefix;
    QString store;
};

TEST_F(PolicyGateTest, TheTenthLetterOfPolicy01DecidesWhenAdmIsOne)
{
    struct Case
    {
        const char* values;
        bool forbidden;
    };
    const Case cases[] = {
        {"\"adm\"=\"1\"\n\"Policy01\"=\"abcdefghitklm\"\n", true},   // thirteen letters, tenth t
        {"\"adm\"=\"1\"\n\"Policy01\"=\"abcdefghit\"\n", true},      // exactly ten
        {"\"adm\"=\"1\"\n\"Policy01\"=\"abcdefghiT\"\n", false},     // upper-case T
        {"\"adm\"=\"1\"\n\"Policy01\"=\"abcdefght\"\n", false},      // nine characters
        {"\"adm\"=\"1\"\n", false},                                  // Policy01 missing
        {"\"adm\"=\"1 \"\n\"Policy01\"=\"abcdefghitklm\"\n", false}, // trailing blank
        {"\"adm\"=\"01\"\n\"Policy01\"=\"abcdefghitklm\"\n", false},
        {"\"adm\"=\"true\"\n\"Policy01\"=\"abcdefghitklm\"\n", false},
        {"\"Policy01\"=\"abcdefghitklm\"\n", false},                         // adm missing
        {"\"ADM\"=\"1\"\n\"policy01\"=\"abcdefghitklm\"\n", true},           // names ignore case
        {"\"adm\"=dword:00000001\n\"Policy01\"=\"abcdefghitklm\"\n", false}, // not a string
        {"\"adm\"=\"1\"\n\"Policy01\"=hex:61,62,63,64,65,66,67,68,69,74\n", false},
        {"\"adm\"=\"1\"\n\"Policy01\"=\"\\x540d\\x5b57abcdet\"\n", true}, // 名字 are two bytes each
    };
    for (const Case& c : cases) {
        WriteStore(c.values);
        const QByteArray before = test::ReadFile(store);
        const app::PolicyDecision decision = Gate();
        EXPECT_EQ(decision.forbidden, c.forbidden) << c.values;
        EXPECT_FALSE(decision.storeUnreadable) << c.values;
        EXPECT_TRUE(decision.problem.isEmpty()) << decision.problem.toStdString();
        EXPECT_EQ(test::ReadFile(store), before) << "neither value is ever written: " << c.values;
    }
}

TEST_F(PolicyGateTest, FirstStartCreatesTheVelmorKey)
{
    ASSERT_FALSE(QFileInfo::exists(store));
    const app::PolicyDecision decision = Gate();
    EXPECT_FALSE(decision.forbidden);
    EXPECT_TRUE(decision.problem.isEmpty());
    const QByteArray written = test::ReadFile(store);
    EXPECT_TRUE(written.startsWith("WINE REGISTRY Version 2\n"));
    EXPECT_TRUE(written.contains("\n[Software\\\\Zeb\\\\Velmor] ")) << written.toStdString();

    platform::RegistryAccessor registry;
    EXPECT_TRUE(registry.OpenKey(QStringLiteral("Software\\Zeb\\Velmor"), false));
    registry.Close();

    // A second start changes nothing.
    Gate();
    EXPECT_EQ(test::ReadFile(store), written);
}

TEST_F(PolicyGateTest, AnUnreadableStoreAllowsTheStartAndIsLeftAsItWas)
{
    const QByteArray broken =
        "this is not a registry\n[Software\\\\Zeb\\\\Velmor]\n\"adm\"=\"0\"\n";
    test::WriteFile(store, broken);
    const app::PolicyDecision decision = Gate();
    EXPECT_TRUE(decision.storeUnreadable);
    EXPECT_FALSE(decision.forbidden);
    EXPECT_TRUE(decision.problem.contains(store)) << decision.problem.toStdString();
    EXPECT_FALSE(app::PolicyForbidsStart());
    EXPECT_EQ(test::ReadFile(store), broken);
}

// The real program, as a user starts it.
class ProgramStartTest : public PolicyGateTest
{
protected:
    QProcess* Start()
    {
        process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("WINEPREFIX"), prefix);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        process->setProcessEnvironment(environment);
        process->start(QStringLiteral(VELMRMGR_PROGRAM), {});
        EXPECT_TRUE(process->waitForStarted(10000));
        return process.get();
    }
    void TearDown() override
    {
        if (process && process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(10000);
        }
        PolicyGateTest::TearDown();
    }
    std::unique_ptr<QProcess> process;
};

TEST_F(ProgramStartTest, ForbiddenStartEndsWithStatusOneAndWritesNothing)
{
    WriteStore("\"adm\"=\"1\"\n\"Policy01\"=\"abcdefghitklm\"\n");
    const QByteArray before = test::ReadFile(store);
    QProcess* program = Start();
    ASSERT_TRUE(program->waitForFinished(30000));
    EXPECT_EQ(program->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program->exitCode(), 1);
    EXPECT_EQ(test::ReadFile(store), before);
}

TEST_F(ProgramStartTest, AllowedStartRunsUntilClosed)
{
    WriteStore("\"adm\"=\"1\"\n\"Policy01\"=\"abcdefghiTklm\"\n");
    QProcess* program = Start();
    EXPECT_FALSE(program->waitForFinished(2500)) << "the program keeps running";
    EXPECT_EQ(program->state(), QProcess::Running);
}

} // namespace
