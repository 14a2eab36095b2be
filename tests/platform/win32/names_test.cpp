#include "support/TempPrefix.h"
#include "win32/names.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace win32;

namespace {

TEST(NamesTest, ExactNamesAndLinksAsThemselves)
{
    vantrel_test::TempPrefix env;
    env.writeFile("C:\\Dir\\DE.lang", "upper");
    env.writeFile("C:\\Dir\\ x.lang", "blank");
    env.makeDir("C:\\Dir\\folder.lang");
    fs::create_symlink(env.root() + "/nowhere", env.hostPath("C:\\Dir\\dangling.lang"));
    fs::create_symlink(env.hostPath("C:\\Dir\\DE.lang"), env.hostPath("C:\\Dir\\toFile.lang"));
    ASSERT_EQ(mkfifo(env.hostPath("C:\\Dir\\fifo.lang").c_str(), 0600), 0);
    const struct {
        const char* name;
        bool exactly, fileOrLink;
    } cases[] = {
        {"C:\\Dir\\DE.lang", true, true},       {"C:\\dir\\DE.lang", true, true},
        {"C:\\Dir\\de.lang", false, true},      {"C:\\Dir\\DE.lang.", false, true},
        {"C:\\Dir\\ x.lang", true, true},       {"C:\\Dir\\x.lang", false, false},
        {"C:\\Dir\\folder.lang", false, false}, {"C:\\Dir\\dangling.lang", false, true},
        {"C:\\Dir\\DANGLING.lang", false, true}, {"C:\\Dir\\toFile.lang", true, true},
        {"C:\\Dir\\fifo.lang", false, false},   {"C:\\Dir\\", false, false},
        {"C:\\Dir\\a|b.lang", false, false},    {"Q:\\DE.lang", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileExistsExactly(c.name), c.exactly) << c.name;
        EXPECT_EQ(FileOrLinkExists(c.name), c.fileOrLink) << c.name;
    }
}

} // namespace
