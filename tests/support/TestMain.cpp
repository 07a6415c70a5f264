// The main of every test executable: a private HOME, registry and temporary folder for this
// process, headless Qt, then GoogleTest.

#include "SanitizerOptions.inc"

#include <QApplication>
#include <QDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace velmr::test {
void SetPrivateRoot(const QString& root);
}

namespace {

std::string MakePrivateRoot()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/velmr-test-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    return pattern;
}

void SetUpEnvironment(const std::string& root)
{
    const auto make = [&](const char* sub) {
        const std::string path = root + "/" + sub;
        std::filesystem::create_directories(path);
        return path;
    };
    setenv("HOME", make("home").c_str(), 1);
    setenv("XDG_DATA_HOME", make("home/.local/share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", make("home/.config").c_str(), 1);
    setenv("XDG_CACHE_HOME", make("home/.cache").c_str(), 1);
    const std::string runtime = make("runtime");
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("TMPDIR", make("tmp").c_str(), 1);
    unsetenv("WINEPREFIX");
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string root = MakePrivateRoot();
    SetUpEnvironment(root);
    velmr::test::SetPrivateRoot(QString::fromStdString(root));

    int status = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        status = RUN_ALL_TESTS();
    }
    if (!std::getenv("VELMR_KEEP_TEST_ROOT")) {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    return status;
}
