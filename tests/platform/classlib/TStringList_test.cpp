#include "classlib/TStringList.h"

#include "classlib/Exceptions.h"
#include "support/HeldOpen.h"
#include "support/TempPrefix.h"
#include "win32/syscalls.h"

#include <gtest/gtest.h>

using namespace vantrel;
using namespace std::string_literals;

namespace {

std::vector<std::string> LinesOf(const TStringList& list)
{
    std::vector<std::string> lines;
    for (int32_t i = 0; i < list.Count(); ++i) lines.push_back(list[i]);
    return lines;
}

std::vector<std::string> Split(const std::string& text)
{
    TStringList list;
    list.SetText(text);
    return LinesOf(list);
}

using Lines = std::vector<std::string>;

} // namespace

TEST(TStringListText, SplitsAtEveryKindOfLineEnd)
{
    EXPECT_EQ(Split(""), Lines{});
    EXPECT_EQ(Split("a"), Lines{"a"});
    EXPECT_EQ(Split("a\r\nb\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(Split("a\nb\rc"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(Split("a\n\rb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(Split("\r\r\n\n"), (Lines{"", "", ""}));
    EXPECT_EQ(Split("a\0b\nc"s), Lines{"a"});
    EXPECT_EQ(Split("\0a"s), Lines{});
}

TEST(TStringListText, TextEndsEveryLineWithCrLf)
{
    TStringList list;
    EXPECT_EQ(list.Text(), "");
    list.Add("a");
    list.Add("");
    EXPECT_EQ(list.Text(), "a\r\n\r\n");
    EXPECT_THROW(list[list.Count()], EStringListError);
}

TEST(TStringListSorted, TextIsAddedLineByLineApplyingDuplicates)
{
    TStringList list;
    list.SetSorted(true);
    list.SetText("b\r\na\nB\rc\r\na");
    EXPECT_EQ(LinesOf(list), (Lines{"a", "b", "c"}));
    EXPECT_EQ(list.Add("C"), 2); // an ignored duplicate gives the index of the line there
    list.SetDuplicates(TDuplicates::dupAccept);
    list.SetText("b\na\nb");
    EXPECT_EQ(LinesOf(list), (Lines{"a", "b", "b"}));
}

TEST(TStringListFile, SavesAndLoadsThroughTheLayer)
{
    vantrel_test::TempPrefix env;
    TStringList list;
    list.Add("one");
    list.Add("two");
    list.SaveToFile("C:\\list.txt");
    EXPECT_EQ(env.readFile("C:\\list.txt"), "one\r\ntwo\r\n");

    env.writeFile("C:\\mixed.txt", "a\rb\nc\0d"s);
    TStringList loaded;
    loaded.LoadFromFile("c:\\MIXED.TXT");
    EXPECT_EQ(LinesOf(loaded), (Lines{"a", "b", "c"}));
}

TEST(TStringListFile, OpenAndCreateFailuresRaise)
{
    vantrel_test::TempPrefix env;
    TStringList list;
    try {
        list.LoadFromFile("C:\\missing.txt");
        ADD_FAILURE() << "no exception";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file \"C:\\missing.txt\". The system cannot find the file specified.");
    }
    EXPECT_THROW(list.SaveToFile("C:\\no\\such\\folder.txt"), EFCreateError);
    {
        win32::detail::ScopedSysCalls seam; // each write takes half of what it is given, the last none
        seam.table().write = [](int, const void*, size_t n) { return static_cast<ssize_t>(n / 2); };
        list.Add("x");
        EXPECT_THROW(list.SaveToFile("C:\\short.txt"), EWriteError);
    }

    env.writeFile("C:\\held.txt", "x");
    vantrel_test::HeldOpen held("C:\\held.txt", 0);
    ASSERT_TRUE(held.ok());
    EXPECT_THROW(list.LoadFromFile("C:\\held.txt"), EFOpenError);
}

// A line of the list itself, handed back to every call that changes the list.
TEST(TStringListAliasing, ALineOfTheListItselfIsReadBeforeTheListChanges)
{
    TStringList list;
    const std::string longLine(100, 'x'); // past the short-string buffer: clearing frees it
    list.SetText("first\n" + longLine);
    for (int i = 0; i < 40; ++i) list.Add(list[0]); // growing moves the lines
    list.Insert(0, list[1]);
    list.Put(2, list[2]);
    EXPECT_EQ(LinesOf(list)[42], "first");
    list.SetText(list[0]);
    EXPECT_EQ(LinesOf(list), (Lines{longLine}));
}
