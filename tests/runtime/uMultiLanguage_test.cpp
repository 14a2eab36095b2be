#include "uMultiLanguage.h"

#include "classlib/Exceptions.h"
#include "support/HeldOpen.h"
#include "detail/BuiltinTables.h"
#include "uDyxSubs.h"
#include "ui/MessageBox.h"
#include "win32/files.h"
#include "win32/paths.h"
#include "win32/syscalls.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <unistd.h>

using namespace vantrel;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

const std::string kHeader =
    "*** You can translate following messages into your local langague\r\n"
    "*** Please Note: don\"t modify MessageId.\r\n"
    "*** Format:  [MessageId] Your Message Here.\r\n"
    " \r\n";

TStringList Lines(const std::string& text)
{
    TStringList list;
    list.SetText(text);
    return list;
}

// Catalog tests that need no file.
class CatalogTest : public ::testing::Test {
protected:
    TMultiLang lang;

    void Parse(const std::string& text)
    {
        const TStringList list = Lines(text);
        ASSERT_TRUE(lang.LoadLanguageFromStringList(&list));
    }
};

// File tests run in a fresh current folder and answer every message box.
class CatalogFileTest : public CatalogTest {
protected:
    fs::path oldDir;
    fs::path dir;
    std::vector<ui::MessageBoxRequest> boxes;

    void SetUp() override
    {
        oldDir = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "catalogXXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        fs::current_path(dir);
        ui::SetMessageBoxAnswerer([this](const ui::MessageBoxRequest& r) {
            boxes.push_back(r);
            return win32::IDOK;
        });
    }

    void TearDown() override
    {
        ui::SetMessageBoxAnswerer({});
        fs::current_path(oldDir);
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(dir, ec))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir, ec);
    }

    std::string Read(const std::string& name) const
    {
        std::ifstream in(dir / name, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }

    void Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }

    std::set<std::string> Entries() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
        return names;
    }

    std::string WindowsPath(const std::string& name) const { return win32::HostToWindowsPath((dir / name).string()); }
};

} // namespace

TEST_F(CatalogTest, IdsOutsideTheRangeReadEmptyAndAreIgnoredOnWrite)
{
    lang.SetMsgItem(500, "Last");
    EXPECT_EQ(lang.GetMsgItem(500), "Last");
    for (int32_t id : {-1, 501, INT_MIN, INT_MAX}) {
        lang.SetMsgItem(id, "x");
        EXPECT_EQ(lang.GetMsgItem(id), "") << id;
    }
    lang.Dirty = false;
    lang.SetMsgItem(501, "x");
    lang.SetMsgItem(-1, "x");
    EXPECT_FALSE(lang.IsDirty());
    for (int32_t id = 0; id < 500; ++id) EXPECT_EQ(lang.GetMsgItem(id), "");
}

TEST_F(CatalogTest, SettingTheSameTextStillMarksDirty)
{
    lang.MsgItems[3] = "Same";
    lang.SetMsgItem(3, "Same");
    EXPECT_TRUE(lang.IsDirty());
}

TEST_F(CatalogTest, LineBreaksInATextAreStoredAsBlanks)
{
    lang.SetMsgItem(4, "a\r\n[0005] injected\rb\nc");
    EXPECT_EQ(lang.GetMsgItem(4), "a  [0005] injected b c");
    lang.SetMsgItem(6, "x\0y"s);
    EXPECT_EQ(lang.GetMsgItem(6), "x y");
}

TEST_F(CatalogTest, ATextTakenFromTheCatalogItselfIsStoredWhole)
{
    lang.MsgItems[3] = "Close";
    lang.MsgItems[4] = "a\r\nb";
    lang.SetMsgItem(3, lang.MsgItems[3]);
    lang.SetMsgItem(4, lang.MsgItems[4]);
    EXPECT_EQ(lang.GetMsgItem(3), "Close");
    EXPECT_EQ(lang.GetMsgItem(4), "a  b");
}

