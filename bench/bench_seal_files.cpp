#include "calendar/CalendarDate.h"
#include "seal/DateSealRenderer.h"
#include "seal/NameSealRenderer.h"
#include "seal/SealFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

using namespace velmr::seal;

QString WriteOnce(const QString& name, const QByteArray& bytes)
{
    static QTemporaryDir folder;
    const QString path = folder.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(kDateSealFileSize) : QByteArray();
}

// Opening a name seal file as the open command does: read, take the records, draw.
void BM_OpenAndDrawNameSealFile(benchmark::State& state)
{
    const QString path =
        WriteOnce(QStringLiteral("seal.mkn"), NameSealFileBytes(NewNameStamp(), NewNameStampEx()));
    QImage picture(kNameSealSize, kNameSealSize, QImage::Format_RGB32);
    for (auto _ : state) {
        const auto file = ParseNameSealFile(ReadAll(path));
        DrawNameSeal(picture, file->record, file->ex, 96.0);
        benchmark::DoNotOptimize(picture.constBits());
    }
}
BENCHMARK(BM_OpenAndDrawNameSealFile)->Unit(benchmark::kMicrosecond);

void BM_OpenAndDrawDateSealFile(benchmark::State& state)
{
    const QString path = WriteOnce(QStringLiteral("seal.mkd"),
                                   DateSealFileBytes(NewDateStamp(), DateStampExRecord{}));
    QImage picture(kDateSealSize, kDateSealSize, QImage::Format_RGB32);
    for (auto _ : state) {
        const auto file = ParseDateSealFile(ReadAll(path));
        DrawDateSeal(picture, file->record, file->ex, 96.0);
        benchmark::DoNotOptimize(picture.constBits());
    }
}
BENCHMARK(BM_OpenAndDrawDateSealFile)->Unit(benchmark::kMicrosecond);

} // namespace
