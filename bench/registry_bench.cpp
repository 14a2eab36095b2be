// Reading a registry value through the routine against its floor, measured
// in the same run: one prepared SQLite point query of the same value in the
// same database, with the value's key already known.
#include "uDyxSubs.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

const char* const kKey = "Software\\Vantrel\\Bench";
const char* const kName = "InstallDir";
const char* const kValue = "C:\\Program Files\\Vantrel Bench";

// A private prefix whose store holds the value, with a raw connection to it.
struct BenchStore {
    fs::path dir;
    sqlite3* db = nullptr;
    sqlite3_stmt* query = nullptr;
    sqlite3_int64 keyId = 0;

    BenchStore()
    {
        std::string pattern = (fs::temp_directory_path() / "registry_benchXXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        dir = pattern;
        ::setenv("VANTREL_PREFIX", dir.c_str(), 1);
        if (!vantrel::WriteRegistryValue(vantrel::HKEY_CURRENT_USER, kKey, kName, kValue, true)) std::abort();
        if (sqlite3_open_v2((dir / "registry.db").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            std::abort();
        sqlite3_stmt* find = nullptr;
        sqlite3_prepare_v2(db, "SELECT key FROM vals WHERE fold = CAST('INSTALLDIR' AS BLOB)", -1, &find, nullptr);
        if (sqlite3_step(find) != SQLITE_ROW) std::abort();
        keyId = sqlite3_column_int64(find, 0);
        sqlite3_finalize(find);
        sqlite3_prepare_v3(db, "SELECT type, data FROM vals WHERE key = ?1 AND fold = ?2", -1,
                           SQLITE_PREPARE_PERSISTENT, &query, nullptr);
    }
    ~BenchStore()
    {
        sqlite3_finalize(query);
        sqlite3_close(db);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

BenchStore& Store()
{
    static BenchStore store;
    return store;
}

void BM_GetRegistryValue(benchmark::State& state)
{
    Store();
    for (auto _ : state) {
        std::string value = vantrel::GetRegistryValue(vantrel::HKEY_CURRENT_USER, kKey, kName);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_GetRegistryValue);

// The floor: bind, step, copy the text out, reset.
void BM_RawPreparedPointQuery(benchmark::State& state)
{
    BenchStore& s = Store();
    for (auto _ : state) {
        sqlite3_bind_int64(s.query, 1, s.keyId);
        sqlite3_bind_blob(s.query, 2, "INSTALLDIR", 10, SQLITE_STATIC);
        if (sqlite3_step(s.query) != SQLITE_ROW) std::abort();
        std::string value(static_cast<const char*>(sqlite3_column_blob(s.query, 1)),
                          static_cast<size_t>(sqlite3_column_bytes(s.query, 1)));
        sqlite3_reset(s.query);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_RawPreparedPointQuery);

} // namespace

BENCHMARK_MAIN();
