// MySearchFile over a folder of 10,000 files against its floor: a raw
// readdir + fnmatch of the same folder collecting the same names.
#include "uDyxSubs.h"

#include "win32/paths.h"

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fnmatch.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 10000;

struct Fixture {
    std::string root;
    std::string hostDir;
    std::string mask = "C:\\Many\\*.lang";

    Fixture()
    {
        std::string pattern = (fs::temp_directory_path() / "vantrel-bench-XXXXXX").string();
        root = mkdtemp(pattern.data());
        setenv("VANTREL_PREFIX", (root + "/prefix").c_str(), 1);
        hostDir = win32::PrefixDir() + "/drive_c/Many";
        fs::create_directories(hostDir);
        for (int i = 0; i < kFiles; ++i)
            std::ofstream(hostDir + "/language" + std::to_string(i) + (i % 2 ? ".lang" : ".txt"));
    }
    ~Fixture() { fs::remove_all(root); }
};

Fixture& Env()
{
    static Fixture fixture;
    return fixture;
}

void BM_ReaddirFnmatch(benchmark::State& state)
{
    const std::string& dir = Env().hostDir;
    for (auto _ : state) {
        std::vector<std::string> names;
        DIR* d = opendir(dir.c_str());
        while (const dirent* e = readdir(d))
            if (fnmatch("*.lang", e->d_name, FNM_CASEFOLD) == 0) names.emplace_back(e->d_name);
        closedir(d);
        benchmark::DoNotOptimize(names.data());
    }
}
BENCHMARK(BM_ReaddirFnmatch)->Unit(benchmark::kMicrosecond);

void BM_MySearchFile(benchmark::State& state)
{
    const std::string& mask = Env().mask;
    for (auto _ : state) {
        vantrel::TStringList* list = nullptr;
        vantrel::MySearchFile(mask, list);
        benchmark::DoNotOptimize(list);
        delete list;
    }
}
BENCHMARK(BM_MySearchFile)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
