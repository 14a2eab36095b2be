#include "classlib/FormatSettings.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using namespace vantrel;

TEST(LocaleFormatSettings, EnglishUnitedStates)
{
    const TFormatSettings s = LocaleFormatSettings("en_US.UTF-8");
    EXPECT_EQ(s.DecimalSeparator, '.');
    EXPECT_EQ(s.TimeSeparator, ':');
    EXPECT_EQ(s.DateSeparator, '/');
    EXPECT_EQ(s.ShortDateFormat, "MM/dd/yyyy");
    EXPECT_EQ(s.LongTimeFormat, "hh:nn:ss AMPM");
    EXPECT_EQ(s.ShortTimeFormat, "hh:nn AMPM");
    EXPECT_EQ(s.TimeAMString + s.TimePMString, "AMPM");
}

TEST(LocaleFormatSettings, German)
{
    const TFormatSettings s = LocaleFormatSettings("de_DE.UTF-8");
    EXPECT_EQ(s.DecimalSeparator, ',');
    EXPECT_EQ(s.TimeSeparator, ':');
    EXPECT_EQ(s.DateSeparator, '.');
    EXPECT_EQ(s.ShortDateFormat, "dd.MM.yyyy");
    EXPECT_EQ(s.LongTimeFormat, "hh:nn:ss");
}

TEST(LocaleFormatSettings, UnknownLocaleFallsBackOnC)
{
    const TFormatSettings s = LocaleFormatSettings("xx_NOWHERE.UTF-8");
    EXPECT_EQ(s.DecimalSeparator, '.');
    EXPECT_EQ(s.TimeSeparator, ':');
    EXPECT_EQ(s.ShortDateFormat, "MM/dd/yy");
}

TEST(LocaleFormatSettings, EmptyNameReadsTheEnvironment)
{
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    const TFormatSettings german = LocaleFormatSettings("");
    ::setenv("LC_ALL", "en_US.UTF-8", 1);
    const TFormatSettings english = LocaleFormatSettings("");
    ::unsetenv("LC_ALL");
    EXPECT_EQ(german.DecimalSeparator, ',');
    EXPECT_EQ(english.DecimalSeparator, '.');
}

TEST(ProcessFormatSettings, ReadersSeeWholeSettings)
{
    const TFormatSettings saved = GetFormatSettings();
    TFormatSettings a = LocaleFormatSettings("en_US.UTF-8");
    TFormatSettings b = LocaleFormatSettings("de_DE.UTF-8");
    std::vector<std::thread> threads;
    bool torn = false;
    threads.emplace_back([&] {
        for (int i = 0; i < 20000; ++i)
            SetFormatSettings(i % 2 ? a : b);
    });
    threads.emplace_back([&] {
        for (int i = 0; i < 20000; ++i) {
            const TFormatSettings s = GetFormatSettings();
            if ((s.DecimalSeparator == ',') != (s.ShortDateFormat == b.ShortDateFormat))
                torn = true;
        }
    });
    for (auto& t : threads)
        t.join();
    EXPECT_FALSE(torn);
    SetFormatSettings(saved);
}

// The child half runs in a process started under a German environment.
TEST(ProcessFormatSettings, TakenFromTheEnvironmentAtStartUp)
{
    if (const char* expected = std::getenv("VANTREL_EXPECT_DECIMAL_SEPARATOR")) {
        EXPECT_EQ(GetDecimalSeparator(), expected[0]);
        EXPECT_EQ(GetFormatSettings().ShortDateFormat, "dd.MM.yyyy");
        return;
    }
    std::error_code error;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe", error).string();
    ASSERT_FALSE(error);
    const std::string command = "LC_ALL=de_DE.UTF-8 VANTREL_EXPECT_DECIMAL_SEPARATOR=, '" + self + "'"
                                " --gtest_filter=ProcessFormatSettings.TakenFromTheEnvironmentAtStartUp"
                                " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
