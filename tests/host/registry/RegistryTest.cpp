#include "platform/host/registry/Registry.h"

#include "platform/host/registry/RegFile.h"
#include "platform/rtl/SysUtils.h"
#include "tests/host/registry/TempDir.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <memory>

using namespace host;
using regtest::TTempDir;

namespace {

constexpr const char* ItemKey = "\\Settings\\Morvid\\Schedules\\Item0";

class RegistryTest : public ::testing::Test {
protected:
    std::unique_ptr<TRegistry> Open() { return std::make_unique<TRegistry>(Dir.File("reg.db")); }

    TTempDir Dir;
};

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ERegistryException& e) {
        return e.Message();
    }
    return "(no exception)";
}

} // namespace

TEST_F(RegistryTest, EveryTypeReadsBackAfterReopening) {
    const std::string withNul("a\0b", 3);
    struct Case {
        const char* name;
        std::function<void(TRegistry&)> write;
        std::function<void(TRegistry&)> check;
    } cases[] = {
        {"Empty", [](TRegistry& r) { r.WriteString("Empty", ""); },
         [](TRegistry& r) { EXPECT_EQ(r.ReadString("Empty"), ""); }},
        {"Text", [](TRegistry& r) { r.WriteString("Text", "Grüße \"x\"\\y\nz"); },
         [](TRegistry& r) { EXPECT_EQ(r.ReadString("Text"), "Grüße \"x\"\\y\nz"); }},
        {"Nul", [&](TRegistry& r) { r.WriteString("Nul", withNul); },
         [&](TRegistry& r) { EXPECT_EQ(r.ReadString("Nul"), withNul); }},
        {"Min", [](TRegistry& r) { r.WriteInteger("Min", std::numeric_limits<int32_t>::min()); },
         [](TRegistry& r) {
             EXPECT_EQ(r.ReadInteger("Min"), std::numeric_limits<int32_t>::min());
         }},
        {"Max", [](TRegistry& r) { r.WriteInteger("Max", std::numeric_limits<int32_t>::max()); },
         [](TRegistry& r) {
             EXPECT_EQ(r.ReadInteger("Max"), std::numeric_limits<int32_t>::max());
         }},
        {"Minus", [](TRegistry& r) { r.WriteInteger("Minus", -1); },
         [](TRegistry& r) { EXPECT_EQ(r.ReadInteger("Minus"), -1); }},
        {"On", [](TRegistry& r) { r.WriteBool("On", true); },
         [](TRegistry& r) {
             EXPECT_TRUE(r.ReadBool("On"));
             EXPECT_EQ(r.ReadInteger("On"), 1);
         }},
        {"Off", [](TRegistry& r) { r.WriteBool("Off", false); },
         [](TRegistry& r) {
             EXPECT_FALSE(r.ReadBool("Off"));
             EXPECT_EQ(r.ReadInteger("Off"), 0);
         }},
        {"Date", [](TRegistry& r) { r.WriteDate("Date", 46000.0); },
         [](TRegistry& r) { EXPECT_EQ(r.ReadDate("Date"), 46000.0); }},
        {"Time", [](TRegistry& r) { r.WriteTime("Time", 0.75); },
         [](TRegistry& r) { EXPECT_EQ(r.ReadTime("Time"), 0.75); }},
        {"Before1899", [](TRegistry& r) { r.WriteDateTime("Before1899", -700.125); },
         [](TRegistry& r) { EXPECT_EQ(r.ReadDateTime("Before1899"), -700.125); }},
        {"Blob",
         [](TRegistry& r) {
             r.WriteBinaryData("Blob", {0, 1, 0x7F, 0x80, 0xFF});
         },
         [](TRegistry& r) {
             EXPECT_EQ(r.ReadBinaryData("Blob"),
                       (std::vector<std::uint8_t>{0, 1, 0x7F, 0x80, 0xFF}));
         }},
        {"NoBytes", [](TRegistry& r) { r.WriteBinaryData("NoBytes", {}); },
         [](TRegistry& r) {
             EXPECT_TRUE(r.ValueExists("NoBytes"));
             EXPECT_TRUE(r.ReadBinaryData("NoBytes").empty());
         }},
    };
    {
        auto reg = Open();
        ASSERT_TRUE(reg->OpenKey(ItemKey, true));
        for (auto& c : cases) {
            c.write(*reg);
        }
    }
    auto reg = Open();
    ASSERT_TRUE(reg->OpenKey(ItemKey, false));
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.check(*reg);
    }
}

