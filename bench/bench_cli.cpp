// velmrseal as a whole process, started the way a user's script or a file manager starts it:
// no display, no platform asked for. Goals: 100 seal files in one run within 2 s, one thumbnail
// within 150 ms.
#include "seal/Records.h"
#include "seal/SealFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

using namespace velmr::seal;

QString WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

// Runs velmrseal once; false when it did not end with status 0.
bool RunSeal(const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VELMRSEAL_PROGRAM), arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// Fifty name seals and fifty date seals, each with texts of its own, into PNGs at 600 dpi.
void BM_RenderHundredSealFilesInOneRun(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString out = folder.filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    QStringList arguments{QStringLiteral("render"), QStringLiteral("--out-dir"), out};
    for (int i = 0; i < 50; ++i) {
        NameStampRecord name = NewNameStamp();
        name.StampSize = 90 + i;
        name.Text2.Assign(std::to_string(i));
        arguments << WriteFile(folder.filePath(QStringLiteral("name%1.mkn").arg(i)),
                               NameSealFileBytes(name, NewNameStampEx()));
        DateStampRecord date = NewDateStamp();
        date.Years = i % 3;
        arguments << WriteFile(folder.filePath(QStringLiteral("date%1.mkd").arg(i)),
                               DateSealFileBytes(date, DateStampExRecord{}));
    }
    for (auto _ : state) {
        if (!RunSeal(arguments))
            state.SkipWithError("velmrseal render failed");
    }
}
BENCHMARK(BM_RenderHundredSealFilesInOneRun)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

void BM_ThumbnailProcess(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString seal = WriteFile(folder.filePath(QStringLiteral("seal.mkd")),
                                   DateSealFileBytes(NewDateStamp(), DateStampExRecord{}));
    const QString thumbnail = folder.filePath(QStringLiteral("thumbnail.png"));
    for (auto _ : state) {
        if (!RunSeal(
                {QStringLiteral("thumbnail"), seal, thumbnail, QString::number(state.range(0))}))
            state.SkipWithError("velmrseal thumbnail failed");
    }
}
BENCHMARK(BM_ThumbnailProcess)
    ->Arg(128)
    ->Arg(256)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);

} // namespace
