#include "platform/registry/RegistryAccessor.h"
#include "platform/registry/UserRegBackend.h"
#include "platform/registry/UserRegFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace velmr::platform;
using namespace Qt::StringLiterals;

constexpr int kNameSealValues = 30;

// A user.reg of about 5 MB: a Wine prefix in long use, with thousands of keys of other programs
// around the Velmor program's own.
QByteArray LargeUserReg()
{
    QByteArray bytes = NewUserRegHeader();
    for (int vendor = 0; bytes.size() < 5 * 1024 * 1024; ++vendor) {
        for (int app = 0; app < 40; ++app) {
            const QByteArray id = QByteArray::number(vendor) + '-' + QByteArray::number(app);
            bytes +=
                "\n[Software\\\\Vendor" + QByteArray::number(vendor) + "\\\\App" +
                QByteArray::number(app) +
                "\\\\Settings] 1700000000\n#time=1da1d0a6c8d5e00\n"
                "\"InstallPath\"=\"C:\\\\Program Files\\\\Vendor\\\\" +
                id +
                "\"\n"
                "\"Title\"=\"\\x8a2d\\x5b9a\\x30d5\\x30a1\\x30a4\\x30eb " +
                id +
                "\"\n"
                "\"Count\"=dword:000000" +
                QByteArray::number(app % 100).rightJustified(2, '0') +
                "\n\"Window\"=hex:2c,00,00,00,00,00,00,00,01,00,00,00,ff,ff,ff,ff,ff,ff,ff,\\\n"
                "  ff,ff,ff,ff,ff,16,00,00,00,16,00,00,00\n";
        }
    }
    return bytes;
}

// The store shared by the benchmarks, made once.
class Store
{
public:
    static Store& Get()
    {
        static Store store;
        return store;
    }
    std::shared_ptr<UserRegBackend> Backend() const
    {
        return std::make_shared<UserRegBackend>(path_);
    }
    qsizetype Size() const { return QFile(path_).size(); }

    // The 30 values of a name seal, written together as the editor saves them.
    void WriteNameSeal(const QString& variant) const
    {
        RegistryAccessor registry(Backend());
        registry.OpenKey(u"Software\\Zeb\\Velmor\\NameStamp"_s, true);
        for (int i = 0; i < kNameSealValues; ++i)
            registry.WriteString(u"Value%1"_s.arg(i), u"瑠環印影 %1 %2"_s.arg(variant).arg(i));
        registry.Close();
    }

private:
    Store() : path_(folder_.filePath(u"user.reg"_s))
    {
        QFile file(path_);
        if (file.open(QIODevice::WriteOnly))
            file.write(LargeUserReg());
        file.close();
        WriteNameSeal(u"first"_s);
    }

private:
    QTemporaryDir folder_;
    QString path_;
};

// Saving a name seal: lock, read and parse the whole file, change 30 values, write it anew.
void BM_WriteNameSeal(benchmark::State& state)
{
    const Store& store = Store::Get();
    int round = 0;
    for (auto _ : state)
        store.WriteNameSeal(QString::number(++round));
    state.SetBytesProcessed(state.iterations() * store.Size());
}
BENCHMARK(BM_WriteNameSeal)->Unit(benchmark::kMillisecond);

// Opening a name seal: read and parse the whole file, then read its 30 values.
void BM_ReadNameSeal(benchmark::State& state)
{
    const Store& store = Store::Get();
    for (auto _ : state) {
        RegistryAccessor registry(store.Backend());
        registry.OpenKey(u"Software\\Zeb\\Velmor\\NameStamp"_s, false);
        for (int i = 0; i < kNameSealValues; ++i)
            benchmark::DoNotOptimize(registry.ReadString(u"Value%1"_s.arg(i)));
    }
    state.SetBytesProcessed(state.iterations() * store.Size());
}
BENCHMARK(BM_ReadNameSeal)->Unit(benchmark::kMillisecond);

// Parsing alone, without the file system.
void BM_ParseLargeUserReg(benchmark::State& state)
{
    const QByteArray bytes = LargeUserReg();
    for (auto _ : state)
        benchmark::DoNotOptimize(UserRegFile::Parse(bytes));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_ParseLargeUserReg)->Unit(benchmark::kMillisecond);

} // namespace
