// Registering a name seal into the Velmor key and importing it, in a Wine prefix whose user.reg
// is about 5 MB: edited in place while no Wine server runs, through "wine regedit" while one does.
// The server variants need Wine; they make their prefix once (scripts/make-velmor-prefix.sh),
// which takes a while, and are skipped without Wine.

#include "platform/Cp932.h"
#include "platform/registry/RegistryAccessor.h"
#include "platform/registry/UserRegFile.h"
#include "platform/registry/WineRegistryBackend.h"
#include "platform/registry/WineServer.h"
#include "seal/Records.h"
#include "sibling/ImportSeals.h"
#include "sibling/RegisterSeals.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

using namespace velmr;
using namespace Qt::StringLiterals;

constexpr qsizetype kStoreBytes = 5 * 1024 * 1024;

// Keys of other programs, as a prefix in long use has them, until the file has `size` bytes.
QByteArray UnrelatedKeys(qsizetype size)
{
    QByteArray bytes;
    for (int vendor = 0; bytes.size() < size; ++vendor) {
        for (int app = 0; app < 40; ++app) {
            const QByteArray id = QByteArray::number(vendor) + '-' + QByteArray::number(app);
            bytes += "\n[Software\\\\Vendor" + QByteArray::number(vendor) + "\\\\App" +
                     QByteArray::number(app) +
                     "\\\\Settings] 1700000000\n#time=1da1d0a6c8d5e00\n"
                     "\"InstallPath\"=\"C:\\\\Program Files\\\\Vendor\\\\" +
                     id + "\"\n\"Title\"=\"\\x8a2d\\x5b9a " + id + "\"\n\"Count\"=dword:00000010\n";
        }
    }
    return bytes;
}

seal::NameStampRecord NameSeal(int round)
{
    seal::NameStampRecord record = seal::NewNameStamp();
    record.Text1.Assign(*platform::cp932::Encode(u"山田"));
    record.OffsetX = round % 100;
    return record;
}

QProcessEnvironment WineEnvironment(const QString& prefix)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"WINEPREFIX"_s, prefix);
    environment.insert(u"WINEDEBUG"_s, u"-all"_s);
    environment.insert(u"WINEDLLOVERRIDES"_s, u"mscoree,mshtml="_s);
    environment.remove(u"DISPLAY"_s);
    return environment;
}

bool Execute(const QString& prefix, const QString& program, const QStringList& arguments,
             int timeoutMs)
{
    QProcess process;
    process.setProcessEnvironment(WineEnvironment(prefix));
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    return process.waitForFinished(timeoutMs) && process.exitCode() == 0;
}

// A prefix folder whose user.reg holds the Velmor key and 5 MB of other keys.
class Prefix
{
public:
    // Without Wine: a folder laid out as a prefix.
    static Prefix& Plain()
    {
        static Prefix prefix(false);
        return prefix;
    }
    // A real prefix with its server running; nullptr without Wine.
    static Prefix* WithServer()
    {
        static std::unique_ptr<Prefix> prefix = [] {
            if (QStandardPaths::findExecutable(u"wine"_s).isEmpty())
                return std::unique_ptr<Prefix>();
            auto made = std::unique_ptr<Prefix>(new Prefix(true));
            return made->ready_ ? std::move(made) : std::unique_ptr<Prefix>();
        }();
        return prefix.get();
    }

    ~Prefix()
    {
        if (wine_)
            Execute(path_, u"wineserver"_s, {u"-k"_s}, 30000);
    }

