// The PDF window: a 300-page document opened with its first page shown (goal 300 ms), and one A4
// page of text rendered at 100 % (goal 80 ms). The documents are written by Qt's PDF writer.
#include "stamp/window/PdfOpen.h"
#include "stamp/window/PdfView.h"
#include "stamp/window/PdfWindow.h"

#include <QDir>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <poppler-qt6.h>

namespace {

// `pages` A4 pages, each a heading and forty lines of running text in Japanese and Latin.
QString WriteDocument(const QString& path, int pages)
{
    QPdfWriter writer(path);
    writer.setResolution(300);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    QPainter painter(&writer);
    QFont text(QStringLiteral("IPAMincho"));
    text.setPointSizeF(10.5);
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        painter.setFont(text);
        painter.drawText(QPointF(0, 60), QStringLiteral("御見積書 No. %1").arg(page + 1));
        for (int line = 0; line < 40; ++line)
            painter.drawText(QPointF(0, 180 + line * 70),
                             QStringLiteral("%1. 品名 印鑑作成一式 数量 %2 単価 ¥1,200 "
                                            "Quantity and unit price as agreed.")
                                 .arg(line + 1)
                                 .arg(line % 7 + 1));
        painter.drawRect(QRectF(0, 3100, 2000, 200));
    }
    painter.end();
    return path;
}

QTemporaryDir& Folder()
{
    static QTemporaryDir folder;
    return folder;
}

const QString& LongDocument()
{
    static const QString path = WriteDocument(Folder().filePath(QStringLiteral("300.pdf")), 300);
    return path;
}

const QString& OnePage()
{
    static const QString path = WriteDocument(Folder().filePath(QStringLiteral("1.pdf")), 1);
    return path;
}

void BM_OpenLongDocumentAndShowFirstPage(benchmark::State& state)
{
    const QString& path = LongDocument();
    for (auto _ : state) {
        std::unique_ptr<velmr::stamp::PdfWindow> window =
            velmr::stamp::PdfWindow::Open(nullptr, path);
        if (!window) {
            state.SkipWithError("the document did not open");
            return;
        }
        window->resize(900, 1000);
        velmr::stamp::PdfView& view = window->View();
        view.resize(880, 960);
        view.SetZoom(1.0);
        const QPixmap shown = view.viewport()->grab();
        benchmark::DoNotOptimize(shown.cacheKey());
        state.counters["pages_kept"] = double(view.CachedPages());
    }
}
BENCHMARK(BM_OpenLongDocumentAndShowFirstPage)->Unit(benchmark::kMillisecond);

void BM_RenderA4PageAt100Percent(benchmark::State& state)
{
    const std::unique_ptr<Poppler::Document> document = velmr::stamp::ReopenPdf(OnePage(), {});
    if (!document) {
        state.SkipWithError("the document did not open");
        return;
    }
    for (auto _ : state) {
        const QImage page = velmr::stamp::RenderPage(*document, 0, 96.0);
        benchmark::DoNotOptimize(page.constBits());
    }
}
BENCHMARK(BM_RenderA4PageAt100Percent)->Unit(benchmark::kMillisecond);

} // namespace
