// HTTP GET: the stand-in for the internet component library's client, on
// libcurl.
#pragma once

#include <string>

namespace win32 {

/// One GET of url into body (whose old bytes are replaced), kept as bytes.
/// - Only http and https: any other scheme is refused before anything is
///   read; redirects are followed, at most 10, and only to http or https.
/// - Connecting may take 30 s; a transfer slower than 1 byte/s for 60 s is
///   aborted. The body has no size limit beyond memory.
/// - Proxies come from the environment, as for every libcurl program.
/// Returns '' on success, otherwise the error's text, and body is left
/// empty: a status of 400 or more gives its status line ("HTTP/1.1 404 Not
/// Found"), other failures libcurl's description. Throws nothing.
std::string HttpGet(const std::string& url, std::string& body);

} // namespace win32
