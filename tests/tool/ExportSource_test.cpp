#include "MorlexFixture.h"

#include "classlib/DateUtils.h"
#include "classlib/FormatSettings.h"
#include "win32/syscalls.h"

#include <cerrno>

namespace morlex::testing {
namespace {

vantrel::TDateTime now; // what the clock reads

class ExportTest : public MorlexTest {
protected:
    void SetUp() override
    {
        MorlexTest::SetUp();
        Start();
    }
    void Export(const std::string& name) { frmMain->ExportLanguageToSource(frmMain->LanguageDir + name); }
};

std::string UnitText(const std::string& base, const std::string& date, const std::vector<std::string>& messages)
{
    const std::string list = "lstLang_" + base;
    std::string text = "// Language souce file for Vantrel. Created by Vantrel Tools\r\n// Date created: " + date +
                       "\r\n\r\nunit uLanguage" + base + ";\r\n\r\ninterface\r\n\r\nuses\r\n  Classes;\r\n\r\nvar\r\n  " +
                       list + " : TStringList;\r\n\r\nimplementation\r\n\r\ninitialization\r\n\r\n  " + list +
                       " := TStringList.Create;\r\n\r\n // Here is messages for local language.\r\n\r\n";
    for (const std::string& message : messages) text += "  " + list + ".Add('" + message + "');\r\n";
    return text + "\r\n\r\nfinalization\r\n\r\n  " + list + ".Free;\r\n\r\n\r\nend.\r\n";
}

TEST_F(ExportTest, WritesTheUnitBesideTheLanguageFileDatedInTheLocalesFormats)
{
    const vantrel::TDateTime day = vantrel::EncodeDate(2024, 3, 5);
    const struct {
        const char* file;
        std::string base;
        vantrel::TDateTime now;
        const char* date;
        std::vector<std::pair<int, std::string>> messages;
        std::vector<std::string> lines;
    } cases[] = {
        {"de.lang", "de", day + vantrel::EncodeTime(14, 7, 9, 0), "03/05/2024 2.07.09 PM",
         {{499, "Letzte"}, {7, "Sieben"}, {3, "   "}, {4, "  gepolstert  "}, {5, "can't"}, {500, "x"}, {6, "a\x1a" "b"}},
         {"[0004] gepolstert", "[0005] can''t", "[0006] a'#26'b", "[0007] Sieben", "[0499] Letzte"}},
        {"my.de.lang", "my.de", day + vantrel::EncodeTime(0, 30, 0, 0), "03/05/2024 12.30.00 AM", {{0, "'quoted'"}},
         {"[0000] ''quoted''"}},
        {"empty.lang", "empty", day + vantrel::EncodeTime(0, 0, 0, 400), "03/05/2024", {}, {}},
    };
    const vantrel::TFormatSettings saved = vantrel::GetFormatSettings();
    vantrel::TFormatSettings settings = saved;
    settings.ShortDateFormat = "MM/dd/yyyy";
    settings.LongTimeFormat = "h:mm:ss AMPM";
    settings.TimeSeparator = '.';
    vantrel::SetFormatSettings(settings);
    const vantrel::detail::NowSource clock = vantrel::detail::SetNowSource([] { return now; });
    for (const auto& c : cases) {
        boxes_.clear();
        now = c.now;
        AddLanguageFile(c.file, c.messages);
        Export(c.file);
        const std::string unit = "uLanguage" + c.base + ".pas";
        EXPECT_EQ(ReadBytes(LanguageHostDir() / unit), UnitText(c.base, c.date, c.lines));
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].text + "|" + boxes_[0].caption + "|" + std::to_string(boxes_[0].flags),
                  frmMain->LanguageDir + unit + "|Morlex|64");
    }
    vantrel::detail::SetNowSource(clock);
    vantrel::SetFormatSettings(saved);
}

