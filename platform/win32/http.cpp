#include "win32/http.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string_view>

namespace win32 {
namespace {

constexpr const char* kSchemes = "http,https";
constexpr long kMaxRedirects = 10;
constexpr long kConnectSeconds = 30;
// Under 1 byte/s for this long is a stalled transfer.
constexpr long kStallSeconds = 60;
// A body's announced length is trusted this far when making room for it.
constexpr curl_off_t kMostReserved = curl_off_t{256} << 20;

// libcurl's process-wide set-up is not safe to run twice at once.
CURLcode InitialiseCurl()
{
    static std::once_flag once;
    static CURLcode result = CURLE_FAILED_INIT;
    std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    return result;
}

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;

struct Transfer {
    CURL* curl = nullptr;
    std::string* body = nullptr;
    std::string statusLine;
    bool started = false;
    bool errorStatus = false;
    bool outOfMemory = false;
};

long ResponseCode(CURL* curl)
{
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    return code;
}

// Each response (a redirect's too) begins with its status line.
size_t OnHeader(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    std::string_view line(data, size * count);
    if (line.substr(0, 5) != "HTTP/") return size * count;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    try {
        t->statusLine.assign(line);
    } catch (...) {
        t->outOfMemory = true;
        return 0;
    }
    return size * count;
}

void ReserveAnnounced(Transfer& t)
{
    curl_off_t length = -1;
    curl_easy_getinfo(t.curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (length > 0) t.body->reserve(static_cast<size_t>(std::min(length, kMostReserved)));
}

size_t OnBody(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    try {
        if (!t->started) {
            t->started = true;
            // An error page is not wanted: stop before reading it.
            if (ResponseCode(t->curl) >= 400) {
                t->errorStatus = true;
                return 0;
            }
            ReserveAnnounced(*t);
        }
        t->body->append(data, size * count);
    } catch (...) {
        t->outOfMemory = true;
        return 0;
    }
    return size * count;
}

void Configure(CURL* curl, const std::string& url, Transfer& t, char* errors)
{
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, kSchemes);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, kSchemes);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    // Signals would reach the host's threads.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Vantrel");
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errors);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
}

std::string ErrorText(CURLcode code, const Transfer& t, const char* errors)
{
    if (t.outOfMemory) return curl_easy_strerror(CURLE_OUT_OF_MEMORY);
    // Once an error status has come, what went wrong with its page is no news.
    if (t.errorStatus || ResponseCode(t.curl) >= 400)
        return t.statusLine.empty() ? "HTTP status " + std::to_string(ResponseCode(t.curl)) : t.statusLine;
    if (code == CURLE_OK) return {};
    return errors[0] ? std::string(errors) : std::string(curl_easy_strerror(code));
}

std::string Get(const std::string& url, std::string& body)
{
    // libcurl would read only up to a NUL and fetch another address.
    if (url.find('\0') != std::string::npos) return curl_easy_strerror(CURLE_URL_MALFORMAT);
    const CURLcode init = InitialiseCurl();
    if (init != CURLE_OK) return curl_easy_strerror(init);
    const CurlHandle curl(curl_easy_init());
    if (!curl) return curl_easy_strerror(CURLE_FAILED_INIT);
    char errors[CURL_ERROR_SIZE] = {};
    Transfer t;
    t.curl = curl.get();
    t.body = &body;
    Configure(curl.get(), url, t, errors);
    const CURLcode code = curl_easy_perform(curl.get());
    return ErrorText(code, t, errors);
}

} // namespace

std::string HttpGet(const std::string& url, std::string& body)
{
    body.clear();
    try {
        std::string error = Get(url, body);
        if (!error.empty()) std::string().swap(body);
        return error;
    } catch (...) {
        std::string().swap(body);
        return curl_easy_strerror(CURLE_OUT_OF_MEMORY);
    }
}

} // namespace win32
