// Arbitrary bytes opened as a name seal file and a date seal file, and the seals drawn: no input
// may crash the reader or the drawing, or read outside the records.
#include "calendar/CalendarDate.h"
#include "seal/DateSealRenderer.h"
#include "seal/NameSealRenderer.h"
#include "seal/SealFile.h"

#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication application(*argc, *argv);
    velmr::calendar::SetClock([] { return velmr::calendar::LocalDate{2026, 12, 8}; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    static QImage name(velmr::seal::kNameSealSize, velmr::seal::kNameSealSize,
                       QImage::Format_RGB32);
    static QImage date(velmr::seal::kDateSealSize, velmr::seal::kDateSealSize,
                       QImage::Format_RGB32);
    if (const auto file = velmr::seal::ParseNameSealFile(bytes)) {
        velmr::seal::DrawNameSeal(name, file->record, file->ex, 96.0);
        if (velmr::seal::NameSealFileBytes(file->record, file->ex).left(168) != bytes.first(168))
            std::abort(); // reading and writing must give back the same bytes
    }
    if (const auto file = velmr::seal::ParseDateSealFile(bytes)) {
        velmr::seal::DrawDateSeal(date, file->record, file->ex, 96.0);
        if (velmr::seal::DateSealFileBytes(file->record, file->ex).left(224) != bytes.first(224))
            std::abort();
    }
    return 0;
}
