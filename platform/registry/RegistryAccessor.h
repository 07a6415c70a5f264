#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>
#include <vector>

// The per-user registry (HKEY_CURRENT_USER) shared with the Velmor program.
namespace velmr::platform {

// A store that cannot be read or written. `what()` is the UTF-8 of `Message()`, a Japanese text
// for the user naming the store and the cause.
class RegistryError : public std::runtime_error
{
public:
    explicit RegistryError(const QString& message);
    const QString& Message() const { return message_; }

private:
    QString message_;
};

// How a value reads.
enum class RegistryValueKind
{
    Missing,
    String,
    NotString
};

// One change an accessor makes: create `keyPath` (when `valueName` is null) or set the string
// value `valueName` of `keyPath` (creating the key when needed). Paths are relative to
// HKEY_CURRENT_USER, one component per element.
struct RegistryChange
{
    QStringList keyPath;
    QString valueName; // null QString: the change only creates the key
    QString data;
};

// A read-only view of the store at one moment.
class RegistrySnapshot
{
public:
    virtual ~RegistrySnapshot() = default;
    virtual bool KeyExists(const QStringList& keyPath) const = 0;
    virtual RegistryValueKind ValueKind(const QStringList& keyPath, const QString& name) const = 0;
    // The data of a string value; empty for a missing value or one of another type.
    virtual QString StringValue(const QStringList& keyPath, const QString& name) const = 0;
};

// Where the store lives and how it is read and changed. The accessor asks its backend for a
// snapshot at its first use and hands it every change together when it is released.
class RegistryBackend
{
public:
    virtual ~RegistryBackend() = default;
    // Throws RegistryError when the store exists but cannot be read.
    virtual std::unique_ptr<RegistrySnapshot> Load() = 0;
    // Applies all `changes`, in order, as one update of the store. Throws RegistryError when the
    // store cannot be written; the store is then left as it was.
    virtual void Commit(const std::vector<RegistryChange>& changes) = 0;
};

// The backend for the current user: the store found from the environment (a Wine prefix's
// user.reg, or the program's own one).
std::shared_ptr<RegistryBackend> CurrentUserRegistry();

// Replaces what CurrentUserRegistry() returns (tests); nullptr restores the default.
void SetCurrentUserRegistry(std::shared_ptr<RegistryBackend> backend);

// A registry accessor for one operation, rooted at HKEY_CURRENT_USER. Keys are opened one level
// at a time relative to the current key; writes are held back and reach the store all together
// when the accessor is closed, so the Velmor program never sees a half-written seal.
class RegistryAccessor
{
public:
    RegistryAccessor();
    explicit RegistryAccessor(std::shared_ptr<RegistryBackend> backend);
    ~RegistryAccessor(); // closes if Close() was not called; a failure is then only logged
    RegistryAccessor(const RegistryAccessor&) = delete;
    RegistryAccessor& operator=(const RegistryAccessor&) = delete;

    // Opens `name` (one or more components separated by "\") relative to the current key. Without
    // `canCreate` a missing key is not opened and false is returned; with it a missing key is
    // created. The current key changes only when true is returned. Throws RegistryError.
    bool OpenKey(const QString& name, bool canCreate);

    // The current key's path relative to HKEY_CURRENT_USER.
    const QStringList& CurrentKey() const { return current_; }

    // A string value of the current key: empty when missing or of another type. Reads see this
    // accessor's own pending writes. Throws RegistryError.
    QString ReadString(const QString& name);
    RegistryValueKind ValueKind(const QString& name);

    // Sets a string value of the current key; it reaches the store at Close().
    void WriteString(const QString& name, const QString& value);

    // Commits the pending changes, if any, in one update. Throws RegistryError; the accessor is
    // closed afterwards whatever the outcome.
    void Close();

    // Drops the pending changes: nothing of them reaches the store (an operation given up half
    // way). The accessor is closed afterwards.
    void Discard();

private:
    const RegistrySnapshot& Snapshot();
    bool PendingKeyExists(const QStringList& path) const;
    const RegistryChange* PendingValue(const QString& name) const;

    std::shared_ptr<RegistryBackend> backend_;
    std::unique_ptr<RegistrySnapshot> snapshot_;
    std::vector<RegistryChange> changes_;
    QStringList current_;
    bool closed_ = false;
};

} // namespace velmr::platform
