// The files that the desktop hands the program on its command line.
#include "app/Application.h"
#include "app/MainForm.h"
#include "seal/MdiChild.h"
#include "seal/Records.h"
#include "seal/SealFile.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace velmr;
using namespace Qt::StringLiterals;

namespace {

TEST(OpenNamedFilesTest, FilesAreTheArgumentsThatAreNotOptions)
{
    const QString here = QDir::currentPath();
    const QStringList files = app::FilesNamedOnCommandLine(
        {u"velmrmgr"_s, u"seal.mkn"_s, u"-reverse"_s, u"/abs/photo.jpg"_s,
         u"file:///tmp/two%20words.bmp"_s, u""_s, u"--"_s, u"-dash.mkd"_s, u"--"_s});
    EXPECT_EQ(files,
              (QStringList{here + u"/seal.mkn"_s, u"/abs/photo.jpg"_s, u"/tmp/two words.bmp"_s,
                           here + u"/-dash.mkd"_s, here + u"/--"_s}));
    EXPECT_TRUE(app::FilesNamedOnCommandLine({u"velmrmgr"_s}).isEmpty());
}

TEST(OpenNamedFilesTest, NamedFilesOpenAfterTheWindowIsShownWithTheUsualMessages)
{
    test::ScriptedDialogs dialogs;
    const QString folder = test::MakeTempFolder(u"named"_s);
    const QString seal = folder + u"/yamada.mkn"_s;
    test::WriteFile(seal, seal::NameSealFileBytes(seal::NewNameStamp(), seal::NewNameStampEx()));
    const QString broken = folder + u"/broken.mkd"_s;
    test::WriteFile(broken, QByteArray(12, '\0'));
    const QString other = folder + u"/notes.txt"_s;
    test::WriteFile(other, "text");

    app::ProgramWindows windows;
    app::TMainForm& main = *windows.mainForm;
    main.show();
    app::OpenFilesWhenShown(main, {broken, seal, other, folder + u"/absent.mkn"_s});
    EXPECT_TRUE(main.Documents().isEmpty()) << "not before the window is shown";
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    QTRY_COMPARE(main.Documents().size(), 1);

    EXPECT_EQ(main.Documents().constFirst()->Caption(), seal);
    EXPECT_EQ(main.ActiveDocument(), main.Documents().constFirst());
    EXPECT_EQ(dialogs.MessageTexts(),
              (QStringList{u"ﾌｧｲﾙ読込時にｴﾗｰが発生しました"_s, u"ｻﾎﾟｰﾄされていないﾌｧｲﾙの種類です"_s,
                           u"ﾌｧｲﾙ読込時にｴﾗｰが発生しました"_s}));
    EXPECT_TRUE(main.FileSaveItem->isEnabled()) << "the command state follows";
}

} // namespace
