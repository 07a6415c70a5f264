#include "sibling/WinePaths.h"

#include "tests/sibling/SiblingTestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace velmr::sibling {
namespace {

using namespace Qt::StringLiterals;

TEST(WinePaths, WindowsPathsSplitAtBackslashAndColonOnly)
{
    const struct
    {
        const char16_t* path;
        const char16_t* folder;
    } cases[] = {
        {u"C:\\VELMOR\\velmor.exe", u"C:\\VELMOR"},
        {u"C:\\velmor.exe", u"C:\\"},
        {u"D:\\TOOLS\\VELMOR\\velmor.exe", u"D:\\TOOLS\\VELMOR"},
        {u"C:velmor.exe", u"C:"},
        {u"velmor.exe", u""},
        {u"\\velmor.exe", u"\\"},
        {u"C:\\\\velmor.exe", u"C:\\\\"}, // after another "\" it stays
        {u"\\\\server\\share\\velmor.exe", u"\\\\server\\share"},
        // ソ and 表 end in the byte 0x5C in Shift-JIS; they are no separators.
        {u"C:\\ソフト\\velmor.exe", u"C:\\ソフト"},
        {u"C:\\表\\ソ", u"C:\\表"},
        {u"C:\\dir/velmor.exe", u"C:\\"}, // "/" is no separator here
    };
    for (const auto& c : cases) {
        const QString path = QString::fromUtf16(c.path);
        EXPECT_EQ(WindowsFolderOf(path), QString::fromUtf16(c.folder)) << path.toStdString();
    }
    EXPECT_EQ(CutToSjisBytes(u"C:\\ソフト"_s, 5), u"C:\\ソ"_s);
    EXPECT_EQ(CutToSjisBytes(u"C:\\ソフト"_s, 6), u"C:\\ソ"_s);
    EXPECT_EQ(CutToSjisBytes(u"abc"_s, 1023), u"abc"_s);
    EXPECT_EQ(CutToSjisBytes(u"a😀b"_s, 2), u"a"_s);
    EXPECT_EQ(CutToSjisBytes(u"a😀b"_s, 3), u"a😀"_s);
}

TEST(WinePaths, NamesInsideTheFolder)
{
    const std::pair<const char16_t*, const char16_t*> last[] = {
        {u"abc.bmp", u"abc.bmp"}, {u"D:\\x\\abc", u"abc"}, {u"a/b/c", u"c"},
        {u"C:abc", u"abc"},       {u"x\\", u""},           {u"..\\..", u".."},
    };
    for (const auto& [name, component] : last)
        EXPECT_EQ(LastNameComponent(QString::fromUtf16(name)), QString::fromUtf16(component));
    for (const char16_t* leaves : {u"", u".", u"..", u"../x", u"a\\b", u"/etc/passwd", u"C:x"})
        EXPECT_TRUE(LeavesFolder(QString::fromUtf16(leaves)))
            << QString::fromUtf16(leaves).toStdString();
    for (const char16_t* stays : {u"x.bmp", u"..bmp", u".bmp", u"印影.bmp", u"a b"})
        EXPECT_FALSE(LeavesFolder(QString::fromUtf16(stays)))
            << QString::fromUtf16(stays).toStdString();
}

class Drives : public ::testing::Test
{
protected:
    void SetUp() override
    {
        prefix = test::MakeFakePrefix();
        driveC = QFileInfo(prefix + u"/drive_c"_s).canonicalFilePath();
        test::WriteFile(driveC + u"/Program Files/Velmor/seal.bmp"_s, "BM");
        driveD = test::MakeTempFolder(u"drive-d"_s);
        QDir().mkpath(driveD + u"/Sub"_s);
        QFile::link(driveD, prefix + u"/dosdevices/d:"_s);
        QFile::link(prefix + u"/nowhere"_s, prefix + u"/dosdevices/e:"_s);
    }
    QString prefix, driveC, driveD;
};

TEST_F(Drives, WindowsPathsLeadToTheFoldersOfThePrefix)
{
    const struct
    {
        const char16_t* windows;
        QString unix;
    } cases[] = {
        {u"C:\\Program Files\\Velmor", driveC + u"/Program Files/Velmor"_s},
        {u"c:\\PROGRAM FILES\\velmor\\SEAL.BMP", driveC + u"/Program Files/Velmor/seal.bmp"_s},
        {u"C:\\Program Files\\Velmor\\new.bmp", driveC + u"/Program Files/Velmor/new.bmp"_s},
        {u"C:\\Missing\\Sub\\x.bmp", driveC + u"/Missing/Sub/x.bmp"_s},
        {u"C:\\a\\..\\..\\..\\Program Files", driveC + u"/Program Files"_s},
        {u"C:/Program Files/./Velmor/", driveC + u"/Program Files/Velmor"_s},
        {u"C:\\", driveC},
        {u"D:\\sub\\x", driveD + u"/Sub/x"_s},
        {u"Z:\\", u"/"_s},
    };
    for (const auto& c : cases) {
        const std::optional<QString> unix =
            ResolveWindowsPath(prefix, QString::fromUtf16(c.windows));
        ASSERT_TRUE(unix) << QString::fromUtf16(c.windows).toStdString();
        EXPECT_EQ(*unix, c.unix) << QString::fromUtf16(c.windows).toStdString();
    }
    // A drive whose link leads nowhere, a drive without a link, paths without a drive.
    for (const char16_t* unresolved :
         {u"E:\\x", u"F:\\x", u"\\\\server\\share\\x", u"relative\\x", u"", u"1:\\x"})
        EXPECT_FALSE(ResolveWindowsPath(prefix, QString::fromUtf16(unresolved)))
            << QString::fromUtf16(unresolved).toStdString();
}

TEST_F(Drives, UnixPathsAreNamedThroughTheDriveWithTheLongestFolder)
{
    EXPECT_EQ(ToWindowsPath(prefix, driveC + u"/Program Files/Velmor"_s),
              u"C:\\Program Files\\Velmor"_s);
    EXPECT_EQ(ToWindowsPath(prefix, driveC), u"C:\\"_s);
    EXPECT_EQ(ToWindowsPath(prefix, prefix + u"/dosdevices/c:/Program Files"_s),
              u"C:\\Program Files"_s);
    EXPECT_EQ(ToWindowsPath(prefix, driveD + u"/Sub"_s), u"D:\\Sub"_s);
    EXPECT_EQ(ToWindowsPath(prefix, u"/usr/share"_s), u"Z:\\usr\\share"_s);
    EXPECT_EQ(ToWindowsPath(prefix, u"/"_s), u"Z:\\"_s);

    const QString bare = test::MakeFakePrefix(/*withZ=*/false);
    EXPECT_FALSE(ToWindowsPath(bare, u"/usr/share"_s));
    EXPECT_EQ(ToWindowsPath(bare, bare + u"/drive_c/x"_s), u"C:\\x"_s);
}

TEST_F(Drives, StorePathsFollowTheStore)
{
    const VelmorPaths windows{true, prefix};
    EXPECT_EQ(JoinStorePath(windows, u"C:\\Program Files\\Velmor"_s, u"a.bmp"_s),
              u"C:\\Program Files\\Velmor\\a.bmp"_s);
    EXPECT_EQ(LocalPath(windows, u"C:\\\\a.bmp"_s), driveC + u"/a.bmp"_s);
    const VelmorPaths unix;
    EXPECT_EQ(JoinStorePath(unix, u"/opt/velmor"_s, u"a.bmp"_s), u"/opt/velmor/a.bmp"_s);
    EXPECT_EQ(LocalPath(unix, u"/opt/velmor/a.bmp"_s), u"/opt/velmor/a.bmp"_s);
    EXPECT_EQ(StoreFolder(unix, u"/opt/velmor/"_s), u"/opt/velmor"_s);
    EXPECT_EQ(StoreFolder(windows, driveD), u"D:\\"_s);
}

} // namespace
} // namespace velmr::sibling
