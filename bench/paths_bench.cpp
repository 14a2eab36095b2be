// Resolving a Windows path whose case matches the disk, against its floor:
// one stat of the host path it resolves to.
#include "win32/paths.h"

#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Fixture {
    std::string root;
    std::string windowsPath = "C:\\Alpha\\Beta\\Gamma\\Delta\\file.txt";
    std::string hostPath;

    Fixture()
    {
        std::string pattern = (fs::temp_directory_path() / "vantrel-bench-XXXXXX").string();
        root = mkdtemp(pattern.data());
        setenv("VANTREL_PREFIX", (root + "/prefix").c_str(), 1);
        const std::string dir = win32::PrefixDir() + "/drive_c/Alpha/Beta/Gamma/Delta";
        fs::create_directories(dir);
        std::ofstream(dir + "/file.txt") << "x";
        win32::ResolvePath(windowsPath, hostPath);
    }
    ~Fixture() { fs::remove_all(root); }
};

Fixture& Env()
{
    static Fixture fixture;
    return fixture;
}

void BM_StatHostPath(benchmark::State& state)
{
    const std::string& host = Env().hostPath;
    struct stat st{};
    for (auto _ : state)
        benchmark::DoNotOptimize(::stat(host.c_str(), &st));
}
BENCHMARK(BM_StatHostPath);

void BM_ResolveMatchingCase(benchmark::State& state)
{
    const std::string& windows = Env().windowsPath;
    std::string host;
    for (auto _ : state) {
        benchmark::DoNotOptimize(win32::ResolvePath(windows, host));
        benchmark::DoNotOptimize(host.data());
    }
}
BENCHMARK(BM_ResolveMatchingCase);

void BM_ResolveOtherCase(benchmark::State& state)
{
    const std::string windows = "c:\\ALPHA\\beta\\GAMMA\\delta\\FILE.TXT";
    std::string host;
    for (auto _ : state)
        benchmark::DoNotOptimize(win32::ResolvePath(windows, host));
}
BENCHMARK(BM_ResolveOtherCase);

void BM_ResolveRelative(benchmark::State& state)
{
    Env();
    fs::current_path(win32::PrefixDir() + "/drive_c/Alpha/Beta");
    const std::string windows = "Gamma\\Delta\\file.txt";
    std::string host;
    for (auto _ : state)
        benchmark::DoNotOptimize(win32::ResolvePath(windows, host));
}
BENCHMARK(BM_ResolveRelative);

} // namespace

BENCHMARK_MAIN();
