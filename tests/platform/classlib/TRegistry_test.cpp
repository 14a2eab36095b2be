#include "classlib/TRegistry.h"

#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>

using vantrel::ERegistryException;
using vantrel::TRegistry;
using namespace win32;

namespace {

class TRegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/vantrel-tregistry-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        setenv("VANTREL_PREFIX", dir_.c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string dir_;
};

TEST_F(TRegistryTest, OpenKeyCreatesOnlyWhenAllowed)
{
    TRegistry reg;
    EXPECT_EQ(reg.RootKey(), HKEY_CURRENT_USER);
    EXPECT_FALSE(reg.OpenKey("Software\\Vendor\\App", false));
    EXPECT_EQ(reg.CurrentKey(), 0u);
    ASSERT_TRUE(reg.OpenKey("Software\\Vendor\\App", true));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Vendor\\App");

    // Relative to the open key, and absolute from the root with a backslash.
    ASSERT_TRUE(reg.OpenKey("Sub", true));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Vendor\\App\\Sub");
    ASSERT_TRUE(reg.OpenKey("\\Software\\Vendor", false));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Vendor");
    EXPECT_TRUE(reg.OpenKey("app\\SUB", false));

    // A failed open keeps the key that was open.
    EXPECT_FALSE(reg.OpenKey("\\Missing", false));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Vendor\\app\\SUB");
}

TEST_F(TRegistryTest, TypedReadsAndWrites)
{
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey("Software\\T", true));
    reg.WriteString("Text", "hello");
    reg.WriteString("", "default");
    reg.WriteInteger("Number", -9999);
    EXPECT_EQ(reg.ReadString("TEXT"), "hello");
    EXPECT_EQ(reg.ReadString(""), "default");
    EXPECT_EQ(reg.ReadInteger("number"), -9999);
    EXPECT_EQ(reg.ReadString("missing"), "");
    EXPECT_TRUE(reg.ValueExists("Number"));
    EXPECT_FALSE(reg.ValueExists("missing"));

    EXPECT_THROW(reg.ReadString("Number"), ERegistryException);
    EXPECT_THROW(reg.ReadInteger("Text"), ERegistryException);
    EXPECT_THROW(reg.ReadInteger("missing"), ERegistryException);

    // An integer written over a text replaces it.
    reg.WriteInteger("Text", 7);
    EXPECT_EQ(reg.ReadInteger("Text"), 7);
    EXPECT_TRUE(reg.DeleteValue("Text"));
    EXPECT_FALSE(reg.ValueExists("Text"));
}

TEST_F(TRegistryTest, NoOpenKeyMakesReadsAndWritesFail)
{
    TRegistry reg;
    EXPECT_THROW(reg.WriteString("x", "y"), ERegistryException);
    EXPECT_THROW(reg.ReadString("x"), ERegistryException);
    EXPECT_FALSE(reg.ValueExists("x"));
}

TEST_F(TRegistryTest, EmptyPathOpensTheRootKey)
{
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("", false));
    reg.WriteString("atRoot", "r");
    TRegistry other;
    ASSERT_TRUE(other.OpenKey("", true));
    EXPECT_EQ(other.ReadString("ATROOT"), "r");
}

TEST_F(TRegistryTest, DeleteKeyTakesSubkeys)
{
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Del\\A\\B", true));
    reg.WriteString("v", "1");
    reg.CloseKey();
    EXPECT_TRUE(reg.DeleteKey("Software\\Del"));
    EXPECT_FALSE(reg.OpenKey("Software\\Del", false));
    EXPECT_TRUE(reg.OpenKey("Software", false));
    EXPECT_FALSE(reg.DeleteKey("Del"));
}

} // namespace
