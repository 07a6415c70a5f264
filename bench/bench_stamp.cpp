#include "seal/Records.h"
#include "stamp/PdfStamp.h"

#include <QBuffer>
#include <QDir>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

using namespace velmr;

// A hundred invoice pages as an office program writes them through Qt's PDF writer.
const QByteArray& HundredPages()
{
    static const QByteArray bytes = [] {
        QByteArray pdf;
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        QPainter painter(&writer);
        for (int page = 0; page < 100; ++page) {
            if (page > 0) {
                writer.newPage();
            }
            painter.drawText(QPointF(500, 500), QStringLiteral("請求書 %1").arg(page + 1));
            painter.drawText(QPointF(500, 900), QStringLiteral("合計金額 %1 円").arg(page * 1000));
            painter.fillRect(QRectF(500, 1000, 3000, 20), Qt::black);
        }
        painter.end();
        return pdf;
    }();
    return bytes;
}

std::shared_ptr<const output::SealArtwork> NameSealArt()
{
    return std::make_shared<output::SealArtwork>(
        output::NameSeal{seal::NewNameStamp(), seal::NewNameStampEx()});
}

// "保存": a hundred pages stamped, each at its own spot, and the file written.
void BM_StampSave100Pages(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString in = QDir(folder.path()).filePath(QStringLiteral("in.pdf"));
    const QString out = QDir(folder.path()).filePath(QStringLiteral("out.pdf"));
    QFile file(in);
    file.open(QIODevice::WriteOnly);
    file.write(HundredPages());
    file.close();
    stamp::StampRequest request;
    request.seals = {NameSealArt()};
    for (int page = 0; page < 100; ++page) {
        request.stamps.push_back(stamp::Stamp{page, QPointF(150 + page % 7, 250), 0.0, 0});
    }
    for (auto _ : state) {
        const std::optional<QString> error = stamp::StampPdfFile(in, {}, request, out);
        if (error) {
            state.SkipWithError(error->toStdString().c_str());
            break;
        }
    }
    state.counters["growth_KB"] = double(QFileInfo(out).size() - HundredPages().size()) / 1024;
}
BENCHMARK(BM_StampSave100Pages)->Unit(benchmark::kMillisecond);

// One name seal on all hundred pages, at the same spot: how much the file grows.
void BM_StampGrowthNameSealEveryPage(benchmark::State& state)
{
    stamp::StampRequest request;
    request.seals = {NameSealArt()};
    request.stamps = {stamp::Stamp{stamp::kEveryPage, QPointF(170, 260), 0.0, 0}};
    qsizetype growth = 0;
    for (auto _ : state) {
        const stamp::Stamped stamped = stamp::StampPdf(HundredPages(), {}, request);
        growth = stamped.bytes.size() - HundredPages().size();
        benchmark::DoNotOptimize(stamped.bytes.constData());
    }
    state.counters["growth_KB"] = double(growth) / 1024;
}
BENCHMARK(BM_StampGrowthNameSealEveryPage)->Unit(benchmark::kMillisecond);

} // namespace