TEST_F(RegistryTest, DatesAreLittleEndianDoublesOfEightBytes) {
    auto reg = Open();
    reg->WriteDateTime("LastRun", 1.0);
    EXPECT_EQ(reg->GetDataType("LastRun"), rdBinary);
    EXPECT_EQ(reg->GetDataSize("LastRun"), 8);
    EXPECT_EQ(reg->ReadBinaryData("LastRun"),
              (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
    reg->WriteBinaryData("Raw", {0, 0, 0, 0, 0, 0xE0, 0xE5, 0x40});
    EXPECT_EQ(reg->ReadDateTime("Raw"), 44800.0);
}

TEST_F(RegistryTest, MissingAndMistypedValuesNameValueAndKey) {
    auto reg = Open();
    ASSERT_TRUE(reg->OpenKey(ItemKey, true));
    reg->WriteString("Name", "x");
    reg->WriteInteger("Enabled", 1);
    reg->WriteBinaryData("Short", {1, 2, 3, 4});
    const std::string key = std::string("' in key '") + ItemKey + "'";
    struct Case {
        std::function<void()> read;
        std::string message;
    } cases[] = {
        {[&] { reg->ReadInteger("ReportId"); },
         "Value 'ReportId" + std::string("' not found in key '") + ItemKey + "'"},
        {[&] { reg->ReadBool("Gone"); },
         "Value 'Gone' not found in key '" + std::string(ItemKey) + "'"},
        {[&] { reg->ReadDateTime("Gone"); },
         "Value 'Gone' not found in key '" + std::string(ItemKey) + "'"},
        {[&] { reg->ReadBinaryData("Gone"); },
         "Value 'Gone' not found in key '" + std::string(ItemKey) + "'"},
        {[&] { reg->ReadInteger("Name"); }, "Invalid data type for 'Name" + key},
        {[&] { reg->ReadBool("Name"); }, "Invalid data type for 'Name" + key},
        {[&] { reg->ReadString("Enabled"); }, "Invalid data type for 'Enabled" + key},
        {[&] { reg->ReadDate("Enabled"); }, "Invalid data type for 'Enabled" + key},
        {[&] { reg->ReadBinaryData("Enabled"); }, "Invalid data type for 'Enabled" + key},
        {[&] { reg->ReadTime("Short"); }, "Invalid data type for 'Short" + key},
        {[&] { reg->ReadString("Short"); }, "Invalid data type for 'Short" + key},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MessageOf(c.read), c.message);
    }
    EXPECT_EQ(reg->ReadString("Filter"), "") << "a missing string reads as empty text";
    EXPECT_EQ(reg->GetDataType("Filter"), rdUnknown);
    EXPECT_EQ(reg->GetDataSize("Filter"), -1);
}

TEST_F(RegistryTest, NamesCompareWithoutCaseAndKeepTheirFirstSpelling) {
    auto reg = Open();
    ASSERT_TRUE(reg->OpenKey("\\Settings\\Morvid", true));
    reg->WriteInteger("Enabled", 1);
    reg->CloseKey();
    ASSERT_TRUE(reg->OpenKey("\\SETTINGS\\morvid", true));
    EXPECT_EQ(reg->CurrentPath(), "\\Settings\\Morvid");
    EXPECT_EQ(reg->ReadInteger("eNaBlEd"), 1);
    reg->WriteInteger("ENABLED", 0);
    EXPECT_EQ(reg->GetValueNames(), std::vector<std::string>{"Enabled"});
    EXPECT_EQ(reg->ReadInteger("Enabled"), 0);
    EXPECT_TRUE(reg->ValueExists("enabled"));
    EXPECT_TRUE(reg->KeyExists("\\settings"));
    reg->CloseKey();
    EXPECT_EQ(reg->GetKeyNames(), std::vector<std::string>{"Settings"});

    ASSERT_TRUE(reg->OpenKey("\\List", true));
    for (const char* name : {"b", "A", "c", "Item10", "Item2"}) {
        ASSERT_TRUE(reg->OpenKey(std::string("\\List\\") + name, true));
    }
    ASSERT_TRUE(reg->OpenKey("\\list", false));
    EXPECT_EQ(reg->GetKeyNames(), (std::vector<std::string>{"A", "b", "c", "Item10", "Item2"}));
    rtl::TStringList list;
    list.Add("stale");
    reg->GetKeyNames(list);
    ASSERT_EQ(list.Count(), 5);
    EXPECT_EQ(list[0], "A");
    EXPECT_EQ(list[4], "Item2");
    EXPECT_FALSE(reg->OpenKey("B\\nothing", false));
    EXPECT_EQ(reg->CurrentPath(), "\\List") << "a failed open keeps the open key";
}

TEST_F(RegistryTest, PathsResolveAbsoluteOrRelativeToTheOpenKey) {
    auto reg = Open();
    struct Case {
        const char* key;
        bool canCreate;
        bool opens;
        const char* path; // the open key afterwards
    } cases[] = {
        {"\\A", true, true, "\\A"},
        {"B\\C", true, true, "\\A\\B\\C"},
        {"\\A\\\\B\\", false, true, "\\A\\B"}, // doubled and trailing separators are skipped
        {"D", false, false, "\\A\\B"},
        {"\\", false, true, "\\"},
        {"X", true, true, "\\X"},
        {"bad\tname", true, false, "\\X"},
        {"", false, true, "\\X"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(reg->OpenKey(c.key, c.canCreate), c.opens);
        EXPECT_EQ(reg->CurrentPath(), c.path);
    }
    reg->CloseKey();
    EXPECT_TRUE(reg->KeyExists("A\\B\\C")) << "after closing, relative paths start at the root";
    EXPECT_FALSE(reg->KeyExists("\\A\\C"));
    EXPECT_THROW(reg->WriteString("bad\nname", "x"), ERegistryException);
}

TEST_F(RegistryTest, DeleteKeyRemovesEverythingBelowIt) {
    auto reg = Open();
    for (const char* key :
         {"\\S\\Schedules\\Item0\\Deep", "\\S\\Schedules\\Item1", "\\S\\Window"}) {
        ASSERT_TRUE(reg->OpenKey(key, true));
        reg->WriteString("Name", key);
    }
    ASSERT_TRUE(reg->OpenKey("\\S\\Schedules\\Item0", false));
    EXPECT_TRUE(reg->DeleteKey("\\s\\SCHEDULES"));
    EXPECT_EQ(reg->CurrentPath(), "\\") << "the open key went with its parent";
    EXPECT_FALSE(reg->KeyExists("\\S\\Schedules"));
    EXPECT_FALSE(reg->KeyExists("\\S\\Schedules\\Item0\\Deep"));
    ASSERT_TRUE(reg->OpenKey("\\S", false));
    EXPECT_EQ(reg->GetKeyNames(), std::vector<std::string>{"Window"});
    ASSERT_TRUE(reg->OpenKey("\\S\\Schedules\\Item1", true));
    EXPECT_TRUE(reg->GetValueNames().empty()) << "a re-created key starts without old values";
    ASSERT_TRUE(reg->OpenKey("\\S\\Window", false));
    EXPECT_EQ(reg->ReadString("Name"), "\\S\\Window");
    EXPECT_FALSE(reg->DeleteKey("\\Nothing"));
    EXPECT_FALSE(reg->DeleteKey("\\")) << "the root stays";
    EXPECT_TRUE(reg->DeleteValue("name"));
    EXPECT_FALSE(reg->DeleteValue("Name"));
}

TEST_F(RegistryTest, ReadOnlyRegistryRefusesChanges) {
    { Open()->WriteString("Name", "x"); }
    TRegistry reg(Dir.File("reg.db"), true);
    EXPECT_EQ(reg.ReadString("Name"), "x");
    EXPECT_THROW(reg.WriteString("Name", "y"), ERegistryException);
    EXPECT_THROW(reg.DeleteValue("Name"), ERegistryException);
    TRegistryTransaction snapshot(reg);
    EXPECT_THROW(reg.WriteInteger("Count", 1), ERegistryException);
    EXPECT_FALSE(reg.OpenKey("\\New", true));
    EXPECT_THROW(TRegistry(Dir.File("missing.db"), true), ERegistryException);
    EXPECT_EQ(regtest::FileMode(Dir.File("missing.db")), -1);
}

TEST_F(RegistryTest, GuardRollsBackWhenTheSaveThrows) {
    auto reg = Open();
    ASSERT_TRUE(reg->OpenKey("\\S", true));
    reg->WriteInteger("Count", 1);
    try {
        TRegistryTransaction transaction(*reg);
        reg->WriteInteger("Count", 2);
        ASSERT_TRUE(reg->OpenKey("\\S\\New", true));
        reg->WriteString("Name", "new");
        throw std::runtime_error("fails half-way");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(reg->CurrentPath(), "\\") << "the open key was rolled away";
    EXPECT_FALSE(reg->KeyExists("\\S\\New"));
    ASSERT_TRUE(reg->OpenKey("\\S", false));
    EXPECT_EQ(reg->ReadInteger("Count"), 1);
    EXPECT_FALSE(reg->InTransaction());
}

TEST_F(RegistryTest, NestedTransactionsUndoOnlyTheirOwnPart) {
    auto reg = Open();
    TRegistryTransaction outer(*reg);
    reg->WriteInteger("Outer", 1);
    {
        TRegistryTransaction inner(*reg);
        reg->WriteInteger("Inner", 1);
    }
    {
        TRegistryTransaction inner(*reg);
        reg->WriteInteger("Kept", 1);
        inner.Commit();
    }
    outer.Commit();
    EXPECT_THROW(reg->CommitTransaction(), ERegistryException);
    auto other = Open();
    EXPECT_EQ(other->GetValueNames(), (std::vector<std::string>{"Outer", "Kept"}));
}

namespace {

// The settings save of the plug-in: replace the task list, then the window placement.
void SaveTasks(TRegistry& reg, int count, const std::string& tag) {
    if (reg.OpenKey("\\Settings\\Morvid", true)) {
        if (reg.KeyExists("Schedules")) {
            reg.DeleteKey("Schedules");
        }
        reg.CloseKey();
    }
    for (int i = 0; i < count; ++i) {
        reg.OpenKey(rtl::Format("\\Settings\\Morvid\\Schedules\\Item%d", i), true);
        reg.WriteString("Name", tag + std::to_string(i));
        reg.WriteBool("Enabled", true);
        reg.WriteInteger("ReportId", i);
        reg.WriteDateTime("LastRun", 46000.5 + i);
        reg.CloseKey();
    }
    reg.OpenKey("\\Settings\\Morvid\\Window", true);
    reg.WriteInteger("Height", static_cast<int>(tag.size()) * 100);
    reg.CloseKey();
}

} // namespace

TEST_F(RegistryTest, FailingTheNthWriteLeavesTheOldSettingsWhole) {
    std::string oldText;
    std::string newText;
    {
        TTempDir scratch;
        TRegistry reg(scratch.File("reg.db"));
        SaveTasks(reg, 3, "old");
        oldText = ExportRegText(reg);
        SaveTasks(reg, 2, "newer");
        newText = ExportRegText(reg);
    }
    ASSERT_NE(oldText, newText);
    bool completed = false;
    for (int failAt = 1; !completed && failAt < 100; ++failAt) {
        SCOPED_TRACE(failAt);
        TTempDir dir;
        const std::string file = dir.File("reg.db");
        {
            TRegistry reg(file);
            SaveTasks(reg, 3, "old");
            int writes = 0;
            reg.OnWrite = [&] {
                if (++writes == failAt) {
                    throw ERegistryException("injected fault");
                }
            };
            try {
                TRegistryTransaction transaction(reg);
                SaveTasks(reg, 2, "newer");
                transaction.Commit();
                completed = true;
            } catch (const ERegistryException& e) {
                EXPECT_EQ(e.Message(), "injected fault");
            }
        }
        TRegistry check(file, true);
        EXPECT_EQ(ExportRegText(check), completed ? newText : oldText);
    }
    EXPECT_TRUE(completed) << "the save never got through";
}
