#include "platform/registry/RegistryAccessor.h"

#include "platform/registry/RegistryLocation.h"
#include "platform/registry/UserRegBackend.h"
#include "platform/registry/WineRegistryBackend.h"

#include <QDebug>

#include <mutex>

namespace velmr::platform {
namespace {

std::mutex g_backendMutex;
std::shared_ptr<RegistryBackend> g_backendOverride;

bool SameName(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

// True when `path` is `prefix` or lies below it.
bool StartsWithPath(const QStringList& path, const QStringList& prefix)
{
    if (path.size() < prefix.size())
        return false;
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        if (!SameName(path[i], prefix[i]))
            return false;
    }
    return true;
}

bool SamePath(const QStringList& a, const QStringList& b)
{
    return a.size() == b.size() && StartsWithPath(a, b);
}

} // namespace

RegistryError::RegistryError(const QString& message)
    : std::runtime_error(message.toStdString()), message_(message)
{}

std::shared_ptr<RegistryBackend> CurrentUserRegistry()
{
    {
        const std::lock_guard lock(g_backendMutex);
        if (g_backendOverride)
            return g_backendOverride;
    }
    // A prefix's store goes through its Wine server while one runs, and is edited in place
    // otherwise; the program's own store is always edited in place.
    const RegistryLocation location = FindRegistryLocation();
    if (location.kind != RegistryStoreKind::ProgramStore)
        return std::make_shared<WinePrefixBackend>(location.prefix, location.userRegPath);
    return std::make_shared<UserRegBackend>(location.userRegPath);
}

void SetCurrentUserRegistry(std::shared_ptr<RegistryBackend> backend)
{
    const std::lock_guard lock(g_backendMutex);
    g_backendOverride = std::move(backend);
}

RegistryAccessor::RegistryAccessor() : RegistryAccessor(CurrentUserRegistry()) {}

RegistryAccessor::RegistryAccessor(std::shared_ptr<RegistryBackend> backend)
    : backend_(std::move(backend))
{}

RegistryAccessor::~RegistryAccessor()
{
    if (changes_.empty())
        return;
    try {
        Close();
    } catch (const RegistryError& error) {
        qWarning().noquote() << "The registry could not be updated:" << error.Message();
    } catch (const std::exception& error) {
        qWarning() << "The registry could not be updated:" << error.what();
    }
}

const RegistrySnapshot& RegistryAccessor::Snapshot()
{
    if (!snapshot_) {
        snapshot_ = backend_->Load();
        if (!snapshot_)
            throw RegistryError(QStringLiteral("レジストリを読み込めませんでした。"));
    }
    return *snapshot_;
}

bool RegistryAccessor::PendingKeyExists(const QStringList& path) const
{
    for (const RegistryChange& change : changes_) {
        if (StartsWithPath(change.keyPath, path))
            return true;
    }
    return false;
}

const RegistryChange* RegistryAccessor::PendingValue(const QString& name) const
{
    for (auto change = changes_.rbegin(); change != changes_.rend(); ++change) {
        if (!change->valueName.isNull() && SameName(change->valueName, name) &&
            SamePath(change->keyPath, current_))
            return &*change;
    }
    return nullptr;
}

bool RegistryAccessor::OpenKey(const QString& name, bool canCreate)
{
    const QStringList path = current_ + name.split(u'\\', Qt::SkipEmptyParts);
    if (path.isEmpty() || PendingKeyExists(path) || Snapshot().KeyExists(path)) {
        current_ = path;
        return true;
    }
    if (!canCreate)
        return false;
    changes_.push_back({path, QString(), QString()});
    closed_ = false;
    current_ = path;
    return true;
}

QString RegistryAccessor::ReadString(const QString& name)
{
    if (const RegistryChange* pending = PendingValue(name))
        return pending->data;
    return Snapshot().StringValue(current_, name);
}

RegistryValueKind RegistryAccessor::ValueKind(const QString& name)
{
    if (PendingValue(name))
        return RegistryValueKind::String;
    return Snapshot().ValueKind(current_, name);
}

void RegistryAccessor::WriteString(const QString& name, const QString& value)
{
    // A null name would read as "only create the key"; it means the default value here.
    const QString valueName = name.isNull() ? QStringLiteral("") : name;
    changes_.push_back({current_, valueName, value});
    closed_ = false;
}

void RegistryAccessor::Discard()
{
    changes_.clear();
    closed_ = true;
}

void RegistryAccessor::Close()
{
    closed_ = true;
    if (changes_.empty())
        return;
    const std::vector<RegistryChange> changes = std::move(changes_);
    changes_.clear();
    // What this accessor reads next comes from the store as the commit left it.
    snapshot_.reset();
    backend_->Commit(changes);
}

} // namespace velmr::platform