TEST_F(CatalogTest, ClearMessageKeepsId500AndMarksDirty)
{
    lang.SetMsgItem(0, "First");
    lang.SetMsgItem(499, "Almost");
    lang.SetMsgItem(500, "Last");
    lang.FileName = "a.lang";
    lang.Dirty = false;
    lang.ClearMessage();
    EXPECT_EQ(lang.GetMsgItem(0), "");
    EXPECT_EQ(lang.GetMsgItem(499), "");
    EXPECT_EQ(lang.GetMsgItem(500), "Last");
    EXPECT_TRUE(lang.IsDirty());
    EXPECT_EQ(lang.FileName, "a.lang");
}

TEST_F(CatalogTest, MessageTextLosesLeadingBlanksOnly)
{
    Parse("[0012]Hello\n[0013]   Hello  \n[0014]\n[0015]\t\x01 x\n[0016] [0017] y");
    EXPECT_EQ(lang.GetMsgItem(12), "Hello");
    EXPECT_EQ(lang.GetMsgItem(13), "Hello  ");
    EXPECT_EQ(lang.GetMsgItem(14), "");
    EXPECT_EQ(lang.GetMsgItem(15), "x");
    EXPECT_EQ(lang.GetMsgItem(16), "[0017] y");
    EXPECT_EQ(lang.GetMsgItem(17), "");
}

TEST_F(CatalogTest, IdFieldIsAnyIntegerTextFrom0To500)
{
    const std::pair<const char*, int32_t> accepted[] = {{"  12", 12}, {" +12", 12}, {"+500", 500}, {"-000", 0},
                                                        {"$1F4", 500}, {"x1F4", 500}, {"0x1F", 31}, {"0499", 499}};
    for (const auto& [field, id] : accepted) {
        Parse(std::string("[") + field + "] text");
        EXPECT_EQ(lang.GetMsgItem(id), "text") << field;
        lang.MsgItems[500].clear();
    }
    for (const char* field : {"12  ", "    ", "abcd", "0501", "-001", "$1F5", "\t012", "1 2 ", "$-01"}) {
        Parse(std::string("[") + field + "] text");
        for (int32_t id = 0; id <= 500; ++id) ASSERT_EQ(lang.GetMsgItem(id), "") << field << " set " << id;
    }
}

TEST_F(CatalogTest, OtherLinesAreSkipped)
{
    Parse("[00012] x\n[0501] x\n[-001] x\n*** [0001] x\n\n   \n[12] Hello\n(0001) x\n[0001 x\n [0001] x\n[0001");
    for (int32_t id = 0; id <= 500; ++id) EXPECT_EQ(lang.GetMsgItem(id), "") << id;
}

TEST_F(CatalogTest, ParsingClearsFirstAndALaterLineWins)
{
    lang.SetMsgItem(1, "old");
    lang.SetMsgItem(500, "Last");
    lang.FileName = "keep.lang";
    lang.Dirty = false;
    Parse("[0003] a\n[0004] b\n[0003] c\n[0004]");
    EXPECT_EQ(lang.GetMsgItem(1), "");
    EXPECT_EQ(lang.GetMsgItem(3), "c");
    EXPECT_EQ(lang.GetMsgItem(4), "");
    EXPECT_EQ(lang.GetMsgItem(500), "Last");
    EXPECT_TRUE(lang.IsDirty());
    EXPECT_EQ(lang.FileName, "keep.lang");
}

TEST_F(CatalogTest, NoListClearsAndFails)
{
    lang.SetMsgItem(1, "old");
    lang.Dirty = false;
    EXPECT_FALSE(lang.LoadLanguageFromStringList(nullptr));
    EXPECT_EQ(lang.GetMsgItem(1), "");
    EXPECT_TRUE(lang.IsDirty());
}

TEST_F(CatalogTest, LinesOfACallersListCannotCarryLineBreaks)
{
    TStringList list;
    list.Add("[0001] a\r\n[0002] b");
    list.Add("[0003] c\0d"s);
    ASSERT_TRUE(lang.LoadLanguageFromStringList(&list));
    EXPECT_EQ(lang.GetMsgItem(1), "a  [0002] b");
    EXPECT_EQ(lang.GetMsgItem(2), "");
    EXPECT_EQ(lang.GetMsgItem(3), "c d");
}

