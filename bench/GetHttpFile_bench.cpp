// GetHttpFile of a 10 MiB body from a server on 127.0.0.1 against the curl
// program writing the same body to /dev/null, in the same run.
#include "uDyxSubs.h"

#include "support/LocalHttpServer.h"

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include <string>

extern char** environ;

namespace {

constexpr size_t kBody = size_t{10} << 20;

vantrel_test::LocalHttpServer& Server()
{
    static vantrel_test::LocalHttpServer server;
    static const bool routed = [] {
        server.route("/body", vantrel_test::HttpResponse("200 OK", std::string(kBody, 'v')));
        return true;
    }();
    (void)routed;
    return server;
}

// Runs curl; its own measure of the transfer (connect to last byte, without
// the program's start) goes to transferSeconds.
bool RunCurl(const std::string& url, double& transferSeconds)
{
    int out[2];
    if (pipe(out) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const char* argv[] = {"curl", "-s", "-o", "/dev/null", "-w", "%{time_total}", url.c_str(), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "curl", &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char buf[64];
    ssize_t n;
    while (spawned == 0 && (n = read(out[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    transferSeconds = std::strtod(text.c_str(), nullptr);
    return true;
}

// The whole program, as a user runs it.
void BM_CurlToDevNull(benchmark::State& state)
{
    const std::string url = Server().url("/body");
    double seconds = 0;
    for (auto _ : state)
        if (!RunCurl(url, seconds)) state.SkipWithError("the curl program failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBody));
}
BENCHMARK(BM_CurlToDevNull)->Unit(benchmark::kMillisecond)->UseRealTime();

// The transfer alone, as curl measures it.
void BM_CurlTransferToDevNull(benchmark::State& state)
{
    const std::string url = Server().url("/body");
    for (auto _ : state) {
        double seconds = 0;
        if (!RunCurl(url, seconds)) state.SkipWithError("the curl program failed");
        state.SetIterationTime(seconds);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBody));
}
BENCHMARK(BM_CurlTransferToDevNull)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_GetHttpFile(benchmark::State& state)
{
    const std::string url = Server().url("/body");
    for (auto _ : state) {
        std::string content;
        if (!vantrel::GetHttpFile(content, url).empty() || content.size() != kBody) state.SkipWithError("download failed");
        benchmark::DoNotOptimize(content.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBody));
}
BENCHMARK(BM_GetHttpFile)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
