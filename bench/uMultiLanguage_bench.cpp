// The message catalog against its physical floor, measured in the same run:
// a file load against open + read + close of the same bytes, a save against a
// raw write of the same bytes with the same flushes (file and folder) and
// rename, and a message read.
#include "uMultiLanguage.h"
#include "win32/paths.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// A private folder that is the current directory, with a 500-message file.
struct BenchFolder {
    fs::path dir;
    std::string bytes;
    std::string loadName; // full Windows path of the 500-message file
    std::string saveName;

    BenchFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "catalog_benchXXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        dir = pattern;
        ::setenv("VANTREL_PREFIX", (dir / "prefix").c_str(), 1);
        fs::current_path(dir);
        vantrel::TMultiLang lang;
        for (int32_t id = 0; id < 500; ++id)
            lang.SetMsgItem(id, "Message number " + std::to_string(id) + ": the file could not be opened.");
        loadName = win32::HostToWindowsPath((dir / "bench.lang").string());
        saveName = win32::HostToWindowsPath((dir / "save.lang").string());
        lang.SaveToFile(loadName);
        std::ifstream in(dir / "bench.lang", std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        bytes = out.str();
    }
    ~BenchFolder()
    {
        std::error_code ec;
        fs::current_path(dir.parent_path(), ec);
        fs::remove_all(dir, ec);
    }
};

BenchFolder& Folder()
{
    static BenchFolder folder;
    return folder;
}

void BM_LoadFromFile(benchmark::State& state)
{
    const std::string& name = Folder().loadName;
    vantrel::TMultiLang lang;
    for (auto _ : state) benchmark::DoNotOptimize(lang.LoadFromFile(name));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Folder().bytes.size()));
}
BENCHMARK(BM_LoadFromFile);

void BM_RawRead(benchmark::State& state)
{
    const std::string path = (Folder().dir / "bench.lang").string();
    std::string data;
    char buffer[65536];
    for (auto _ : state) {
        data.clear();
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) data.append(buffer, static_cast<size_t>(n));
        ::close(fd);
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Folder().bytes.size()));
}
BENCHMARK(BM_RawRead);

void BM_SaveToFile(benchmark::State& state)
{
    vantrel::TMultiLang lang;
    lang.LoadFromFile(Folder().loadName);
    const std::string& name = Folder().saveName;
    for (auto _ : state) lang.SaveToFile(name);
}
BENCHMARK(BM_SaveToFile)->UseRealTime();

void BM_RawAtomicWrite(benchmark::State& state)
{
    const std::string target = (Folder().dir / "raw.lang").string();
    const std::string temp = target + ".tmp";
    const std::string& bytes = Folder().bytes;
    // The rename lasts through a power loss only once the folder is flushed too.
    const int folder = ::open(Folder().dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (auto _ : state) {
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) state.SkipWithError("write");
        ::fsync(fd);
        ::close(fd);
        ::rename(temp.c_str(), target.c_str());
        ::fsync(folder);
    }
    ::close(folder);
}
BENCHMARK(BM_RawAtomicWrite)->UseRealTime();

void BM_GetMsgItem(benchmark::State& state)
{
    vantrel::TMultiLang lang;
    lang.LoadInteralLanguage(0);
    int32_t id = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(lang.GetMsgItem(id));
        id = (id + 1) & 255;
    }
}
BENCHMARK(BM_GetMsgItem);

} // namespace

BENCHMARK_MAIN();