TEST_F(CatalogTest, BuiltInTablesHoldTheSameIdsInPlainText)
{
    ASSERT_EQ(detail::kBuiltinTableCount, 3);
    std::set<int32_t> firstIds;
    for (int32_t index = 0; index < 3; ++index) {
        lang.SetMsgItem(500, "Last");
        lang.FileName = "a.lang";
        lang.Dirty = false;
        lang.LoadInteralLanguage(index);
        EXPECT_TRUE(lang.IsDirty());
        EXPECT_EQ(lang.FileName, "a.lang");
        EXPECT_EQ(lang.GetMsgItem(500), "Last");
        std::set<int32_t> ids;
        for (int32_t id = 0; id < 500; ++id)
            if (!lang.GetMsgItem(id).empty()) ids.insert(id);
        EXPECT_GE(ids.size(), 60u);
        EXPECT_GE(*ids.rbegin(), 400);
        if (index == 0) firstIds = ids;
        EXPECT_EQ(ids, firstIds) << "table " << index;
        for (unsigned char c : std::string(detail::kBuiltinTables[index])) ASSERT_TRUE(c < 128) << "table " << index;
    }
    lang.LoadInteralLanguage(0);
    EXPECT_EQ(lang.GetMsgItem(7), "Cancel");
}

TEST_F(CatalogTest, UnknownTableIndexChangesNothing)
{
    lang.SetMsgItem(1, "kept");
    lang.Dirty = false;
    for (int32_t index : {3, -1, INT_MIN, INT_MAX}) lang.LoadInteralLanguage(index);
    EXPECT_EQ(lang.GetMsgItem(1), "kept");
    EXPECT_FALSE(lang.IsDirty());
}

TEST(CatalogGlobals, ExistWhileTheLibraryIsLoaded)
{
    ASSERT_NE(MyLang, nullptr);
    EXPECT_EQ(MyLang->GetMaxMsgId(), 500);
    EXPECT_EQ(strDefaultLanguageFileName, "default.lang");
}

TEST_F(CatalogFileTest, SaveWritesHeaderAndNonBlankTextsWithCrLf)
{
    lang.SetMsgItem(7, "Cancel");
    lang.SetMsgItem(0, "  Hi");
    lang.SetMsgItem(3, "   ");
    lang.SetMsgItem(4, "\t");
    lang.SetMsgItem(12, "Hi  ");
    lang.SetMsgItem(500, "Last");
    lang.SaveToFile("a.lang");
    EXPECT_EQ(Read("a.lang"), kHeader + "[0000]   Hi\r\n[0007] Cancel\r\n[0012] Hi  \r\n");
    EXPECT_FALSE(lang.IsDirty());
    EXPECT_EQ(lang.FileName, "a.lang");

    TMultiLang back;
    EXPECT_TRUE(back.LoadFromFile("a.lang"));
    EXPECT_EQ(back.GetMsgItem(0), "Hi");
    EXPECT_EQ(back.GetMsgItem(12), "Hi  ");
    EXPECT_EQ(back.GetMsgItem(3), "");
    EXPECT_EQ(back.GetMsgItem(500), "");
}

TEST_F(CatalogFileTest, EmptyCatalogSavesTheHeaderOnly)
{
    lang.SetMsgItem(500, "Last");
    lang.ClearMessage();
    lang.SaveToFile("empty.lang");
    EXPECT_EQ(Read("empty.lang"), kHeader);

    TMultiLang back;
    back.SetMsgItem(9, "gone");
    EXPECT_TRUE(back.LoadFromFile("empty.lang"));
    for (int32_t id = 0; id < 500; ++id) EXPECT_EQ(back.GetMsgItem(id), "");
    EXPECT_FALSE(back.IsDirty());
}

TEST_F(CatalogFileTest, DirectlyStoredLineBreaksCannotInjectLines)
{
    lang.MsgItems[1] = "a\r\n[0002] injected";
    lang.SaveToFile("a.lang");
    EXPECT_EQ(Read("a.lang"), kHeader + "[0001] a  [0002] injected\r\n");
}

