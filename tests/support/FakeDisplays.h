// Stand-ins for displays in tests: unix sockets that listen or are stale,
// environment variables set for a test's duration, a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace vantrel_test {

// A unix socket at path: listening while the object lives, or stale (its
// file left behind with nobody listening).
class UnixSocket {
public:
    UnixSocket(const std::string& path, bool listening) : path_(path)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << path;
        if (listening) {
            EXPECT_EQ(::listen(fd_, 4), 0);
        } else {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~UnixSocket()
    {
        if (fd_ >= 0) ::close(fd_);
        ::unlink(path_.c_str());
    }

private:
    std::string path_;
    int fd_ = -1;
};

// Sets environment variables for the test's duration (nullptr unsets).
class ScopedEnv {
public:
    void Set(const char* name, const char* value)
    {
        if (!saved_.count(name)) {
            const char* old = std::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv()
    {
        for (const auto& [name, value] : saved_) value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/probe-test-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

/// A display number N whose local X socket (/tmp/.X11-unix/XN) does not
/// exist and whose TCP port (6000 + N on 127.0.0.1) nobody listens on.
inline int UnusedDisplayNumber()
{
    for (int n = 4700; n < 4800; ++n) {
        if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) continue;
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(6000 + n));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool listened = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        if (!listened) return n;
    }
    return -1;
}

} // namespace vantrel_test
