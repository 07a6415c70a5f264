#include "sibling/RegisterSeals.h"

#include "image/ImgKit.h"
#include "platform/AtomicFile.h"
#include "platform/Cp932.h"
#include "platform/UserDialogs.h"
#include "platform/registry/RegistryAccessor.h"
#include "seal/MdiChild.h"
#include "sibling/BmpSaveForm.h"
#include "sibling/ValueEncodings.h"
#include "sibling/VelmorKey.h"
#include "sibling/WinePaths.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

#include <algorithm>

namespace velmr::sibling {
namespace {

const QString kBitmapCaption = QStringLiteral("瑠環印鑑");
const QString kCutFirst = QStringLiteral("事前に印鑑用の切取りが必要です");
const QString kSaveFailed = QStringLiteral("ファイル保存に失敗しました");

constexpr std::int32_t kMinBitmapSide = 100;
constexpr std::int32_t kMaxBitmapSide = 450;

void ReportRegistryError(QWidget* parent, const QString& what, const platform::RegistryError& error)
{
    platform::ShowMessage(parent, kVelmorCaption, what + u'\n' + error.Message());
}

void OpenSealKey(platform::RegistryAccessor& registry, const QString& subkey)
{
    OpenVelmorKey(registry, /*canCreate=*/true);
    registry.OpenKey(subkey, /*canCreate=*/true);
}

// The file at `path` as it is now, to be put back should the registration fail after the save.
struct OldFile
{
    bool existed = false;
    QByteArray bytes;
};

std::optional<OldFile> KeepOldFile(const QString& path)
{
    OldFile old;
    const QFileInfo info(path);
    if (!info.exists())
        return old;
    if (!info.isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    old.existed = true;
    old.bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return old;
}

void PutBack(const QString& path, const OldFile& old)
{
    if (old.existed)
        platform::WriteFileAtomically(path, old.bytes, nullptr);
    else
        QFile::remove(path);
}

} // namespace

void StoreNameSeal(const seal::NameStampRecord& record, const seal::NameStampExRecord& ex,
                   std::shared_ptr<platform::RegistryBackend> backend)
{
    platform::RegistryAccessor registry(std::move(backend));
    try {
        OpenSealKey(registry, kNameStampKey);
        WriteNameStamp(registry, record, ex);
        registry.Close();
    } catch (...) {
        registry.Discard();
        throw;
    }
}

void StoreDateSeal(const seal::DateStampRecord& record, const seal::DateStampExRecord& ex,
                   std::shared_ptr<platform::RegistryBackend> backend)
{
    platform::RegistryAccessor registry(std::move(backend));
    try {
        OpenSealKey(registry, kDateStampKey);
        WriteDateStamp(registry, record, ex);
        registry.Close();
    } catch (...) {
        registry.Discard();
        throw;
    }
}

void RegisterNameSeal(seal::TMDIChild& document)
{
    try {
        StoreNameSeal(document.NameStamp, document.NameStampEx, platform::CurrentUserRegistry());
    } catch (const platform::RegistryError& error) {
        ReportRegistryError(&document, QStringLiteral("認印を登録できませんでした。"), error);
        return;
    }
    platform::ShowMessage(&document, kVelmorCaption, QStringLiteral("認印を登録しました"));
}

void RegisterDateSeal(seal::TMDIChild& document)
{
    try {
        StoreDateSeal(document.DateStamp, document.DateStampEx, platform::CurrentUserRegistry());
    } catch (const platform::RegistryError& error) {
        ReportRegistryError(&document, QStringLiteral("日付印を登録できませんでした。"), error);
        return;
    }
    platform::ShowMessage(&document, kVelmorCaption, QStringLiteral("日付印を登録しました"));
}

QString ProposedBitmapName(const QString& fileName)
{
    QString name = LastNameComponent(fileName);
    const qsizetype point = name.lastIndexOf(u'.');
    if (point >= 0)
        name.truncate(point);
    return name;
}

QString RegisteredBitmapName(const QString& typed)
{
    QString name = LastNameComponent(typed);
    const qsizetype point = name.lastIndexOf(u'.');
    if (point >= 0)
        name.truncate(point);
    return name + QStringLiteral(".bmp");
}

QString BitmapNameProblem(const QString& typed)
{
    const QString name = LastNameComponent(typed);
    if (name == QLatin1String(".") || name == QLatin1String("..")) {
        return QStringLiteral("「%1」はファイル名に使えません。ビットマップ印のファイル名を指定し"
                              "直してください。")
            .arg(name);
    }
    const bool reserved = std::any_of(name.begin(), name.end(), [](QChar c) {
        return c.unicode() < 0x20 || QStringView(u"*?\"<>|").contains(c);
    });
    if (reserved || !platform::cp932::Encode(name)) {
        return QStringLiteral("「%1」は瑠環印鑑が開けないファイル名です。* ? \" < > | と、"
                              "Shift-JIS で書けない文字は使えません。")
            .arg(name);
    }
    return {};
}

QString BitmapResolutionValue(std::int32_t bitmapResolution)
{
    switch (bitmapResolution) {
    case 0:
        return QStringLiteral("26000");
    case 1:
        return QStringLiteral("15294");
    default:
        return {};
    }
}

void RegisterBitmapSeal(seal::TMDIChild& document, bool velmorPresent, const QString& setupRootPath)
{
    if (!velmorPresent || document.Kind != seal::kBitmapSeal)
        return;
    const std::int32_t width = document.ImageInfo.Width;
    if (width != document.ImageInfo.Height || width < kMinBitmapSide || width > kMaxBitmapSide) {
        platform::ShowMessage(&document, kVelmorCaption, kCutFirst);
        return;
    }

    const QString what = QStringLiteral("ビットマップ印を登録できませんでした。");
    platform::RegistryAccessor registry;
    try {
        OpenVelmorKey(registry, /*canCreate=*/true);
    } catch (const platform::RegistryError& error) {
        registry.Discard();
        ReportRegistryError(&document, what, error);
        return;
    }

    TBmpSaveForm form(&document);
    form.Edit()->setText(ProposedBitmapName(document.FileName));
    if (platform::Dialogs().RunModal(form) != QDialog::Accepted) {
        registry.Discard();
        return;
    }
    const QString typed = form.Edit()->text();
    if (const QString problem = BitmapNameProblem(typed); !problem.isEmpty()) {
        registry.Discard();
        platform::ShowMessage(&document, kVelmorCaption, problem);
        return;
    }
    const QString name = RegisteredBitmapName(typed);
    const VelmorPaths paths = CurrentVelmorPaths();
    const std::optional<QString> target =
        LocalPath(paths, JoinStorePath(paths, setupRootPath, name));

    if (target && QFileInfo(*target).isFile() &&
        platform::Dialogs().ShowMessage(
            &document, kBitmapCaption, QStringLiteral("同一名のﾌｧｲﾙが存在します。上書しますか？"),
            platform::MessageButtons::OkCancel) != platform::MessageResult::Ok) {
        registry.Discard();
        return;
    }

    // The file first, complete, then the values that name it: the Velmor program never finds
    // Bitmap1 naming a file that is not there or half written.
    const std::optional<OldFile> old = target ? KeepOldFile(*target) : std::nullopt;
    if (!target || !old ||
        image::ImgKitBmpFileSave(*target, document.ImageHandle, QString(), QString(), 0) == 0) {
        registry.Discard();
        platform::ShowMessage(&document, kVelmorCaption, kSaveFailed);
        return;
    }
    try {
        const QString resolution = BitmapResolutionValue(document.BitmapResolution);
        if (!resolution.isEmpty())
            registry.WriteString(kBitmap1ResolutionValue, resolution);
        registry.WriteString(kBitmap1Value, name);
        registry.Close();
    } catch (const platform::RegistryError& error) {
        registry.Discard();
        PutBack(*target, *old);
        ReportRegistryError(&document, what, error);
        return;
    }
    platform::ShowMessage(&document, kVelmorCaption,
                          QStringLiteral("ビットマップ印を登録完了しました"));
}

} // namespace velmr::sibling