TEST_F(CatalogFileTest, ANulInATextCannotHideTheLaterMessages)
{
    lang.MsgItems[1] = "a\0b"s;
    lang.SetMsgItem(2, "c\0d"s);
    lang.SetMsgItem(3, "three");
    lang.SaveToFile("a.lang");
    EXPECT_EQ(Read("a.lang"), kHeader + "[0001] a b\r\n[0002] c d\r\n[0003] three\r\n");
    TMultiLang back;
    ASSERT_TRUE(back.LoadFromFile("a.lang"));
    EXPECT_EQ(back.GetMsgItem(3), "three");
}

TEST_F(CatalogFileTest, SaveWithoutAnyNameWritesNothing)
{
    lang.SetMsgItem(1, "x");
    lang.SaveToFile("");
    EXPECT_TRUE(Entries().empty());
    EXPECT_TRUE(lang.IsDirty());
    EXPECT_TRUE(lang.FileName.empty());
}

TEST_F(CatalogFileTest, BuiltInTablesAreCanonicalLanguageFiles)
{
    for (int32_t index = 0; index < 3; ++index) {
        lang.LoadInteralLanguage(index);
        lang.SaveToFile("t.lang");
        EXPECT_EQ(Read("t.lang"), std::string(detail::kBuiltinTables[index])) << "table " << index;
    }
}

TEST_F(CatalogFileTest, SaveWithoutNameAfterATableWritesTheLastFile)
{
    Write("a.lang", kHeader + "[0001] mine\r\n");
    ASSERT_TRUE(lang.LoadFromFile("a.lang"));
    lang.LoadInteralLanguage(0);
    EXPECT_EQ(lang.FileName, "a.lang");
    EXPECT_TRUE(lang.IsDirty());
    lang.SaveToFile("");
    EXPECT_EQ(Read("a.lang"), std::string(detail::kBuiltinTables[0]));
}

TEST_F(CatalogFileTest, AnyLineEndReadsTheSame)
{
    const std::string bodies[] = {
        "[0001] one\r\n[0002] two\r\n", "[0001] one\n[0002] two\n", "[0001] one\r[0002] two\r",
        "[0001] one\r\n[0002] two",     "[0001] one\n\r[0002] two\r\n\n", "\r\r\n[0001] one\n\n\r[0002] two"};
    for (const auto& body : bodies) {
        Write("l.lang", kHeader + body);
        TMultiLang loaded;
        EXPECT_TRUE(loaded.LoadFromFile("l.lang"));
        EXPECT_EQ(loaded.GetMsgItem(1), "one");
        EXPECT_EQ(loaded.GetMsgItem(2), "two");
    }
}

TEST_F(CatalogFileTest, ANulByteEndsTheReadableText)
{
    Write("n.lang", "[0001] one\r\n[0002] t\0wo\r\n[0003] three\r\n"s);
    EXPECT_TRUE(lang.LoadFromFile("n.lang"));
    EXPECT_EQ(lang.GetMsgItem(1), "one");
    EXPECT_EQ(lang.GetMsgItem(2), "t");
    EXPECT_EQ(lang.GetMsgItem(3), "");
}

TEST_F(CatalogFileTest, BadFilesLoadWithoutHarm)
{
    std::mt19937 rng(5);
    std::string garbage(1 << 20, '\0');
    for (auto& c : garbage) c = static_cast<char>(rng() % 255 + 1);
    for (size_t i = 1000; i + 6 < garbage.size(); i += 997) garbage.replace(i, 7, "\n[0042]");
    Write("garbage.lang", garbage);
    EXPECT_TRUE(lang.LoadFromFile("garbage.lang"));
    for (const auto& text : lang.MsgItems) EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
    EXPECT_FALSE(lang.GetMsgItem(42).empty());

    const std::string longText(1 << 20, 'x');
    Write("long.lang", "[0007] " + longText + "\r\n[0008] after");
    EXPECT_TRUE(lang.LoadFromFile("long.lang"));
    EXPECT_EQ(lang.GetMsgItem(7), longText);
    EXPECT_EQ(lang.GetMsgItem(8), "after");

    std::string many;
    for (int i = 0; i < 100000; ++i) many += "[" + MyIntToStr0(i % 500, 4) + "] line " + std::to_string(i) + "\r\n";
    Write("many.lang", many);
    EXPECT_TRUE(lang.LoadFromFile("many.lang"));
    EXPECT_EQ(lang.GetMsgItem(0), "line 99500");
    EXPECT_EQ(lang.GetMsgItem(499), "line 99999");
    EXPECT_FALSE(lang.IsDirty());
}

