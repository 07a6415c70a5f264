#include "sibling/OldDataFile.h"

#include "platform/UserDialogs.h"
#include "seal/MdiChild.h"
#include "sibling/RegisterSeals.h"
#include "sibling/WinePaths.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace velmr::sibling {
namespace {

const QString kFileCaption = QStringLiteral("瑠環印影ＭＧＲ");
const QString kOldDataFileName = QStringLiteral("velmor.dat");

std::span<const std::uint8_t> Span(QByteArrayView bytes)
{
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), std::size_t(bytes.size())};
}

// Reads up to `count` bytes; fewer only at the end of the file. Nothing on a read error.
std::optional<QByteArray> ReadUpTo(int fd, qsizetype count)
{
    QByteArray bytes(count, '\0');
    qsizetype done = 0;
    while (done < count) {
        const ssize_t got = ::read(fd, bytes.data() + done, std::size_t(count - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        done += got;
    }
    bytes.truncate(done);
    return bytes;
}

} // namespace

std::optional<OldData> ParseOldDataFile(QByteArrayView bytes)
{
    if (bytes.size() < kOldDataFileSize)
        return std::nullopt;
    OldData data;
    if (!seal::FromBytes(Span(bytes.first(kOldNameRecordSize)), data.name) ||
        !seal::FromBytes(Span(bytes.sliced(kOldNameRecordSize, kOldDateRecordSize)), data.date))
        return std::nullopt;
    return data;
}

bool IsOldDataFileName(const QString& path)
{
    return LastNameComponent(path).compare(kOldDataFileName, Qt::CaseInsensitive) == 0;
}

bool ReadOldDataFile(seal::TMDIChild& document, const QString& path)
{
    document.NameStampEx = {};
    document.DateStampEx = {};
    std::optional<OldData> data;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        // The name seal record, then the date seal record: each must arrive whole.
        QByteArray bytes;
        if (const auto name = ReadUpTo(fd, kOldNameRecordSize);
            name && name->size() == kOldNameRecordSize) {
            bytes = *name;
            if (const auto date = ReadUpTo(fd, kOldDateRecordSize))
                bytes += *date;
        }
        const bool closed = ::close(fd) == 0;
        if (closed)
            data = ParseOldDataFile(bytes);
    }
    if (!data) {
        platform::ShowMessage(&document, kFileCaption,
                              QStringLiteral("ﾌｧｲﾙ読込時にｴﾗｰが発生しました"));
        return false;
    }
    document.NameStamp = data->name;
    document.DateStamp = data->date;
    return true;
}

void ImportOldData(QWidget* parent, seal::SealKind kind, const NewDocumentWindow& newWindow)
{
    platform::FileDialogRequest request;
    request.fileName = kOldDataFileName;
    request.filter = QStringLiteral("瑠環印鑑旧データ|velmor.dat");
    request.mustExist = true;
    const std::optional<platform::FileDialogChoice> choice =
        platform::Dialogs().AskOpenFile(parent, request);
    if (!choice)
        return;
    if (!IsOldDataFileName(choice->path)) {
        platform::ShowMessage(parent, kVelmorCaption,
                              QStringLiteral("瑠環印鑑データファイルではありません"));
        return;
    }
    seal::TMDIChild* document = newWindow(choice->path);
    if (!ReadOldDataFile(*document, choice->path)) {
        CloseNewDocument(document);
        return;
    }
    if (kind == seal::kDateSeal) {
        document->SetCaption(seal::kNewDateSealCaption);
        document->Kind = seal::kDateSeal;
    } else {
        document->SetCaption(seal::kNewNameSealCaption);
        document->Kind = seal::kNameSeal;
    }
    document->Refresh();
}

} // namespace velmr::sibling
