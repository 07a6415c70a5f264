#include "sibling/VelmorCheck.h"

#include "platform/registry/RegistryAccessor.h"
#include "sibling/MessageForm.h"
#include "sibling/RegisterSeals.h"
#include "sibling/ValueEncodings.h"
#include "sibling/VelmorKey.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>

#include <memory>

namespace velmr::sibling {
namespace {

const QString kVelmorProgram = QStringLiteral("velmor.exe");

void ShowNotice(QWidget* parent, TMessageForm* notice)
{
    std::unique_ptr<TMessageForm> own;
    if (!notice) {
        own = std::make_unique<TMessageForm>(parent);
        notice = own.get();
    }
    notice->Panel1()->setVisible(true);
    platform::Dialogs().RunModal(*notice);
}

} // namespace

platform::FileDialogRequest VelmorFindRequest(const VelmorPaths& paths)
{
    platform::FileDialogRequest request;
    request.fileName = kVelmorProgram;
    request.filter = QStringLiteral("瑠環印鑑 (velmor.exe)|velmor.exe");
    request.mustExist = true;
    if (paths.windows) {
        // Programs of a prefix lie on its drive C:.
        const QString driveC =
            QFileInfo(paths.prefix + QStringLiteral("/dosdevices/c:")).canonicalFilePath();
        if (!driveC.isEmpty())
            request.directory = driveC;
    }
    return request;
}

std::optional<QString> ChosenSetupFolder(const VelmorPaths& paths, const QString& chosenPath)
{
    if (HasDriveLetter(chosenPath) || chosenPath.contains(u'\\'))
        return CutToSjisBytes(WindowsFolderOf(chosenPath), kMaxPathBytes);
    const std::optional<QString> folder = StoreFolder(paths, QFileInfo(chosenPath).absolutePath());
    if (!folder)
        return std::nullopt;
    return CutToSjisBytes(*folder, kMaxPathBytes);
}

VelmorCheckResult CheckVelmor(QWidget* parent, TMessageForm* notice)
{
    VelmorCheckResult result;
    platform::RegistryAccessor registry;
    try {
        const VelmorKeyOpened opened = OpenVelmorKey(registry, /*canCreate=*/false);
        if (!opened.zeb || !opened.velmor) {
            registry.Discard();
            ShowNotice(parent, notice);
            return result;
        }
        result.keyFound = true;
        result.present = true;
        result.setupRootPath = CutToSjisBytes(registry.ReadString(kSetupRootValue), kMaxPathBytes);
    } catch (const platform::RegistryError& error) {
        registry.Discard();
        platform::ShowMessage(parent, kVelmorCaption,
                              QStringLiteral("瑠環印鑑の設定を読み込めませんでした。\n") +
                                  error.Message());
        return VelmorCheckResult{};
    }
    if (!result.setupRootPath.isEmpty()) {
        registry.Discard();
        return result; // taken as it is, without looking whether it exists
    }

    const VelmorPaths paths = CurrentVelmorPaths();
    std::optional<QString> folder;
    if (QFileInfo::exists(kVelmorProgram)) {
        folder = StoreFolder(paths, QDir::currentPath());
        if (folder)
            folder = CutToSjisBytes(*folder, kMaxPathBytes);
    }
    if (!folder) {
        platform::ShowMessage(parent, kVelmorCaption,
                              QStringLiteral("瑠環印鑑のｾｯﾄｱｯﾌﾟﾌｫﾙﾀﾞｰを探します"));
        const std::optional<platform::FileDialogChoice> choice =
            platform::Dialogs().AskOpenFile(parent, VelmorFindRequest(paths));
        if (choice) {
            folder = ChosenSetupFolder(paths, choice->path);
            if (!folder) {
                platform::ShowMessage(
                    parent, kVelmorCaption,
                    QStringLiteral("選ばれたフォルダー %1 は Wine のドライブの外にあるため、"
                                   "瑠環印鑑のｾｯﾄｱｯﾌﾟﾌｫﾙﾀﾞｰにできません。")
                        .arg(QFileInfo(choice->path).absolutePath()));
            }
        } else {
            platform::ShowMessage(parent, kVelmorCaption,
                                  QStringLiteral("今回は瑠環印鑑機能は使用できません"));
        }
        if (!folder)
            result.present = false;
    }
    result.setupRootPath = folder.value_or(QString());

    try {
        registry.WriteString(kSetupRootValue, result.setupRootPath);
        registry.Close();
    } catch (const platform::RegistryError& error) {
        registry.Discard();
        platform::ShowMessage(parent, kVelmorCaption,
                              QStringLiteral("瑠環印鑑のｾｯﾄｱｯﾌﾟﾌｫﾙﾀﾞｰを記録できませんでした。\n") +
                                  error.Message());
    }
    return result;
}

} // namespace velmr::sibling
