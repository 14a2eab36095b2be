#include "support/TempPrefix.h"

#include "win32/paths.h"

#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace vantrel_test {
namespace {

std::string MakeTempDir()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vantrel-test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("TempPrefix: cannot create a temporary folder");
    return fs::canonical(pattern).string();
}

std::string LinkPath(const std::string& prefix, char letter)
{
    const char lower = static_cast<char>(letter >= 'A' && letter <= 'Z' ? letter - 'A' + 'a' : letter);
    return prefix + "/dosdevices/" + lower + ":";
}

} // namespace

TempPrefix::TempPrefix()
{
    root_ = MakeTempDir();
    prefix_ = root_ + "/prefix";
    if (const char* old = std::getenv("VANTREL_PREFIX")) {
        hadPrefix_ = true;
        savedPrefix_ = old;
    }
    savedCwd_ = fs::current_path().string();
    setenv("VANTREL_PREFIX", prefix_.c_str(), 1);
    win32::PrefixDir(); // creates the prefix with c: and z:
    mapDrive('D', root_ + "/d");
    fs::current_path(prefix_ + "/drive_c");
}

TempPrefix::~TempPrefix()
{
    win32::detail::OverrideModuleFileName("");
    std::error_code ec;
    fs::current_path(savedCwd_, ec);
    if (hadPrefix_)
        setenv("VANTREL_PREFIX", savedPrefix_.c_str(), 1);
    else
        unsetenv("VANTREL_PREFIX");
    fs::remove_all(root_, ec);
}

std::string TempPrefix::hostPath(const std::string& windowsPath) const
{
    const bool onCD = windowsPath.size() >= 2 && windowsPath[1] == ':' &&
                      std::string("CcDd").find(windowsPath[0]) != std::string::npos;
    if (!onCD) {
        std::string host;
        win32::ResolvePath(windowsPath, host);
        return host;
    }
    const bool isC = windowsPath[0] == 'C' || windowsPath[0] == 'c';
    std::string host = isC ? prefix_ + "/drive_c" : root_ + "/d";
    std::string rest = windowsPath.substr(2);
    for (char& c : rest) {
        if (c == '\\')
            c = '/';
    }
    if (!rest.empty() && rest[0] != '/')
        host += '/';
    return host + rest;
}

void TempPrefix::mapDrive(char letter, const std::string& hostDir) const
{
    fs::create_directories(hostDir);
    const std::string link = LinkPath(prefix_, letter);
    std::error_code ec;
    fs::remove(link, ec);
    fs::create_symlink(hostDir, link);
}

void TempPrefix::unmapDrive(char letter) const
{
    std::error_code ec;
    fs::remove(LinkPath(prefix_, letter), ec);
}

void TempPrefix::setModulePath(const std::string& windowsPath)
{
    const size_t sep = windowsPath.find_last_of("\\/");
    if (sep != std::string::npos)
        makeDir(windowsPath.substr(0, sep + 1));
    win32::detail::OverrideModuleFileName(windowsPath);
}

void TempPrefix::writeFile(const std::string& windowsPath, std::string_view data) const
{
    const fs::path host = hostPath(windowsPath);
    fs::create_directories(host.parent_path());
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!out)
        throw std::runtime_error("TempPrefix: cannot write " + host.string());
}

std::string TempPrefix::readFile(const std::string& windowsPath) const
{
    std::ifstream in(hostPath(windowsPath), std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

void TempPrefix::makeDir(const std::string& windowsPath) const
{
    fs::create_directories(hostPath(windowsPath));
}

bool TempPrefix::exists(const std::string& windowsPath) const
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(hostPath(windowsPath), ec));
}

} // namespace vantrel_test