TEST_F(CatalogFileTest, AFileLoadsAsTheLinesOfAStringList)
{
    std::mt19937 rng(11);
    const char pieces[][8] = {"[0001]", "[0499]", "[$1F4]", " x", "\r", "\n", "\r\n", "\n\r", "\t", "\xff", "[0", "]"};
    for (int round = 0; round < 20; ++round) {
        std::string bytes;
        for (int i = 0; i < 3000; ++i) bytes += pieces[rng() % std::size(pieces)];
        if (round % 2) bytes[rng() % bytes.size()] = '\0';
        Write("g.lang", bytes);
        TMultiLang fromFile, fromList;
        ASSERT_TRUE(fromFile.LoadFromFile("g.lang"));
        const TStringList list = Lines(bytes);
        ASSERT_TRUE(fromList.LoadLanguageFromStringList(&list));
        ASSERT_EQ(fromFile.MsgItems, fromList.MsgItems) << "round " << round;
    }
}

TEST_F(CatalogFileTest, LoadSetsNameAndEndsClean)
{
    Write("a.lang", kHeader + "[0500] Last\r\n[$1F] hex\r\n[0005] five\r\n");
    Write("b.lang", kHeader + "[0006] six\r\n");
    lang.SetMsgItem(5, "changed");
    EXPECT_TRUE(lang.LoadFromFile("a.lang"));
    EXPECT_EQ(lang.FileName, "a.lang");
    EXPECT_FALSE(lang.IsDirty());
    EXPECT_EQ(lang.GetMsgItem(500), "Last");
    EXPECT_EQ(lang.GetMsgItem(5), "five");
    EXPECT_TRUE(lang.LoadFromFile("b.lang"));
    EXPECT_EQ(lang.GetMsgItem(500), "Last");
    EXPECT_EQ(lang.GetMsgItem(5), "");
    EXPECT_EQ(lang.GetMsgItem(6), "six");
    // An empty name reloads the catalog's own file.
    Write("b.lang", kHeader + "[0006] again\r\n");
    EXPECT_TRUE(lang.LoadFromFile(""));
    EXPECT_EQ(lang.GetMsgItem(6), "again");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(CatalogFileTest, NamesTakenFromTheCatalogItselfLoadAndSave)
{
    lang.SetMsgItem(2, "b.lang");
    lang.SaveToFile(lang.MsgItems[2]);
    // The load clears the text that names the file while it reads it.
    EXPECT_TRUE(lang.LoadFromFile(lang.MsgItems[2]) && lang.LoadFromFile(lang.FileName));
    EXPECT_EQ(lang.FileName + lang.GetMsgItem(2), "b.langb.lang");
}

TEST_F(CatalogFileTest, MissingDefaultFileIsReportedInABox)
{
    lang.SetMsgItem(1, "kept");
    EXPECT_FALSE(lang.LoadFromFile(""));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, 0u);
    EXPECT_EQ(boxes[0].text, "Can not find language file: default.lang.");
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].flags, win32::MB_ICONERROR | win32::MB_OK);
    EXPECT_EQ(lang.GetMsgItem(1), "kept");
    EXPECT_TRUE(lang.IsDirty());
    EXPECT_TRUE(lang.FileName.empty());
}

TEST_F(CatalogFileTest, DefaultNameIsReadAtEachCall)
{
    Write("other.lang", kHeader + "[0002] two\r\n");
    const std::string saved = strDefaultLanguageFileName;
    strDefaultLanguageFileName = "other.lang";
    const bool loaded = lang.LoadFromFile("");
    strDefaultLanguageFileName = saved;
    EXPECT_TRUE(loaded);
    EXPECT_EQ(lang.FileName, "other.lang");
    EXPECT_EQ(lang.GetMsgItem(2), "two");
}

