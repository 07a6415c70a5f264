#include "platform/registry/WineRegistryBackend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUuid>

#include <chrono>
#include <mutex>
#include <thread>

namespace velmr::platform {
namespace {

constexpr int kWineTimeoutMs = 60000;
// How often an operation through the server is tried, and the pause between two tries.
constexpr int kServerAttempts = 3;
constexpr auto kServerRetryPause = std::chrono::milliseconds(300);

[[noreturn]] void Fail(const QString& what, const QString& detail)
{
    throw RegistryError(QStringLiteral("%1\n%2").arg(what, detail));
}

QString RunDetail(const WineTools::Run& run)
{
    if (!run.started)
        return QStringLiteral("wine を起動できませんでした。");
    if (!run.finished)
        return QStringLiteral("wine が時間内に終わりませんでした。");
    const QString output = QString::fromLocal8Bit(run.output).trimmed();
    return QStringLiteral("wine の終了コード %1%2")
        .arg(run.exitCode)
        .arg(output.isEmpty() ? QString() : QStringLiteral("：") + output.left(400));
}

// Removes a file when it goes.
class RemoveLater
{
public:
    explicit RemoveLater(QString path) : path_(std::move(path)) {}
    ~RemoveLater() { QFile::remove(path_); }
    RemoveLater(const RemoveLater&) = delete;
    RemoveLater& operator=(const RemoveLater&) = delete;

private:
    QString path_;
};

bool IsPrefixOf(const QStringList& prefix, const QStringList& path)
{
    if (prefix.size() > path.size())
        return false;
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        if (prefix[i].compare(path[i], Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

QStringList Normalized(const QStringList& path)
{
    QStringList components;
    for (const QString& component : path)
        components += component.split(u'\\', Qt::SkipEmptyParts);
    return components;
}

// What the running server holds: the exported scope, and whatever else was asked since, each
// fetched once.
class WineSnapshot final : public RegistrySnapshot
{
public:
    WineSnapshot(WineServerBackend backend, const QStringList& scope) : backend_(std::move(backend))
    {
        Cover(scope);
    }

    bool KeyExists(const QStringList& keyPath) const override
    {
        const QStringList path = Normalized(keyPath);
        const std::lock_guard lock(mutex_);
        if (path.isEmpty() || Covered(path))
            return values_.KeyExists(path);
        for (const QStringList& root : roots_) {
            if (IsPrefixOf(path, root) && values_.KeyExists(root))
                return true;
        }
        const QString folded = path.join(u'\\').toCaseFolded();
        const auto known = existence_.constFind(folded);
        if (known != existence_.cend())
            return *known;
        const bool exists = backend_.Exists(path);
        existence_.insert(folded, exists);
        return exists;
    }

    RegistryValueKind ValueKind(const QStringList& keyPath, const QString& name) const override
    {
        const QStringList path = Normalized(keyPath);
        const std::lock_guard lock(mutex_);
        if (!Covered(path))
            Cover(path);
        return values_.ValueKind(path, name);
    }

    QString StringValue(const QStringList& keyPath, const QString& name) const override
    {
        const QStringList path = Normalized(keyPath);
        const std::lock_guard lock(mutex_);
        if (!Covered(path))
            Cover(path);
        return values_.StringValue(path, name);
    }

private:
    bool Covered(const QStringList& path) const
    {
        for (const QStringList& root : roots_) {
            if (IsPrefixOf(root, path))
                return true;
        }
        return false;
    }

    void Cover(const QStringList& root) const
    {
        if (std::optional<RegeditExport> exported = backend_.Export(root))
            values_.Merge(*exported);
        roots_.push_back(root);
    }

    WineServerBackend backend_;
    mutable std::mutex mutex_;
    mutable std::vector<QStringList> roots_;
    mutable RegeditExport values_;
    mutable QHash<QString, bool> existence_;
};

// The last data each changed value is to hold after a commit, and the keys it creates.
struct Expected
{
    std::vector<QStringList> keys;
    std::vector<RegistryChange> values;
};

Expected ExpectedAfter(const std::vector<RegistryChange>& changes)
{
    Expected expected;
    for (const RegistryChange& change : changes) {
        const QStringList path = Normalized(change.keyPath);
        if (change.valueName.isNull()) {
            expected.keys.push_back(path);
            continue;
        }
        bool replaced = false;
        for (RegistryChange& value : expected.values) {
            if (IsPrefixOf(value.keyPath, path) && value.keyPath.size() == path.size() &&
                value.valueName.compare(change.valueName, Qt::CaseInsensitive) == 0) {
                value.data = change.data;
                replaced = true;
            }
        }
        if (!replaced)
            expected.values.push_back({path, change.valueName, change.data});
    }
    return expected;
}

} // namespace

// ---- WineTools

WineTools::WineTools(QString prefix, WineServerState server)
    : prefix_(std::move(prefix)), server_(std::move(server))
{}

QString WineTools::WineProgram()
{
    const QString configured = qEnvironmentVariable("VELMR_WINE");
    if (!configured.isEmpty())
        return QFileInfo(configured).isExecutable() ? configured : QString();
    return QStandardPaths::findExecutable(QStringLiteral("wine"));
}

WineTools::Run WineTools::Wine(const QStringList& arguments, int timeoutMs) const
{
    Run run;
    const QString program = WineProgram();
    if (program.isEmpty())
        return run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WINEPREFIX"), prefix_);
    environment.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
    // The server that runs is found under the TMPDIR it was started with.
    if (!server_.tempBase.isEmpty())
        environment.insert(QStringLiteral("TMPDIR"), server_.tempBase);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    // The root folder is Wine's drive Z:, so Unix paths given to Wine's programs read through it.
    process.setWorkingDirectory(QStringLiteral("/"));
    process.start(program, arguments);
    run.started = process.waitForStarted(timeoutMs);
    if (!run.started)
        return run;
    run.finished = process.waitForFinished(timeoutMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = process.readAll();
    return run;
}

WineTools::TempFile WineTools::MakeTempName(const QString& suffix) const
{
    const QString name =
        QStringLiteral("velmrmgr-%1%2").arg(QUuid::createUuid().toString(QUuid::Id128), suffix);
    const QString driveC =
        QFileInfo(prefix_ + QStringLiteral("/dosdevices/c:")).canonicalFilePath();
    if (!driveC.isEmpty() && QFileInfo(driveC + QStringLiteral("/windows/temp")).isDir()) {
        return {driveC + QStringLiteral("/windows/temp/") + name,
                QStringLiteral("C:\\windows\\temp\\") + name};
    }
    const QString temp = QDir::tempPath() + u'/' + name;
    return {temp, temp};
}

// ---- WineServerBackend

WineServerBackend::WineServerBackend(QString prefix, WineServerState server, QStringList scope)
    : tools_(std::move(prefix), std::move(server)), scope_(std::move(scope))
{}

QStringList WineServerBackend::DefaultScope()
{
    return {QStringLiteral("Software"), QStringLiteral("Zeb")};
}

std::optional<RegeditExport> WineServerBackend::Export(const QStringList& keyPath) const
{
    const QString what = QStringLiteral("Wine のレジストリを読み込めませんでした。");
    const WineTools::TempFile file = tools_.MakeTempName(QStringLiteral(".reg"));
    const RemoveLater remove(file.unixPath);
    const WineTools::Run run = tools_.Wine(
        {QStringLiteral("regedit"), QStringLiteral("/E"), file.winePath, RegeditKeyName(keyPath)},
        kWineTimeoutMs);
    if (!run.started || !run.finished)
        Fail(what, RunDetail(run));
    QFile exported(file.unixPath);
    if (!exported.exists()) {
        // regedit writes no file for a key that does not exist, and tells so only in words.
        if (!Exists(keyPath))
            return std::nullopt;
        Fail(what, RunDetail(run));
    }
    if (!exported.open(QIODevice::ReadOnly))
        Fail(what, exported.errorString());
    std::optional<RegeditExport> parsed = RegeditExport::Parse(exported.readAll());
    if (!parsed)
        Fail(what, QStringLiteral("regedit の書き出したファイルを読めませんでした。"));
    return parsed;
}

bool WineServerBackend::Exists(const QStringList& keyPath) const
{
    if (keyPath.isEmpty())
        return true;
    const WineTools::Run run = tools_.Wine(
        {QStringLiteral("reg"), QStringLiteral("query"), RegeditKeyName(keyPath)}, kWineTimeoutMs);
    if (run.started && run.finished && (run.exitCode == 0 || run.exitCode == 1))
        return run.exitCode == 0;
    Fail(QStringLiteral("Wine のレジストリを読み込めませんでした。"), RunDetail(run));
}

std::unique_ptr<RegistrySnapshot> WineServerBackend::Load()
{
    return std::make_unique<WineSnapshot>(*this, scope_);
}

void WineServerBackend::Commit(const std::vector<RegistryChange>& changes)
{
    if (changes.empty())
        return;
    const QString what = QStringLiteral("Wine のレジストリに書き込めませんでした。");
    const QByteArray bytes = RegeditImportFile(changes);
    const WineTools::TempFile file = tools_.MakeTempName(QStringLiteral(".reg"));
    const RemoveLater remove(file.unixPath);
    // A file of our own that only regedit reads: no need to make it survive a crash.
    QFile import(file.unixPath);
    if (!import.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        import.write(bytes) != bytes.size() || !import.flush())
        Fail(what, import.errorString());
    import.close();
    const WineTools::Run run = tools_.Wine(
        {QStringLiteral("regedit"), QStringLiteral("/S"), file.winePath}, kWineTimeoutMs);
    if (!run.started || !run.finished)
        Fail(what, RunDetail(run));

    // regedit ends with 0 whatever happened; what the server holds now tells.
    const Expected expected = ExpectedAfter(changes);
    WineSnapshot check(*this, scope_);
    for (const QStringList& key : expected.keys) {
        if (!check.KeyExists(key))
            Fail(what, QStringLiteral("キー %1 が作成されませんでした。").arg(RegeditKeyName(key)));
    }
    for (const RegistryChange& value : expected.values) {
        if (check.ValueKind(value.keyPath, value.valueName) != RegistryValueKind::String ||
            check.StringValue(value.keyPath, value.valueName) != value.data) {
            Fail(what, QStringLiteral("値 %1\\%2 が書き込まれませんでした。%3")
                           .arg(RegeditKeyName(value.keyPath), value.valueName, RunDetail(run)));
        }
    }
}

// ---- WinePrefixBackend

WinePrefixBackend::WinePrefixBackend(QString prefix, QString userRegPath, Probe probe)
    : prefix_(std::move(prefix)), file_(std::move(userRegPath)), probe_(std::move(probe))
{}

std::optional<WineServerState> WinePrefixBackend::RunningServer() const
{
    WineServerState state = probe_(prefix_);
    if (!state.running)
        return std::nullopt;
    return state;
}

std::unique_ptr<RegistrySnapshot> WinePrefixBackend::Load()
{
    for (int attempt = 1;; ++attempt) {
        const std::optional<WineServerState> server = RunningServer();
        // Without wine to ask, the file is read as the server last saved it.
        if (!server || WineTools::WineProgram().isEmpty()) {
            route_ = Route::File;
            return file_.Load();
        }
        route_ = Route::WineServer;
        try {
            return WineServerBackend(prefix_, *server).Load();
        } catch (const RegistryError&) {
            // A server that was ending just as wine started makes the run fail; the next look
            // finds it gone, or a new one.
            if (attempt == kServerAttempts)
                throw;
            std::this_thread::sleep_for(kServerRetryPause);
        }
    }
}

void WinePrefixBackend::Commit(const std::vector<RegistryChange>& changes)
{
    for (int attempt = 1;; ++attempt) {
        const std::optional<WineServerState> server = RunningServer();
        if (!server) {
            CommitToFile(changes);
            return;
        }
        route_ = Route::WineServer;
        if (WineTools::WineProgram().isEmpty()) {
            // The server would write its own copy over the file: a change made there is lost.
            Fail(QStringLiteral("Wine のレジストリに書き込めませんでした。"),
                 QStringLiteral("Wine サーバーが動いていますが、wine を起動できません。"));
        }
        try {
            // Importing again sets the same values again, whatever the first run had set.
            WineServerBackend(prefix_, *server).Commit(changes);
            return;
        } catch (const RegistryError&) {
            if (attempt == kServerAttempts)
                throw;
            std::this_thread::sleep_for(kServerRetryPause);
        }
    }
}

void WinePrefixBackend::CommitToFile(const std::vector<RegistryChange>& changes)
{
    route_ = Route::File;
    file_.Commit(changes);
    for (int attempt = 1;; ++attempt) {
        const std::optional<WineServerState> server = RunningServer();
        if (!server || WineTools::WineProgram().isEmpty())
            return;
        // Started while the file was being replaced: it may hold what it read before.
        route_ = Route::WineServer;
        try {
            WineServerBackend(prefix_, *server).Commit(changes);
            return;
        } catch (const RegistryError&) {
            if (attempt == kServerAttempts)
                throw;
            std::this_thread::sleep_for(kServerRetryPause);
        }
    }
}

} // namespace velmr::platform
