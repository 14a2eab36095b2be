#include "uDyxSubs.h"

#include "win32/http.h"

namespace vantrel {

std::string GetHttpFile(std::string& Content, const std::string& URL)
{
    try {
        // Content may be the very string that holds the address.
        const std::string url = URL;
        Content.clear();
        std::string body;
        std::string error = win32::HttpGet(url, body);
        if (error.empty()) Content = std::move(body);
        return error;
    } catch (...) {
        Content.clear();
        return "Out of memory";
    }
}

} // namespace vantrel