    const QString& Path() const { return path_; }
    std::shared_ptr<platform::WinePrefixBackend> Backend() const
    {
        return std::make_shared<platform::WinePrefixBackend>(path_, path_ + u"/user.reg"_s);
    }
    qsizetype Size() const { return QFile(path_ + u"/user.reg"_s).size(); }

private:
    explicit Prefix(bool wine) : path_(folder_.filePath(u"prefix"_s)), wine_(wine)
    {
        QDir().mkpath(path_);
        if (wine) {
            std::fprintf(stderr, "making a Wine prefix with make-velmor-prefix.sh...\n");
            if (!Execute(path_, u"bash"_s,
                         {QStringLiteral(VELMR_SOURCE_DIR "/scripts/make-velmor-prefix.sh"), path_},
                         600000))
                return;
        }
        QFile file(path_ + u"/user.reg"_s);
        QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        file.close();
        if (bytes.isEmpty())
            bytes = platform::NewUserRegHeader() +
                    "\n[Software\\\\Zeb\\\\Velmor] 1700000000\n\"SetupRoot\"=\"C:\\\\Velmor\"\n";
        bytes += UnrelatedKeys(kStoreBytes - bytes.size());
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return;
        file.close();
        if (wine) {
            // The server reads the file once and then holds it.
            Execute(path_, u"wineserver"_s, {u"-p"_s}, 30000);
            Execute(path_, u"wine"_s, {u"reg"_s, u"query"_s, u"HKCU\\Software\\Zeb"_s}, 120000);
            if (!platform::ProbeWineServer(path_).running)
                return;
        }
        // One registration, so that importing finds a seal.
        sibling::StoreNameSeal(NameSeal(0), seal::NewNameStampEx(), Backend());
        ready_ = true;
    }

    QTemporaryDir folder_;
    QString path_;
    bool wine_ = false;
    bool ready_ = false;
};

void Register(benchmark::State& state, Prefix* prefix, platform::WinePrefixBackend::Route route)
{
    if (!prefix) {
        state.SkipWithError("wine is not installed or the prefix could not be made");
        return;
    }
    const auto backend = prefix->Backend();
    int round = 0;
    for (auto _ : state)
        sibling::StoreNameSeal(NameSeal(++round), seal::NewNameStampEx(), backend);
    if (backend->LastRoute() != route)
        state.SkipWithError("the store was reached another way than measured");
    state.counters["user.reg MB"] = double(prefix->Size()) / (1024 * 1024);
}

void Import(benchmark::State& state, Prefix* prefix, platform::WinePrefixBackend::Route route)
{
    if (!prefix) {
        state.SkipWithError("wine is not installed or the prefix could not be made");
        return;
    }
    const auto backend = prefix->Backend();
    seal::NameStampRecord record;
    seal::NameStampExRecord ex;
    for (auto _ : state) {
        sibling::LoadNameSeal(record, ex, backend);
        benchmark::DoNotOptimize(record);
    }
    if (backend->LastRoute() != route || record.FontSize != 76)
        state.SkipWithError("the seal was not read as registered");
    state.counters["user.reg MB"] = double(prefix->Size()) / (1024 * 1024);
}

void BM_RegisterNameSeal_NoServer(benchmark::State& state)
{
    Register(state, &Prefix::Plain(), platform::WinePrefixBackend::Route::File);
}
BENCHMARK(BM_RegisterNameSeal_NoServer)->Unit(benchmark::kMillisecond);

void BM_ImportNameSeal_NoServer(benchmark::State& state)
{
    Import(state, &Prefix::Plain(), platform::WinePrefixBackend::Route::File);
}
BENCHMARK(BM_ImportNameSeal_NoServer)->Unit(benchmark::kMillisecond);

void BM_RegisterNameSeal_WineServer(benchmark::State& state)
{
    Register(state, Prefix::WithServer(), platform::WinePrefixBackend::Route::WineServer);
}
BENCHMARK(BM_RegisterNameSeal_WineServer)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_ImportNameSeal_WineServer(benchmark::State& state)
{
    Import(state, Prefix::WithServer(), platform::WinePrefixBackend::Route::WineServer);
}
BENCHMARK(BM_ImportNameSeal_WineServer)->Unit(benchmark::kMillisecond)->Iterations(20);

// Whether a server runs: what every load and commit of a prefix's store asks first.
void BM_ProbeWineServer(benchmark::State& state)
{
    const QString prefix = Prefix::Plain().Path();
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::ProbeWineServer(prefix));
}
BENCHMARK(BM_ProbeWineServer)->Unit(benchmark::kMicrosecond);

} // namespace
