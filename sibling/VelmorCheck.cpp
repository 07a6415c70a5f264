#include "sibling/VelmorCheck.h"

#include "platform/registry/RegistryAccessor.h"
#include "platform/registry/RegistryLocation.h"
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
    if (IsWindowsForm(chosenPath))
        return CutToSjisBytes(WindowsFolderOf(chosenPath), kMaxPathBytes);
    const std::optional<QString> folder = StoreFolder(paths, QFileInfo(chosenPath).absolutePath());
    if (!folder)
        return std::nullopt;
    return CutToSjisBytes(*folder, kMaxPathBytes);
}

SetupPlace PlaceVelmorProgram(const platform::RegistryLocation& location, const QString& file)
{
    if (IsWindowsForm(file))
        return {QString(), ChosenSetupFolder(PathsOf(location), file)};
    const QString prefix = WinePrefixHolding(file);
    // WINEPREFIX names the store the user wants; otherwise the prefix that holds the program is
    // the registry the program reads.
    if (!prefix.isEmpty() && location.kind != platform::RegistryStoreKind::WinePrefix &&
        prefix != QFileInfo(location.prefix).canonicalFilePath())
        return {prefix, ChosenSetupFolder({true, prefix}, file)};
    return {QString(), ChosenSetupFolder(PathsOf(location), file)};
}

namespace {

void TellSetupRootNotRecorded(QWidget* parent, const platform::RegistryError& error)
{
    platform::ShowMessage(parent, kVelmorCaption,
                          QStringLiteral("瑠環印鑑のｾｯﾄｱｯﾌﾟﾌｫﾙﾀﾞｰを記録できませんでした。\n") +
                              error.Message());
}

// Writes the install folder into the open Velmor key and releases the key; a failure is told.
void RecordSetupRoot(QWidget* parent, platform::RegistryAccessor& registry, const QString& folder)
{
    try {
        registry.WriteString(kSetupRootValue, folder);
        registry.Close();
    } catch (const platform::RegistryError& error) {
        registry.Discard();
        TellSetupRootNotRecorded(parent, error);
    }
}

// Remembers the prefix that holds the Velmor program as the store from now on and writes the
// install folder into it; the store in use before is left as it was.
VelmorCheckResult MoveToPrefix(QWidget* parent, const SetupPlace& place, VelmorCheckResult result)
{
    if (const std::optional<QString> problem = platform::RememberWinePrefix(place.prefix)) {
        platform::ShowMessage(parent, kVelmorCaption, *problem);
        platform::ShowMessage(parent, kVelmorCaption,
                              QStringLiteral("今回は瑠環印鑑機能は使用できません"));
        result.present = false;
        return result;
    }
    result.setupRootPath = *place.folder;
    platform::RegistryAccessor registry;
    try {
        OpenVelmorKey(registry, /*canCreate=*/true);
    } catch (const platform::RegistryError& error) {
        registry.Discard();
        TellSetupRootNotRecorded(parent, error);
        return result;
    }
    RecordSetupRoot(parent, registry, result.setupRootPath);
    return result;
}

} // namespace

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

    // velmor.exe beside the program, else in the prefix's Program Files, else where the user
    // says.
    const platform::RegistryLocation location = platform::FindRegistryLocation();
    const VelmorPaths paths = PathsOf(location);
    std::optional<SetupPlace> place;
    const auto take = [&](const std::optional<QString>& found) {
        if (!found)
            return false;
        SetupPlace candidate = PlaceVelmorProgram(location, *found);
        if (candidate.folder)
            place = std::move(candidate);
        return place.has_value();
    };
    if (!take(VelmorProgramIn(QDir::currentPath())) && paths.windows)
        take(VelmorProgramInPrefix(paths.prefix));
    if (!place) {
        platform::ShowMessage(parent, kVelmorCaption,
                              QStringLiteral("瑠環印鑑のｾｯﾄｱｯﾌﾟﾌｫﾙﾀﾞｰを探します"));
        const std::optional<platform::FileDialogChoice> choice =
            platform::Dialogs().AskOpenFile(parent, VelmorFindRequest(paths));
        if (choice) {
            const QString chosen = IsWindowsForm(choice->path)
                                       ? choice->path
                                       : QFileInfo(choice->path).absoluteFilePath();
            SetupPlace candidate = PlaceVelmorProgram(location, chosen);
            if (candidate.folder) {
                place = std::move(candidate);
            } else {
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
    }
    if (place && !place->prefix.isEmpty()) {
        registry.Discard();
        return MoveToPrefix(parent, *place, result);
    }
    if (!place)
        result.present = false;
    result.setupRootPath = place ? *place->folder : QString();

    RecordSetupRoot(parent, registry, result.setupRootPath);
    return result;
}

} // namespace velmr::sibling
