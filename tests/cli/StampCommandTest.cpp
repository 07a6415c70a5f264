// velmrseal stamp: the --seal groups read in order, and a stamped file written by the executable.
#include "cli/SealCommand.h"
#include "seal/Records.h"
#include "seal/SealFile.h"
#include "tests/support/TestEnvironment.h"

#include <QBuffer>
#include <QDir>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <gtest/gtest.h>

using namespace velmr;

namespace {

const calendar::LocalDate kToday{2024, 5, 1};

QStringList Arguments(const char* line)
{
    return QStringList{QStringLiteral("velmrseal")} +
           QString::fromUtf8(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// Each --seal starts a group; --page, --at and --rotate belong to the --seal before them.
TEST(StampCommandTest, SealGroupsAreReadInOrder)
{
    const cli::Invocation invocation = cli::ParseCommandLine(
        Arguments("stamp in.pdf --seal=a.mkn --page 2 --at 10,20.5 --rotate -30 --seal b.mkd "
                  "--at 5,6 --page all --date 2020-02-03 --password 秘密 -o out.pdf"),
        kToday);
    const auto* job = std::get_if<cli::StampJob>(&invocation);
    ASSERT_NE(job, nullptr) << std::get<cli::UsageError>(invocation).message.toStdString();
    EXPECT_EQ(job->input, QStringLiteral("in.pdf"));
    EXPECT_EQ(job->output, QStringLiteral("out.pdf"));
    EXPECT_EQ(job->password, QByteArray("秘密"));
    EXPECT_EQ(job->day.year, 2020);
    ASSERT_EQ(job->groups.size(), 2u);
    EXPECT_EQ(job->groups[0].seal, QStringLiteral("a.mkn"));
    EXPECT_EQ(job->groups[0].page, 1);
    EXPECT_EQ(job->groups[0].atMm, QPointF(10, 20.5));
    EXPECT_EQ(job->groups[0].rotationDeg, 330.0);
    EXPECT_EQ(job->groups[1].seal, QStringLiteral("b.mkd"));
    EXPECT_EQ(job->groups[1].page, stamp::kEveryPage);
    EXPECT_EQ(job->groups[1].atMm, QPointF(5, 6));
    EXPECT_EQ(job->groups[1].rotationDeg, 0.0);
}

TEST(StampCommandTest, MisusedOptionsAreUsageErrors)
{
    const struct
    {
        const char* line;
        const char* message; // a part of it
    } cases[] = {
        {"stamp in.pdf --page 1 --seal a.mkn --at 1,1 -o out.pdf", "--page は、それを使う --seal"},
        {"stamp in.pdf --seal a.mkn --page 1 -o out.pdf", "--at (X,Y) がありません"},
        {"stamp in.pdf --seal a.mkn --page 0 --at 1,1 -o out.pdf", "1 から数えたページ番号か all"},
        {"stamp in.pdf --seal a.mkn --page 1 --at 1 -o out.pdf", "X,Y"},
        {"stamp in.pdf --seal a.mkn --page 1 --page 2 --at 1,1 -o out.pdf", "--page が二つ"},
        {"stamp in.pdf --seal a.mkn --page 1 --at 1,1", "-o で書き出す PDF"},
        {"stamp in.pdf --seal a.mkn --page 1 --at 1,1 -o ./in.pdf", "入力の PDF そのもの"},
        {"stamp in.pdf --seal a.mkn --page 1 --at 1,1 --dpi 300 -o out.pdf", "stamp では --dpi"},
        {"render a.mkn --seal b.mkn", "render では --seal"},
        {"stamp in.pdf --seal a.mkn --page 1 --at", "--at の後に値がありません"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const cli::Invocation invocation = cli::ParseCommandLine(Arguments(c.line), kToday);
        const auto* usage = std::get_if<cli::UsageError>(&invocation);
        ASSERT_NE(usage, nullptr);
        EXPECT_TRUE(usage->message.contains(QString::fromUtf8(c.message)))
            << usage->message.toStdString();
    }
}

QByteArray ThreePagePdf()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    QPainter painter(&writer);
    for (int page = 0; page < 3; ++page) {
        if (page > 0) {
            writer.newPage();
        }
        painter.drawText(QPointF(500, 500), QStringLiteral("見積書 %1").arg(page + 1));
    }
    painter.end();
    return bytes;
}

// The executable stamps one seal file on every page and once more on page 2: the original's
// bytes first, the seal once as a form object, and a file qpdf finds sound.
TEST(StampCommandTest, StampsEveryPageFromTheCommandLine)
{
    const QString folder = test::MakeTempFolder(QStringLiteral("stamp"));
    const QString in = QDir(folder).filePath(QStringLiteral("見積書.pdf"));
    const QString seal = QDir(folder).filePath(QStringLiteral("印.mkn"));
    const QString out = QDir(folder).filePath(QStringLiteral("見積書_押印.pdf"));
    const QByteArray original = ThreePagePdf();
    test::WriteFile(in, original);
    test::WriteFile(seal, seal::NameSealFileBytes(seal::NewNameStamp(), seal::NewNameStampEx()));

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VELMRSEAL_PROGRAM),
                  {QStringLiteral("stamp"), in, QStringLiteral("--seal"), seal,
                   QStringLiteral("--page"), QStringLiteral("all"), QStringLiteral("--at"),
                   QStringLiteral("180,270"), QStringLiteral("--seal"), seal,
                   QStringLiteral("--page"), QStringLiteral("2"), QStringLiteral("--at"),
                   QStringLiteral("30,40"), QStringLiteral("--rotate"), QStringLiteral("15"),
                   QStringLiteral("-o"), out});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), cli::kAllWritten) << process.readAllStandardError().toStdString();

    const QByteArray stamped = test::ReadFile(out);
    EXPECT_TRUE(stamped.startsWith(original));
    EXPECT_EQ(stamped.mid(original.size()).count("/Subtype/Form"), 1);
    QProcess check;
    check.start(QStringLiteral("qpdf"), {QStringLiteral("--check"), out});
    ASSERT_TRUE(check.waitForFinished(60000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString();
}

} // namespace