TEST_F(ExportTest, AsksBeforeReplacingNeedsASourceAndNeverLeavesAHalfUnit)
{
    const std::string ask = "Target file already |", unitPath = (frmMain->LanguageDir + "uLanguagede.pas").substr(0, 20);
    const struct {
        const char* source;
        int answer;
        bool failWrite;
        std::string boxes; // how the texts of the boxes shown begin (20 characters)
        bool replaced;
        bool linked = false; // the unit's name a link to a missing file outside the folder
    } cases[] = {
        {"gone.lang", 0, false, "Source file not exis|", false},
        {"", 0, false, "Source file not exis|", false},
        {"De.lang", 0, false, "Source file not exis|", false},
        {"de.lang", win32::IDNO, false, ask, false},
        {"de.lang", win32::IDYES, true, ask + "Cannot create file \"|", false},
        {"de.lang", win32::IDYES, false, ask + unitPath + "|", true},
        {"de.lang", win32::IDNO, false, ask, false, true},
        {"de.lang", win32::IDYES, false, ask + unitPath + "|", true, true},
    };
    AddLanguageFile("de.lang", {{0, "Gut"}});
    const fs::path unit = LanguageHostDir() / "uLanguagede.pas", outside = root_ / "outside.pas";
    for (const auto& c : cases) {
        fs::remove(unit);
        if (c.linked) fs::create_symlink(outside, unit);
        else WriteBytes(unit, "old unit");
        boxes_.clear();
        boxAnswers_ = {c.answer};
        win32::detail::ScopedSysCalls calls;
        if (c.failWrite) calls.table().rename = [](const char*, const char*) { return errno = ENOSPC, -1; };
        ui::Protect([&] { Export(c.source); }); // as the menu entry's handler is
        std::string shown;
        for (const auto& box : boxes_) shown += (box.caption == "Morlex" ? box.text.substr(0, 20) : "?") + "|";
        EXPECT_EQ(shown, c.boxes);
        EXPECT_EQ(ReadBytes(unit) != (c.linked ? "" : "old unit"), c.replaced);
        EXPECT_EQ(fs::is_symlink(unit), c.linked && !c.replaced);
        EXPECT_FALSE(fs::exists(outside));
        EXPECT_EQ(std::distance(fs::directory_iterator(LanguageHostDir()), fs::directory_iterator()), 2);
    }
}

TEST_F(ExportTest, FreePascalCompilesTheUnitAndItsListHoldsTheFilesMessages)
{
    if (std::system("command -v fpc >/dev/null") != 0)
        GTEST_SKIP() << "Free Pascal (fpc) is not installed and scripts/setup.sh could not install Debian's "
                        "fp-compiler: the exported unit is not compiled";
    AddLanguageFile("de.lang", {{0, "Gut"}, {7, "can't 'quoted'"}, {12, "blanks   "},
                                {13, "Ctrl-Z\x1a, twice\x1a\x1a'quoted'\x1a."}, {300, std::string(400, 'x')},
                                {499, "Ende; (* no comment *) { nor this }"}});
    Export("de.lang");
    const std::string work = root_.string();
    WriteBytes(root_ / "p.pas", "program p; uses Classes, uLanguagede; var i: Integer;\nbegin\n"
                                "  for i := 0 to lstLang_de.Count - 1 do WriteLn(lstLang_de[i]);\nend.\n");
    const std::string run = "cd '" + work + "' && fpc -Mdelphi -Fu'" + LanguageHostDir().string() + "' -FU'" + work +
                            "' p.pas > fpc.log 2>&1 && ./p > out.txt";
    ASSERT_EQ(std::system(run.c_str()), 0) << ReadBytes(root_ / "fpc.log");
    std::istringstream file(ReadBytes(LanguageHostDir() / "de.lang"));
    std::string expected;
    for (std::string line; std::getline(file, line);)
        if (line.starts_with("[")) expected += line.erase(line.find_last_not_of(" \r") + 1) + "\n";
    EXPECT_EQ(ReadBytes(root_ / "out.txt"), expected);
}

} // namespace
} // namespace morlex::testing
