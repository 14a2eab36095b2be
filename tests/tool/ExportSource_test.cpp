#include "MorlexFixture.h"

#include "classlib/DateUtils.h"
#include "classlib/FormatSettings.h"
#include "win32/syscalls.h"

#include <QAction>

#include <cerrno>
#include <cstdio>

namespace morlex::testing {
namespace {

vantrel::TDateTime FixedNow()
{
    return vantrel::EncodeDate(2024, 3, 5) + vantrel::EncodeTime(14, 7, 9, 0);
}

class ExportTest : public MorlexTest {
protected:
    void SetUp() override
    {
        MorlexTest::SetUp();
        vantrel::TFormatSettings settings = saved_;
        settings.ShortDateFormat = "dd.MM.yyyy";
        settings.LongTimeFormat = "hh:nn:ss";
        vantrel::SetFormatSettings(settings);
        vantrel::detail::SetNowSource(&FixedNow);
        Start();
    }
    void TearDown() override
    {
        vantrel::detail::SetNowSource(nullptr);
        vantrel::SetFormatSettings(saved_);
        MorlexTest::TearDown();
    }
    void Export(const std::string& name) { frmMain->ExportLanguageToSource(frmMain->LanguageDir + name); }

    const vantrel::TFormatSettings saved_ = vantrel::GetFormatSettings();
};

std::string UnitText(const std::string& base, const std::vector<std::string>& messages)
{
    const std::string list = "lstLang_" + base;
    std::string text = "// Language souce file for Vantrel. Created by Vantrel Tools\r\n// Date created: 05.03.2024 "
                       "14:07:09\r\n\r\nunit uLanguage" + base + ";\r\n\r\ninterface\r\n\r\nuses\r\n  Classes;\r\n\r\n"
                       "var\r\n  " + list + " : TStringList;\r\n\r\nimplementation\r\n\r\ninitialization\r\n\r\n  " +
                       list + " := TStringList.Create;\r\n\r\n // Here is messages for local language.\r\n\r\n";
    for (const std::string& message : messages) text += "  " + list + ".Add('" + message + "');\r\n";
    return text + "\r\n\r\nfinalization\r\n\r\n  " + list + ".Free;\r\n\r\n\r\nend.\r\n";
}

TEST_F(ExportTest, WritesTheUnitBesideTheLanguageFile)
{
    const struct {
        const char* file;
        std::string base;
        std::vector<std::pair<int, std::string>> messages;
        std::vector<std::string> lines;
    } cases[] = {
        {"de.lang", "de", {{499, "Letzte"}, {7, "Sieben"}, {3, "   "}, {4, "  gepolstert  "}, {5, "can't"}, {500, "x"}},
         {"[0004] gepolstert", "[0005] can''t", "[0007] Sieben", "[0499] Letzte"}},
        {"my.de.lang", "my.de", {{0, "'quoted'"}}, {"[0000] ''quoted''"}},
        {"empty.lang", "empty", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        boxes_.clear();
        AddLanguageFile(c.file, c.messages);
        Export(c.file);
        EXPECT_EQ(ReadBytes(LanguageHostDir() / ("uLanguage" + c.base + ".pas")), UnitText(c.base, c.lines));
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].text + "|" + boxes_[0].caption, frmMain->LanguageDir + "uLanguage" + c.base + ".pas|Morlex");
        EXPECT_EQ(boxes_[0].flags, win32::MB_ICONINFORMATION);
    }
}

TEST_F(ExportTest, AsksBeforeReplacingNeedsASourceAndNeverLeavesAHalfUnit)
{
    const std::string unitPath = frmMain->LanguageDir + "uLanguagede.pas", ask = "Target file already exists. overwrite?";
    const struct {
        const char* source;
        int answer;
        bool failWrite;
        std::vector<std::string> boxes; // how the texts of the boxes shown begin
        bool replaced;
    } cases[] = {
        {"gone.lang", 0, false, {"Source file not exists."}, false},
        {"", 0, false, {"Source file not exists."}, false},
        {"de.lang", win32::IDNO, false, {ask}, false},
        {"de.lang", win32::IDYES, true, {ask, "Cannot create file \"" + unitPath + "\"."}, false},
        {"de.lang", win32::IDYES, false, {ask, unitPath}, true},
    };
    AddLanguageFile("de.lang", {{0, "Gut"}});
    const fs::path unit = LanguageHostDir() / "uLanguagede.pas";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.boxes.back());
        WriteBytes(unit, "old unit");
        boxes_.clear();
        boxAnswers_ = {c.answer};
        win32::detail::ScopedSysCalls calls;
        if (c.failWrite) calls.table().rename = [](const char*, const char*) { return errno = ENOSPC, -1; };
        ui::Protect([&] { Export(c.source); }); // as the menu entry's handler is
        ASSERT_EQ(boxes_.size(), c.boxes.size());
        for (size_t i = 0; i < boxes_.size(); ++i) {
            EXPECT_TRUE(boxes_[i].text.starts_with(c.boxes[i])) << boxes_[i].text;
            EXPECT_EQ(boxes_[i].caption, "Morlex");
        }
        EXPECT_EQ(ReadBytes(unit) != "old unit", c.replaced);
        EXPECT_EQ(std::distance(fs::directory_iterator(LanguageHostDir()), fs::directory_iterator()), 2);
    }
}

std::string Shell(const std::string& command)
{
    std::string out;
    char buffer[4096];
    FILE* pipe = popen(command.c_str(), "r");
    while (size_t n = pipe ? fread(buffer, 1, sizeof buffer, pipe) : 0) out.append(buffer, n);
    if (pipe) pclose(pipe);
    return out;
}

std::vector<std::string> MessageLinesTrimmed(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && static_cast<unsigned char>(line.back()) <= 32) line.pop_back();
        if (line.starts_with("[")) lines.push_back(line);
    }
    return lines;
}

TEST_F(ExportTest, FreePascalCompilesTheUnitAndItsListHoldsTheFilesMessages)
{
    if (Shell("command -v fpc").empty())
        GTEST_SKIP() << "Free Pascal (fpc) is not installed and scripts/setup.sh could not install Debian's "
                        "fp-compiler: the exported unit is not compiled";
    vantrel::TMultiLang catalog;
    for (auto [id, text] : {std::pair<int, std::string>{0, "Gut"}, {7, "can't 'quoted'"}, {12, "blanks   "},
                            {300, std::string(400, 'x')}, {499, "Ende; (* no comment *) { nor this }"}})
        catalog.SetMsgItem(id, text);
    catalog.SaveToFile(frmMain->LanguageDir + "de.lang");
    Export("de.lang");
    const std::string work = root_.string();
    WriteBytes(root_ / "printlang.pas", "program printlang; uses Classes, uLanguagede; var i: Integer;\nbegin\n"
                                        "  for i := 0 to lstLang_de.Count - 1 do WriteLn(lstLang_de[i]);\nend.\n");
    const std::string log = Shell("cd '" + work + "' && fpc -Mdelphi -Fu'" + LanguageHostDir().string() + "' -FU'" +
                                work + "' printlang.pas 2>&1");
    ASSERT_TRUE(fs::exists(root_ / "printlang")) << log;
    const std::vector<std::string> expected = MessageLinesTrimmed(ReadBytes(LanguageHostDir() / "de.lang"));
    EXPECT_EQ(expected.size(), 5u);
    EXPECT_EQ(MessageLinesTrimmed(Shell("'" + work + "/printlang'")), expected);
}

} // namespace
} // namespace morlex::testing
