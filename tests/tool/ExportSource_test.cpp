#include "MorlexFixture.h"

#include "classlib/DateUtils.h"
#include "classlib/Exceptions.h"
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
        savedSettings_ = vantrel::GetFormatSettings();
        vantrel::TFormatSettings settings = savedSettings_;
        settings.ShortDateFormat = "dd.MM.yyyy";
        settings.LongTimeFormat = "hh:nn:ss";
        settings.TimeSeparator = ':';
        vantrel::SetFormatSettings(settings);
        savedNow_ = vantrel::detail::SetNowSource(&FixedNow);
    }
    void TearDown() override
    {
        vantrel::detail::SetNowSource(savedNow_);
        vantrel::SetFormatSettings(savedSettings_);
        MorlexTest::TearDown();
    }
    void Export(const std::string& name) { frmMain->ExportLanguageToSource(frmMain->LanguageDir + name); }

    vantrel::TFormatSettings savedSettings_;
    vantrel::detail::NowSource savedNow_ = nullptr;
};

std::string UnitText(const std::string& base, const std::vector<std::string>& messages)
{
    const std::string list = "lstLang_" + base;
    std::string text = "// Language souce file for Vantrel. Created by Vantrel Tools\r\n"
                       "// Date created: 05.03.2024 14:07:09\r\n\r\n"
                       "unit uLanguage" + base + ";\r\n\r\ninterface\r\n\r\nuses\r\n  Classes;\r\n\r\nvar\r\n"
                       "  " + list + " : TStringList;\r\n\r\nimplementation\r\n\r\ninitialization\r\n\r\n"
                       "  " + list + " := TStringList.Create;\r\n\r\n"
                       " // Here is messages for local language.\r\n\r\n";
    for (const std::string& message : messages) text += "  " + list + ".Add('" + message + "');\r\n";
    return text + "\r\n\r\nfinalization\r\n\r\n  " + list + ".Free;\r\n\r\n\r\nend.\r\n";
}

TEST_F(ExportTest, WritesTheUnitBesideTheLanguageFile)
{
    struct Case {
        const char* file;
        const char* base;
        std::vector<std::pair<int, std::string>> messages;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"de.lang",
         "de",
         {{499, "Letzte"}, {7, "Sieben"}, {3, "   "}, {4, "  gepolstert  "}, {5, "can't"}, {500, "over"}},
         {"[0004] gepolstert", "[0005] can''t", "[0007] Sieben", "[0499] Letzte"}},
        {"my.de.lang", "my.de", {{0, "'quoted'"}}, {"[0000] ''quoted''"}},
        {"empty.lang", "empty", {}, {}},
    };
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        boxes_.clear();
        AddLanguageFile(c.file, c.messages);
        Export(c.file);
        const fs::path unit = LanguageHostDir() / ("uLanguage" + std::string(c.base) + ".pas");
        EXPECT_EQ(ReadBytes(unit), UnitText(c.base, c.lines));
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].text, frmMain->LanguageDir + "uLanguage" + c.base + ".pas");
        EXPECT_EQ(boxes_[0].caption, "Morlex");
        EXPECT_EQ(boxes_[0].flags, win32::MB_ICONINFORMATION);
    }
}

TEST_F(ExportTest, AsksBeforeReplacingAndNeedsAnExistingSource)
{
    struct Case {
        const char* name;
        const char* source;
        int answer;
        std::vector<std::string> questions; // the texts of the boxes shown
        bool replaced;
    };
    const Case cases[] = {
        {"no source", "gone.lang", 0, {"Source file not exists."}, false},
        {"no file chosen", "", 0, {"Source file not exists."}, false},
        {"overwrite answered No", "de.lang", win32::IDNO, {"Target file already exists. overwrite?"}, false},
        {"overwrite answered Yes", "de.lang", win32::IDYES, {"Target file already exists. overwrite?", ""}, true},
    };
    AddLanguageFile("de.lang", {{0, "Gut"}});
    Start();
    const fs::path unit = LanguageHostDir() / "uLanguagede.pas";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(unit, "old unit");
        boxes_.clear();
        boxAnswers_ = {c.answer};
        Export(c.source);
        ASSERT_EQ(boxes_.size(), c.questions.size());
        EXPECT_EQ(boxes_[0].text, c.questions[0]);
        EXPECT_EQ(boxes_[0].caption, "Morlex");
        EXPECT_EQ(boxes_[0].flags, c.answer ? 36u : win32::MB_ICONINFORMATION);
        EXPECT_EQ(ReadBytes(unit) != "old unit", c.replaced);
    }
}

