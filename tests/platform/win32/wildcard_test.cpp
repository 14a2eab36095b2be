#include "win32/wildcard.h"

#include <gtest/gtest.h>

using win32::detail::MatchWildcard;

TEST(Wildcard, StarAndQuestionMark)
{
    EXPECT_TRUE(MatchWildcard("*", "anything.txt"));
    EXPECT_TRUE(MatchWildcard("*.lang", "german.lang"));
    EXPECT_FALSE(MatchWildcard("*.lang", "german.lang.bak"));
    EXPECT_TRUE(MatchWildcard("a*b*c", "aXXbYYbc"));
    EXPECT_FALSE(MatchWildcard("a*b*c", "aXXbYYbd"));
    EXPECT_TRUE(MatchWildcard("?.txt", "a.txt"));
    EXPECT_FALSE(MatchWildcard("?.txt", "ab.txt"));
    EXPECT_FALSE(MatchWildcard("?.txt", "abc.txt"));
    EXPECT_TRUE(MatchWildcard("file", "file"));
    EXPECT_FALSE(MatchWildcard("file", "file2"));
    EXPECT_FALSE(MatchWildcard("", "x"));
}

TEST(Wildcard, QuestionMarkMatchesNothingAtAFullStopOrTheEnd)
{
    EXPECT_TRUE(MatchWildcard("??.txt", "a.txt"));
    EXPECT_TRUE(MatchWildcard("A?.TXT", "ab.txt"));
    EXPECT_FALSE(MatchWildcard("a?.txt", "abc.txt"));
    EXPECT_TRUE(MatchWildcard("file??", "file1"));
    EXPECT_TRUE(MatchWildcard("file??", "file"));
    EXPECT_FALSE(MatchWildcard("file??", "file123"));
    EXPECT_TRUE(MatchWildcard("*.???", "x.b"));
    EXPECT_TRUE(MatchWildcard("*?.lang", "de.lang"));
    EXPECT_FALSE(MatchWildcard("*?.lang", "de.txt"));
    // It never stands for the full stop itself.
    EXPECT_FALSE(MatchWildcard("a?b", "a.b"));
    EXPECT_TRUE(MatchWildcard("a*?b", "a.xb"));
}

TEST(Wildcard, LettersIgnoreCaseOnlyForAToZ)
{
    EXPECT_TRUE(MatchWildcard("*.LANG", "german.lang"));
    EXPECT_TRUE(MatchWildcard("ReadMe.TXT", "README.txt"));
    EXPECT_FALSE(MatchWildcard("\xE4.txt", "\xC4.txt"));
    EXPECT_FALSE(MatchWildcard("[a].txt", "{a}.txt"));
}

TEST(Wildcard, DosDotRules)
{
    EXPECT_TRUE(MatchWildcard("*.*", "noextension"));
    EXPECT_TRUE(MatchWildcard("*.*", "."));
    EXPECT_TRUE(MatchWildcard("*.*", ".."));
    EXPECT_TRUE(MatchWildcard("*.*", "a.b.c"));
    EXPECT_TRUE(MatchWildcard("readme.*", "readme"));
    EXPECT_TRUE(MatchWildcard("readme.*", "readme.md"));
    EXPECT_FALSE(MatchWildcard("readme.*", "readme2"));
    EXPECT_TRUE(MatchWildcard("*.", "noextension"));
    EXPECT_FALSE(MatchWildcard("*.", "a.txt"));
    EXPECT_TRUE(MatchWildcard("*", "."));
    EXPECT_TRUE(MatchWildcard(".", "."));
    EXPECT_FALSE(MatchWildcard("..", "."));
}