TEST_F(CatalogFileTest, MissingFullPathOrAFolderIsReportedWithTheName)
{
    const std::string full = WindowsPath("missing.lang");
    lang.FileName = "before.lang";
    EXPECT_FALSE(lang.LoadFromFile(full));
    fs::create_directory(dir / "folder.lang");
    EXPECT_FALSE(lang.LoadFromFile("folder.lang"));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Can not find language file: " + full + ".");
    EXPECT_EQ(boxes[1].text, "Can not find language file: folder.lang.");
    EXPECT_EQ(lang.FileName, "before.lang");
}

TEST_F(CatalogFileTest, AFileHeldExclusivelyByAnotherProcessFailsToLoad)
{
    Write("held.lang", kHeader + "[0001] one\r\n");
    lang.SetMsgItem(1, "kept");
    {
        vantrel_test::HeldOpen held("held.lang", 0);
        ASSERT_TRUE(held.ok());
        EXPECT_THROW(lang.LoadFromFile("held.lang"), EFOpenError);
    }
    EXPECT_EQ(lang.FileName, "held.lang");
    EXPECT_EQ(lang.GetMsgItem(1), "kept");
    EXPECT_TRUE(lang.IsDirty());
    EXPECT_TRUE(boxes.empty());
}

namespace {

int gFailErrno = 0;
ssize_t FailingWrite(int, const void*, size_t) { return errno = gFailErrno, -1; }
int FailingFsync(int) { return errno = gFailErrno, -1; }
int FailingRename(const char*, const char*) { return errno = gFailErrno, -1; }

} // namespace

TEST_F(CatalogFileTest, FailedSavesLeaveTheOldFileWhole)
{
    const std::string old = kHeader + "[0001] old\r\n";
    Write("a.lang", old);
    lang.SetMsgItem(1, "new");
    const auto before = Entries();

    struct Fault {
        const char* what;
        int err;
        void (*inject)(win32::detail::SysCalls&);
    };
    const Fault faults[] = {
        {"disk full", ENOSPC, [](win32::detail::SysCalls& s) { s.write = FailingWrite; }},
        {"flush", EIO, [](win32::detail::SysCalls& s) { s.fsync = FailingFsync; }},
        {"rename", EACCES, [](win32::detail::SysCalls& s) { s.rename = FailingRename; }},
    };
    for (const auto& fault : faults) {
        win32::detail::ScopedSysCalls guard;
        gFailErrno = fault.err;
        fault.inject(guard.table());
        lang.FileName.clear();
        try {
            lang.SaveToFile("a.lang");
            ADD_FAILURE() << fault.what << ": no exception";
        } catch (const EFCreateError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"a.lang\". ", 0), 0u) << e.what();
        }
        EXPECT_EQ(lang.FileName, "a.lang") << fault.what;
        EXPECT_TRUE(lang.IsDirty()) << fault.what;
        EXPECT_EQ(Read("a.lang"), old) << fault.what;
        EXPECT_EQ(Entries(), before) << fault.what;
    }
}

TEST_F(CatalogFileTest, ReadOnlyTargetOrMissingFolderFails)
{
    const std::string old = kHeader + "[0001] old\r\n";
    Write("ro.lang", old);
    fs::permissions(dir / "ro.lang", fs::perms::owner_read | fs::perms::group_read);
    lang.SetMsgItem(1, "new");
    EXPECT_THROW(lang.SaveToFile("ro.lang"), EFCreateError);
    EXPECT_EQ(Read("ro.lang"), old);
    EXPECT_THROW(lang.SaveToFile("nofolder\\x.lang"), EFCreateError);
    EXPECT_EQ(lang.FileName, "nofolder\\x.lang");
    EXPECT_EQ(Entries(), std::set<std::string>{"ro.lang"});
    EXPECT_TRUE(lang.IsDirty());
}

TEST_F(CatalogFileTest, SaveKeepsPermissionsAndFollowsSymbolicLinks)
{
    Write("real.lang", "old");
    fs::permissions(dir / "real.lang", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("real.lang", dir / "link.lang");
    lang.SetMsgItem(1, "new");
    lang.SaveToFile("link.lang");
    EXPECT_TRUE(fs::is_symlink(dir / "link.lang"));
    EXPECT_EQ(Read("real.lang"), kHeader + "[0001] new\r\n");
    EXPECT_EQ(fs::status(dir / "real.lang").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(Entries(), (std::set<std::string>{"link.lang", "real.lang"}));
}