TEST_F(ExportTest, FailedWriteLeavesTheOldUnitWhole)
{
    AddLanguageFile("de.lang", {{0, "Gut"}});
    WriteBytes(programDir_ / "MainForm.dfm", "object");
    Start();
    const fs::path unit = LanguageHostDir() / "uLanguagede.pas";
    WriteBytes(unit, "old unit");
    boxAnswers_ = {win32::IDYES};
    win32::detail::ScopedSysCalls calls;
    calls.table().rename = [](const char* from, const char* to) {
        if (std::string(to).ends_with(".pas")) {
            errno = ENOSPC;
            return -1;
        }
        return win32::detail::RealSysCalls().rename(from, to);
    };
    frmMain->mnuLangPopupExport->trigger();
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[1].caption, "Morlex");
    EXPECT_EQ(boxes_[1].flags & win32::MB_ICONMASK, win32::MB_ICONERROR);
    EXPECT_NE(boxes_[1].text.find("uLanguagede.pas"), std::string::npos);
    EXPECT_EQ(ReadBytes(unit), "old unit");
    EXPECT_EQ(std::distance(fs::directory_iterator(LanguageHostDir()), fs::directory_iterator()), 2);
}

std::string RunCommand(const std::string& command)
{
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    pclose(pipe);
    return out;
}

std::vector<std::string> MessageLinesTrimmed(const std::string& file)
{
    std::vector<std::string> lines;
    std::istringstream in(file);
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && static_cast<unsigned char>(line.back()) <= 32) line.pop_back();
        if (line.starts_with("[")) lines.push_back(line);
    }
    return lines;
}

TEST_F(ExportTest, FreePascalCompilesTheUnitAndItsListHoldsTheFilesMessages)
{
    if (RunCommand("command -v fpc").empty())
        GTEST_SKIP() << "Free Pascal (fpc) is not installed and could not be installed by scripts/setup.sh "
                        "(Debian package fp-compiler): the exported unit is not compiled";
    Start();
    vantrel::TMultiLang catalog;
    catalog.SetMsgItem(0, "Gut");
    catalog.SetMsgItem(7, "can't won't 'quoted'");
    catalog.SetMsgItem(12, "trailing blanks   ");
    catalog.SetMsgItem(300, std::string(400, 'x') + " end");
    catalog.SetMsgItem(499, "Ende; (* not a comment *) { nor this }");
    catalog.SaveToFile(frmMain->LanguageDir + "de.lang");
    Export("de.lang");

    const fs::path work = root_ / "fpc";
    fs::create_directories(work);
    WriteBytes(work / "printlang.pas", "program printlang;\n"
                                       "uses Classes, uLanguagede;\n"
                                       "var i: Integer;\n"
                                       "begin\n"
                                       "  for i := 0 to lstLang_de.Count - 1 do WriteLn(lstLang_de[i]);\n"
                                       "end.\n");
    const std::string build = "cd '" + work.string() + "' && fpc -Mdelphi -Fu'" + LanguageHostDir().string() +
                              "' -FU'" + work.string() + "' printlang.pas 2>&1";
    const std::string log = RunCommand(build);
    ASSERT_TRUE(fs::exists(work / "printlang")) << log;
    const std::string printed = RunCommand("'" + (work / "printlang").string() + "'");
    const std::vector<std::string> expected = MessageLinesTrimmed(ReadBytes(LanguageHostDir() / "de.lang"));
    EXPECT_EQ(MessageLinesTrimmed(printed), expected);
    EXPECT_EQ(expected.size(), 5u);
}

} // namespace
} // namespace morlex::testing
