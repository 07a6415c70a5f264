#include "sibling/ImportSeals.h"

#include "platform/UserDialogs.h"
#include "platform/registry/RegistryAccessor.h"
#include "seal/MdiChild.h"
#include "sibling/RegisterSeals.h"
#include "sibling/ValueEncodings.h"
#include "sibling/VelmorKey.h"
#include "sibling/WinePaths.h"

#include <QFileInfo>
#include <QMdiSubWindow>

namespace velmr::sibling {
namespace {

const QString kNotRegistered = QStringLiteral("ビットマップ印は登録されていません");

void ReportRegistryError(QWidget* parent, const platform::RegistryError& error)
{
    platform::ShowMessage(parent, kVelmorCaption,
                          QStringLiteral("瑠環印鑑のデータを読み込めませんでした。\n") +
                              error.Message());
}

template <typename Read>
void Load(const QString& subkey, Read read, std::shared_ptr<platform::RegistryBackend> backend)
{
    platform::RegistryAccessor registry(std::move(backend));
    try {
        OpenVelmorKey(registry, /*canCreate=*/true);
        registry.OpenKey(subkey, /*canCreate=*/true);
        read(registry);
        registry.Close();
    } catch (...) {
        registry.Discard();
        throw;
    }
}

} // namespace

void CloseNewDocument(seal::TMDIChild* document)
{
    if (!document)
        return;
    if (auto* frame = qobject_cast<QMdiSubWindow*>(document->parentWidget()))
        delete frame;
    else
        delete document;
}

void LoadNameSeal(seal::NameStampRecord& record, seal::NameStampExRecord& ex,
                  std::shared_ptr<platform::RegistryBackend> backend)
{
    Load(
        kNameStampKey,
        [&](platform::RegistryAccessor& registry) { ReadNameStamp(registry, record, ex); },
        std::move(backend));
}

void LoadDateSeal(seal::DateStampRecord& record, seal::DateStampExRecord& ex,
                  std::shared_ptr<platform::RegistryBackend> backend)
{
    Load(
        kDateStampKey,
        [&](platform::RegistryAccessor& registry) { ReadDateStamp(registry, record, ex); },
        std::move(backend));
}

void ImportNameSeal(QWidget* parent, const NewDocumentWindow& newWindow)
{
    seal::NameStampRecord record;
    seal::NameStampExRecord ex;
    try {
        LoadNameSeal(record, ex, platform::CurrentUserRegistry());
    } catch (const platform::RegistryError& error) {
        ReportRegistryError(parent, error);
        return;
    }
    seal::TMDIChild* document = newWindow(QString());
    document->SetCaption(seal::kNewNameSealCaption);
    document->Kind = seal::kNameSeal;
    document->NameStamp = record;
    document->NameStampEx = ex;
    document->Refresh();
}

void ImportDateSeal(QWidget* parent, const NewDocumentWindow& newWindow)
{
    seal::DateStampRecord record;
    seal::DateStampExRecord ex;
    try {
        LoadDateSeal(record, ex, platform::CurrentUserRegistry());
    } catch (const platform::RegistryError& error) {
        ReportRegistryError(parent, error);
        return;
    }
    seal::TMDIChild* document = newWindow(QString());
    document->SetCaption(seal::kNewDateSealCaption);
    document->Kind = seal::kDateSeal;
    document->DateStamp = record;
    document->DateStampEx = ex;
    document->Refresh();
}

void ImportBitmapSeal(QWidget* parent, const QString& setupRootPath,
                      const NewDocumentWindow& newWindow)
{
    QString bitmap1;
    platform::RegistryAccessor registry;
    try {
        const VelmorKeyOpened opened = OpenVelmorKey(registry, /*canCreate=*/false);
        if (!opened.zeb || !opened.velmor)
            return;
        bitmap1 = registry.ReadString(kBitmap1Value);
        registry.Close();
    } catch (const platform::RegistryError& error) {
        registry.Discard();
        ReportRegistryError(parent, error);
        return;
    }
    // Without a known install folder there is no file to look for.
    if (bitmap1 == QLatin1String("0") || bitmap1.isEmpty() || setupRootPath.isEmpty()) {
        platform::ShowMessage(parent, kVelmorCaption, kNotRegistered);
        return;
    }
    if (LeavesFolder(bitmap1)) {
        platform::ShowMessage(parent, kVelmorCaption,
                              QStringLiteral("瑠環印鑑に登録されているビットマップ印のファイル名"
                                             "「%1」は瑠環印鑑のフォルダーの中のファイルを指して"
                                             "いないため、取り込めません。")
                                  .arg(bitmap1));
        return;
    }
    const VelmorPaths paths = CurrentVelmorPaths();
    const QString storePath =
        CutToSjisBytes(JoinStorePath(paths, setupRootPath, bitmap1), kMaxPathBytes);
    const std::optional<QString> file = LocalPath(paths, storePath);
    if (!file || !QFileInfo(*file).isFile()) {
        platform::ShowMessage(parent, kVelmorCaption, kNotRegistered);
        return;
    }
    seal::TMDIChild* document = newWindow(*file);
    if (!document->OpenFile(*file))
        CloseNewDocument(document);
}

} // namespace velmr::sibling
