// A throw-away Windows environment for a test.
//
//   vantrel_test::TempPrefix env;          // everything below happens here
//   env.writeFile("C:\\x\\a.txt", "data");  // creates C:\x and the file
//   EXPECT_TRUE(vantrel::MyDeleteFile("C:\\x\\a.txt"));
//   EXPECT_FALSE(env.exists("C:\\x\\a.txt"));
//
// On construction it makes a temporary folder, points $VANTREL_PREFIX at a
// prefix inside it (so the registry and every drive link are private to the
// test), maps drive C: to the prefix's drive_c (which holds C:\windows\system32)
// and drive D: to a second temporary folder, and makes C:\ the current
// directory. On destruction it restores $VANTREL_PREFIX, the current
// directory and the program path, and removes the whole folder.
// One TempPrefix at a time per process; not for use from several threads.
#pragma once

#include <string>
#include <string_view>

namespace vantrel_test {

class TempPrefix {
public:
    TempPrefix();
    ~TempPrefix();
    TempPrefix(const TempPrefix&) = delete;
    TempPrefix& operator=(const TempPrefix&) = delete;

    /// The temporary folder that holds everything (host path).
    const std::string& root() const { return root_; }
    /// The prefix folder ($VANTREL_PREFIX while this object lives).
    const std::string& prefix() const { return prefix_; }

    /// Host path of a Windows path on C: or D: ("C:\x\y" -> <root>/prefix/drive_c/x/y),
    /// formed by text without looking at the disk; '/' works as well as '\'.
    /// Other paths go through the layer's resolver.
    std::string hostPath(const std::string& windowsPath) const;

    /// Maps a drive letter to a host folder (creates the folder and the link).
    void mapDrive(char letter, const std::string& hostDir) const;
    /// Removes a drive letter's link.
    void unmapDrive(char letter) const;

    /// Makes GetModuleFileNameA report windowsPath (and GetHomeDir its folder)
    /// until destruction; the folder is created.
    void setModulePath(const std::string& windowsPath);

    /// Creates a file (and its missing folders) with the given bytes.
    void writeFile(const std::string& windowsPath, std::string_view data) const;
    /// The bytes of a file; empty when it cannot be read.
    std::string readFile(const std::string& windowsPath) const;
    /// Creates a folder and its missing parents.
    void makeDir(const std::string& windowsPath) const;
    /// True when the file or folder exists (no case folding: exactly as written).
    bool exists(const std::string& windowsPath) const;

private:
    std::string root_;
    std::string prefix_;
    std::string savedCwd_;
    std::string savedPrefix_;
    bool hadPrefix_ = false;
};

} // namespace vantrel_test
