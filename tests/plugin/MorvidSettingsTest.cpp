// Settings persistence through the real registry: the stored layout key by key and type by
// type, loading it back, the window placement and icon size, and that neither a failed load nor
// a failed save loses stored tasks.
#include "plugin/MorvidSettings.h"

#include "platform/host/core/BarButton.h"
#include "platform/host/core/BarManager.h"
#include "platform/host/forms/ListView.h"
#include "platform/host/registry/Registry.h"
#include "plugin/RegKeySnapshot.h"
#include "scheduler/uScheduler.h"
#include "tasks/ScheduleItem.h"
#include "tests/plugin/PluginFixture.h"
#include "ui/DLGScheduledReports.h"

#include <climits>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace plugintest {
namespace {

using host::rdBinary;
using host::rdInteger;
using host::rdString;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

using TValues = std::vector<TStoredValue>;

const std::string Schedules = std::string(SettingsRoot) + "\\Settings\\Morvid\\Schedules";

std::string ItemPath(int i) {
    return Schedules + "\\Item" + std::to_string(i);
}

// A stored task as the save writes one, with no parameters and no last run.
TValues StoredTask(const std::string& name, bool enabled = true, int reportId = 3) {
    return {{"Name", rdString, name},
            {"Enabled", rdInteger, enabled ? "1" : "0"},
            {"ReportId", rdInteger, std::to_string(reportId)},
            {"ExportPath", rdString, "/srv/exports/" + name},
            {"Filter", rdString, "CSV file"},
            {"CronStr", rdString, "0 6 * * * *"},
            {"ParamCount", rdInteger, "0"}};
}

TValues With(TValues values, const TValues& more) {
    values.insert(values.end(), more.begin(), more.end());
    return values;
}

TValues Without(TValues values, const std::string& name) {
    std::erase_if(values, [&](const TStoredValue& v) { return v.Name == name; });
    return values;
}

TValues Replacing(TValues values, const TStoredValue& value) {
    for (TStoredValue& v : values) {
        if (v.Name == value.Name) {
            v = value;
        }
    }
    return values;
}

class MorvidSettingsTest : public TPluginTest {
protected:
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int i = 0; i < RowCount(); ++i) {
            names.push_back(RowTexts(i)[0]);
        }
        return names;
    }
    // Deletes a row and its task, as the window's "Delete" does.
    void DeleteRow(int row) {
        morvid::TScheduleItem* task = &Task(row);
        List().Items.Delete(row);
        delete task;
    }
    // What the load kept from a plug-in object that is then replaced by a fresh one.
    void Restart() {
        DestroyPlugin();
        CreatePlugin();
    }
    bool KeyExists(const std::string& path) {
        const bool exists = Registry()->KeyExists(path);
        Registry()->CloseKey();
        return exists;
    }
    morvid::TRegKeySnapshot StoredTree() {
        morvid::TRegKeySnapshot tree;
        tree.Read(*Registry(), Root + "\\Settings\\Morvid");
        return tree;
    }
};

TEST_F(MorvidSettingsTest, ATaskThatNeverRanIsStoredWithoutLastRunAndLoadsAsNever) {
    morvid::TScheduleItem& task = AddTask("Door report", true, "30 7 * * 1-5 *");
    task.SetReportId(12);
    task.SetExportPath("/srv/exports");
    task.SetFilter("PDF file");
    Save();

    EXPECT_THAT(StoredValues(*Registry(), ItemPath(0)),
                ElementsAre(TStoredValue{"Name", rdString, "Door report"},
                            TStoredValue{"Enabled", rdInteger, "1"},
                            TStoredValue{"ReportId", rdInteger, "12"},
                            TStoredValue{"ExportPath", rdString, "/srv/exports"},
                            TStoredValue{"Filter", rdString, "PDF file"},
                            TStoredValue{"CronStr", rdString, "30 7 * * 1-5 *"},
                            TStoredValue{"ParamCount", rdInteger, "0"},
                            TStoredValue{"Id", rdString, task.Id},
                            // Made at 2026-03-03 13:46:05 UTC.
                            TStoredValue{"Created", rdBinary, "46084.57366898148"}));

    Restart();
    Load();
    ASSERT_EQ(RowCount(), 1);
    EXPECT_THAT(RowTexts(0), ElementsAre("Door report", "Yes", "Never", "", "Never"));
    EXPECT_TRUE(Task(0).LastRun.IsNull());
}

TEST_F(MorvidSettingsTest, ANumberThenADateParameterAreStoredAsIntegerAndEightByteBinary) {
    morvid::TScheduleItem& task = AddTask("Alarms", false);
    task.LastRun = rtl::TVariant::FromDate(46084.5);
    task.LastRunResult = "Success!";
    task.AddParam(morvid::rpNumber, 42);
    task.AddParam(morvid::rpDate, rtl::TVariant::FromDate(46080.0));
    Save();

    const TValues stored = StoredValues(*Registry(), ItemPath(0));
    const TValues tail(stored.begin() + 6, stored.end());
    EXPECT_THAT(tail, ElementsAre(TStoredValue{"LastRun", rdBinary, "46084.5"},
                                  TStoredValue{"LastRunResult", rdString, "Success!"},
                                  TStoredValue{"ParamCount", rdInteger, "2"},
                                  TStoredValue{"ParamType0", rdInteger, "1"},
                                  TStoredValue{"Param0", rdInteger, "42"},
                                  TStoredValue{"ParamType1", rdInteger, "3"},
                                  TStoredValue{"Param1", rdBinary, "46080"},
                                  TStoredValue{"Id", rdString, task.Id},
                                  TStoredValue{"Created", rdBinary, "46084.57366898148"}));
    ASSERT_TRUE(Registry()->OpenKey(ItemPath(0), false));
    EXPECT_EQ(Registry()->GetDataSize("LastRun"), 8);
    EXPECT_EQ(Registry()->GetDataSize("Param1"), 8);
    Registry()->CloseKey();
}

TEST_F(MorvidSettingsTest, EveryParameterKindIsStoredByItsCodeAndLoadsBack) {
    const struct {
        std::uint8_t Code;
        rtl::TVariant Value;
        TValues Stored; // after "ParamType0"
        rtl::TVariant Loaded;
    } cases[] = {
        {0, "north gate", {{"Param0", rdString, "north gate"}}, "north gate"},
        {0, "", {{"Param0", rdString, ""}}, ""},
        {1, -7, {{"Param0", rdInteger, "-7"}}, -7},
        {2, true, {{"Param0", rdInteger, "1"}}, true},
        {2, false, {{"Param0", rdInteger, "0"}}, false},
        {3, 46084.0, {{"Param0", rdBinary, "46084"}}, 46084.0},
        {4, 0.75, {{"Param0", rdBinary, "0.75"}}, 0.75},
        {9, "ignored", {}, rtl::TVariant()},
        {255, 1, {}, rtl::TVariant()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << int(c.Code));
        Restart();
        AddTask("typed", true).AddParam(c.Code, c.Value);
        Save();
        const TValues stored = StoredValues(*Registry(), ItemPath(0));
        const TValues expected = With(
            {{"ParamCount", rdInteger, "1"}, {"ParamType0", rdInteger, std::to_string(c.Code)}},
            c.Stored);
        // The task's identity follows the values of the first layout.
        EXPECT_THAT(Without(Without(TValues(stored.begin() + 6, stored.end()), "Id"), "Created"),
                    ElementsAreArray(expected));

        Restart();
        Load();
        ASSERT_EQ(RowCount(), 1);
        ASSERT_EQ(Task(0).Params.size(), 1u);
        EXPECT_EQ(Task(0).Params[0].ParamType, c.Code);
        EXPECT_EQ(Task(0).Params[0].Value, c.Loaded);
    }
}

TEST_F(MorvidSettingsTest, AnEmptyListSavesNoSchedulesButTheWindow) {
    AddTask("soon deleted", true);
    Window().ShowReportsWindow(); // a window never shown has no placement to store
    Save();
    ASSERT_TRUE(KeyExists(ItemPath(0)));
    DeleteRow(0);
    Save();
    EXPECT_TRUE(KeyExists(Root + "\\Settings\\Morvid"));
    EXPECT_FALSE(KeyExists(Schedules));
    const TValues window = StoredValues(*Registry(), Root + "\\Settings\\Morvid\\Window");
    ASSERT_EQ(window.size(), 4u);
    const char* const order[] = {"Height", "Width", "Top", "Left"};
    for (std::size_t i = 0; i < window.size(); ++i) {
        EXPECT_EQ(window[i].Name, order[i]);
        EXPECT_EQ(window[i].Type, rdInteger) << order[i];
    }
}

TEST_F(MorvidSettingsTest, CalendarsAreStoredByNameAndDatesOnlyWhenThereAreAny) {
    const std::string calendars = Root + "\\Settings\\Morvid\\Calendars";
    Save();
    EXPECT_FALSE(KeyExists(calendars));
    Plugin->Calendars = {{"Holidays", morvid::ParseCalendarDates("2026-12-25,2026-12-24")},
                         {"Plant shutdown", morvid::ParseCalendarDates("2026-08-03")}};
    Save();
    const TValues first = StoredValues(*Registry(), calendars + "\\Calendar0");
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].Data, "Holidays");
    EXPECT_EQ(first[1].Data, "2026-12-24,2026-12-25");
    EXPECT_EQ(first[1].Type, rdString);
    // A date mistyped by hand costs only itself.
    StoreValues(*Registry(), calendars + "\\Calendar1",
                {{"Name", rdString, "Plant shutdown"}, {"Dates", rdString, "2026-08-03,3.8.2026"}});
    Restart();
    Load();
    ASSERT_EQ(Plugin->Calendars.size(), 2u);
    EXPECT_EQ(Plugin->Calendars[1].Name, "Plant shutdown");
    EXPECT_EQ(morvid::CalendarDatesText(Plugin->Calendars[1].Days), "2026-08-03");
    Plugin->Calendars.clear();
    Save();
    EXPECT_FALSE(KeyExists(calendars));
}

TEST_F(MorvidSettingsTest, TheRootPathIsTakenAsItIsEvenWithPercentSigns) {
    const std::string root = "\\Software\\100%s%n%d\\Client";
    AddTask("percent", true);
    Save(root);
    EXPECT_EQ(StoredValues(*Registry(), root + "\\Settings\\Morvid\\Schedules\\Item0")[0].Data,
              "percent");
    Restart();
    Load(root);
    EXPECT_THAT(Names(), ElementsAre("percent"));
}

TEST_F(MorvidSettingsTest, LoadedTasksGetRowsInStoredOrderAndStayUnarmed) {
    StoreValues(*Registry(), ItemPath(0), StoredTask("first", true, 4));
    StoreValues(*Registry(), ItemPath(1),
                With(Without(StoredTask("second", false, 5), "ParamCount"),
                     {{"LastRun", rdBinary, "46084.25"}, {"LastRunResult", rdString, "Error: x"}}));
    Load();
    ASSERT_EQ(RowCount(), 2);
    EXPECT_EQ(Task(0).ReportId, 4);
    EXPECT_TRUE(Task(0).Enabled);
    EXPECT_EQ(Task(0).ExportPath, "/srv/exports/first");
    EXPECT_EQ(Task(0).Filter, "CSV file");
    EXPECT_EQ(Task(0).CronStr, "0 6 * * * *");
    EXPECT_FALSE(Task(1).Enabled);
    EXPECT_EQ(Task(1).LastRun, rtl::TVariant::FromDate(46084.25));
    EXPECT_EQ(Task(1).LastRunResult, "Error: x");
    EXPECT_TRUE(Task(1).Params.empty());
    for (int i = 0; i < RowCount(); ++i) {
        EXPECT_FALSE(Task(i).Event->Running);
    }
    EXPECT_EQ(Plugin->EventList->Count(), 2);

    Load();
    EXPECT_THAT(Names(), ElementsAre("first", "second", "first", "second"));
}

TEST_F(MorvidSettingsTest, OptionalValuesReadAsDocumented) {
    const struct {
        const char* Case;
        TValues Stored;
        std::vector<std::string> Row;
    } cases[] = {
        {"strings missing",
         {{"Enabled", rdInteger, "0"}, {"ReportId", rdInteger, "1"}},
         {"", "No", "Never", "", "Never"}},
        {"Enabled any non-zero",
         Replacing(StoredTask("t"), {"Enabled", rdInteger, "-5"}),
         {"t", "Yes", "Never", "", "Never"}},
        {"result without last run",
         With(StoredTask("t"), {{"LastRunResult", rdString, "User canceled"}}),
         {"t", "Yes", "Never", "User canceled", "Never"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        Restart();
        Registry()->DeleteKey(Schedules);
        StoreValues(*Registry(), ItemPath(0), c.Stored);
        Load();
        ASSERT_EQ(RowCount(), 1);
        EXPECT_THAT(RowTexts(0), ElementsAreArray(c.Row));
    }
}

TEST_F(MorvidSettingsTest, SettingsFromBeforeTheAdditionsLoadAsTheyDidAndSaveAnIdentity) {
    const TValues old = With(StoredTask("Old task"), {{"LastRun", rdBinary, "46084.25"},
                                                      {"LastRunResult", rdString, "Success!"}});
    StoreValues(*Registry(), ItemPath(0), old);
    Load();
    ASSERT_EQ(RowCount(), 1);
    const morvid::TScheduleItem& task = Task(0);
    EXPECT_FALSE(task.RunMissed);
    EXPECT_EQ(task.KeepFiles, 0);
    EXPECT_FALSE(task.Id.empty());
    const std::string id = task.Id;
    // Stored at once: a client ended before its first save keeps the identity at its next start.
    Restart();
    Load();
    EXPECT_EQ(Task(0).Id, id);
    Save();
    // The stored values come back as they were, in their order, and the identity is kept;
    // since when its due times count is its last run.
    EXPECT_THAT(StoredValues(*Registry(), ItemPath(0)),
                ::testing::UnorderedElementsAreArray(
                    With(old, {{"Id", rdString, id}, {"Created", rdBinary, "46084.25"}})));
    Restart();
    Load();
    EXPECT_EQ(Task(0).Id, id);
    EXPECT_EQ(Task(0).Created, 46084.25);
}

TEST_F(MorvidSettingsTest, AddedOptionsRoundTripAndOddValuesMeanTheDefault) {
    morvid::TScheduleItem& task = AddTask("Options", true);
    task.RunMissed = true;
    task.KeepFiles = 7;
    task.NamePattern = "{due:yyyy}/{report}";
    task.NameExists = morvid::neKeepBoth;
    task.ActiveFrom = "2026-12-01";
    task.ActiveUntil = "2027-03-31";
    task.MoreFilters = {"Excel workbook", "PDF file"};
    task.MailTo = "Ops <ops@example.org>, b@example.org";
    task.MailWhen = 2;
    task.RetryCount = 3;
    task.RetryMinutes = 10;
    task.SkipEmpty = 1;
    task.TimeZone = "America/New_York";
    task.ExcludeCalendar = "Holidays";
    // A URL may hold ";": targets are kept a line each.
    const std::vector<std::string> targets{"smb://nas/r;1 credential=office",
                                           "https://h.example/x kind=slack"};
    task.Targets = targets;
    Save();
    TValues stored = StoredValues(*Registry(), ItemPath(0));
    EXPECT_THAT(TValues(stored.end() - 4, stored.end()),
                ElementsAre(TStoredValue{"SkipEmpty", rdInteger, "1"},
                            TStoredValue{"TimeZone", rdString, "America/New_York"},
                            TStoredValue{"ExcludeCalendar", rdString, "Holidays"},
                            TStoredValue{"Targets", rdString,
                                         "smb://nas/r;1 credential=office\n"
                                         "https://h.example/x kind=slack"}));
    stored.resize(stored.size() - 4);
    EXPECT_THAT(TValues(stored.end() - 11, stored.end()),
                ElementsAre(TStoredValue{"RunMissed", rdInteger, "1"},
                            TStoredValue{"KeepFiles", rdInteger, "7"},
                            TStoredValue{"NamePattern", rdString, "{due:yyyy}/{report}"},
                            TStoredValue{"NameExists", rdInteger, "1"},
                            TStoredValue{"ActiveFrom", rdString, "2026-12-01"},
                            TStoredValue{"ActiveUntil", rdString, "2027-03-31"},
                            TStoredValue{"MoreFilters", rdString, "Excel workbook;PDF file"},
                            TStoredValue{"MailTo", rdString, task.MailTo},
                            TStoredValue{"MailWhen", rdInteger, "2"},
                            TStoredValue{"RetryCount", rdInteger, "3"},
                            TStoredValue{"RetryMinutes", rdInteger, "10"}));
    Restart();
    Load();
    EXPECT_TRUE(Task(0).RunMissed);
    EXPECT_EQ(Task(0).KeepFiles, 7);
    EXPECT_EQ(Task(0).NamePattern, "{due:yyyy}/{report}");
    EXPECT_EQ(Task(0).NameExists, morvid::neKeepBoth);
    EXPECT_EQ(Task(0).ActiveFrom, "2026-12-01");
    EXPECT_EQ(Task(0).ActiveUntil, "2027-03-31");
    EXPECT_THAT(Task(0).MoreFilters, ElementsAre("Excel workbook", "PDF file"));
    EXPECT_EQ(Task(0).MailTo, "Ops <ops@example.org>, b@example.org");
    EXPECT_EQ(Task(0).MailWhen, 2);
    EXPECT_TRUE(Task(0).MailCc.empty());
    EXPECT_EQ(Task(0).RetryCount, 3);
    EXPECT_EQ(Task(0).RetryMinutes, 10);
    EXPECT_EQ(Task(0).SkipEmpty, 1);
    EXPECT_EQ(Task(0).TimeZone, "America/New_York");
    EXPECT_EQ(Task(0).ExcludeCalendar, "Holidays");
    EXPECT_EQ(Task(0).Targets, targets);

    const struct {
        const char* Case;
        TValues Added;
        bool RunMissed;
        int KeepFiles;
        int NameExists = morvid::neReplace;
        std::vector<std::string> MoreFilters = {};
    } cases[] = {
        {"negative count", {{"KeepFiles", rdInteger, "-3"}}, false, 0},
        {"negative retries are none", {{"RetryCount", rdInteger, "-2"}}, false, 0},
        {"option of another type", {{"RunMissed", rdString, "1"}}, false, 0},
        {"any non-zero is on", {{"RunMissed", rdInteger, "2"}}, true, 0},
        {"empty identity", {{"Id", rdString, ""}}, false, 0},
        {"an unknown choice never replaces", {{"NameExists", rdInteger, "7"}}, false, 0, 1},
        {"a choice of another type", {{"NameExists", rdString, "1"}}, false, 0, 0},
        {"empty formats are no formats",
         {{"MoreFilters", rdString, ";HTML file;;CSV file;"}},
         false,
         0,
         0,
         {"HTML file", "CSV file"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        Restart();
        Registry()->DeleteKey(Schedules);
        StoreValues(*Registry(), ItemPath(0), With(StoredTask("t"), c.Added));
        Load();
        ASSERT_EQ(RowCount(), 1);
        EXPECT_EQ(Task(0).RunMissed, c.RunMissed);
        EXPECT_EQ(Task(0).KeepFiles, c.KeepFiles);
        EXPECT_EQ(Task(0).NameExists, c.NameExists);
        EXPECT_EQ(Task(0).MoreFilters, c.MoreFilters);
        EXPECT_EQ(Task(0).RetryCount, 0);
        EXPECT_FALSE(Task(0).Id.empty());
    }
}

TEST_F(MorvidSettingsTest, StoredParametersLoadByTheirCountAndPresence) {
    const TValues params = {
        {"ParamType0", rdInteger, "1"}, {"Param0", rdInteger, "5"},
        {"ParamType1", rdInteger, "1"}, {"Param1", rdInteger, "6"},
        {"ParamType2", rdInteger, "2"}, {"Param2", rdInteger, "1"},
    };
    using TParam = std::pair<int, rtl::TVariant>;
    const struct {
        const char* Case;
        TValues Stored;
        std::vector<TParam> Loaded;
    } cases[] = {
        {"all three", With({{"ParamCount", rdInteger, "3"}}, params), {{1, 5}, {1, 6}, {2, true}}},
        {"count below what is stored",
         With({{"ParamCount", rdInteger, "2"}}, params),
         {{1, 5}, {1, 6}}},
        {"no count", params, {}},
        {"negative count", With({{"ParamCount", rdInteger, "-1"}}, params), {}},
        {"huge count",
         With({{"ParamCount", rdInteger, std::to_string(INT_MAX)}}, params),
         {{1, 5}, {1, 6}, {2, true}}},
        {"a value missing moves the rest up",
         Without(With({{"ParamCount", rdInteger, "3"}}, params), "Param1"),
         {{1, 5}, {2, true}}},
        {"a type missing moves the rest up",
         Without(With({{"ParamCount", rdInteger, "3"}}, params), "ParamType0"),
         {{1, 6}, {2, true}}},
        {"a type of another kind without its value is skipped unread",
         Replacing(Without(With({{"ParamCount", rdInteger, "3"}}, params), "Param1"),
                   {"ParamType1", rdString, "Number"}),
         {{1, 5}, {2, true}}},
        {"period words are strings",
         With({{"ParamCount", rdInteger, "2"},
               {"ParamType0", rdInteger, "5"},
               {"Param0", rdString, "last-month-end"},
               {"ParamType1", rdInteger, "6"},
               {"Param1", rdString, "due-time"}},
              {}),
         {{5, rtl::TVariant("last-month-end")}, {6, rtl::TVariant("due-time")}}},
        {"the low eight bits are the code",
         Replacing(Replacing(With({{"ParamCount", rdInteger, "1"}}, params),
                             {"ParamType0", rdInteger, "0x103"}),
                   {"Param0", rdBinary, "46084"}),
         {{3, 46084.0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        Restart();
        Registry()->DeleteKey(Schedules);
        StoreValues(*Registry(), ItemPath(0),
                    With(Without(StoredTask("p"), "ParamCount"), c.Stored));
        Load();
        ASSERT_EQ(RowCount(), 1);
        std::vector<TParam> loaded;
        for (const morvid::TReportParam& param : Task(0).Params) {
            loaded.emplace_back(param.ParamType, param.Value);
        }
        EXPECT_EQ(loaded, c.Loaded);
    }
}

TEST_F(MorvidSettingsTest, AParameterOfAnUnknownCodeKeepsItsPlaceThroughEveryRoundTrip) {
    StoreValues(
        *Registry(), ItemPath(0),
        With(Without(StoredTask("odd"), "ParamCount"), {{"ParamCount", rdInteger, "3"},
                                                        {"ParamType0", rdInteger, "1"},
                                                        {"Param0", rdInteger, "5"},
                                                        {"ParamType1", rdInteger, "9"},
                                                        {"Param1", rdString, "kept nowhere"},
                                                        {"ParamType2", rdInteger, "1"},
                                                        {"Param2", rdInteger, "6"}}));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Restart();
        Load();
        ASSERT_EQ(RowCount(), 1);
        const morvid::TReportParams& params = Task(0).Params;
        ASSERT_EQ(params.size(), 3u);
        EXPECT_EQ(params[1].ParamType, 9);
        EXPECT_TRUE(params[1].Value.IsEmpty());
        EXPECT_EQ(params[2].Value, rtl::TVariant(6));
        Save();
        const TValues stored = StoredValues(*Registry(), ItemPath(0));
        EXPECT_THAT(Without(Without(TValues(stored.begin() + 6, stored.end()), "Id"), "Created"),
                    ElementsAre(TStoredValue{"ParamCount", rdInteger, "3"},
                                TStoredValue{"ParamType0", rdInteger, "1"},
                                TStoredValue{"Param0", rdInteger, "5"},
                                TStoredValue{"ParamType1", rdInteger, "9"},
                                TStoredValue{"ParamType2", rdInteger, "1"},
                                TStoredValue{"Param2", rdInteger, "6"}));
    }
}

TEST_F(MorvidSettingsTest, TaskKeysWithGapsAllLoadInTheOrderOfTheirNumbers) {
    for (const int number : {10, 2, 0, 7}) {
        StoreValues(*Registry(), ItemPath(number), StoredTask("task " + std::to_string(number)));
    }
    StoreValues(*Registry(), Schedules + "\\Notes", {{"Name", rdString, "not a task"}});
    Load();
    EXPECT_THAT(Names(), ElementsAre("task 0", "task 2", "task 7", "task 10"));
    Save();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(StoredValues(*Registry(), ItemPath(i))[0].Data, Names()[i]);
    }
    EXPECT_FALSE(KeyExists(ItemPath(7)));
    EXPECT_FALSE(KeyExists(ItemPath(10)));
}

TEST(TaskKeyNames, OnlyItemKeysCountAndTheyOrderByNumber) {
    EXPECT_THAT(
        morvid::TaskKeyNames({"Item10", "item2", "Item", "Item-1", "Item1x", "Notes", "ITEM0",
                              "Item00000000000000000000001", "Item99999999999999999999"}),
        ElementsAre("ITEM0", "Item00000000000000000000001", "item2", "Item10",
                    "Item99999999999999999999"));
}

// Stored: a good task, a damaged one, another good one. The load stops at the damage; a save
// afterwards must write back what the load did not read.
TEST_F(MorvidSettingsTest, AFailedLoadLosesNoStoredTask) {
    const TValues paramsOk =
        With(Without(StoredTask("broken"), "ParamCount"), {{"ParamCount", rdInteger, "1"},
                                                           {"ParamType0", rdInteger, "1"},
                                                           {"Param0", rdInteger, "5"}});
    const struct {
        const char* Case;
        TValues Broken;
        TValues Window;
        std::vector<std::string> Listed;
    } cases[] = {
        {"Enabled missing", Without(StoredTask("broken"), "Enabled"), {}, {"good 0"}},
        {"ReportId of another type",
         Replacing(StoredTask("broken"), {"ReportId", rdString, "12"}),
         {},
         {"good 0"}},
        {"LastRun of another type",
         With(StoredTask("broken"), {{"LastRun", rdString, "yesterday"}}),
         {},
         {"good 0"}},
        {"ParamType of another type after the row was added",
         Replacing(paramsOk, {"ParamType0", rdString, "1"}),
         {},
         {"good 0"}},
        {"typed Param of another type after the row was added",
         Replacing(paramsOk, {"Param0", rdString, "five"}),
         {},
         {"good 0"}},
        {"window value of another type",
         StoredTask("fine"),
         {{"Height", rdInteger, "400"}, {"Width", rdString, "wide"}},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        Restart();
        Registry()->DeleteKey(Root);
        const std::vector<TValues> stored = {StoredTask("good 0"), c.Broken, StoredTask("good 2")};
        for (int i = 0; i < 3; ++i) {
            StoreValues(*Registry(), ItemPath(i), stored[i]);
        }
        if (!c.Window.empty()) {
            StoreValues(*Registry(), Root + "\\Settings\\Morvid\\Window", c.Window);
        }

        EXPECT_THROW(Load(), host::ERegistryException);
        EXPECT_EQ(Names(), c.Listed);
        // No half-read task is left behind, listed or not.
        EXPECT_EQ(Plugin->EventList->Count(), RowCount());

        Save();
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(Without(Without(StoredValues(*Registry(), ItemPath(i)), "Id"), "Created"),
                      stored[i])
                << "Item" << i;
        }
        EXPECT_FALSE(KeyExists(ItemPath(3)));
    }
}

TEST_F(MorvidSettingsTest, UnreadTasksFollowTheListedOnesUntilALoadReadsThem) {
    StoreValues(*Registry(), ItemPath(0), StoredTask("listed"));
    StoreValues(*Registry(), ItemPath(1), Without(StoredTask("damaged"), "ReportId"));
    StoreValues(*Registry(), ItemPath(2), StoredTask("after"));
    EXPECT_THROW(Load(), host::ERegistryException);
    AddTask("new", true);
    DeleteRow(0); // "listed": the user's delete is the one way a stored task goes
    Save();
    Save(); // and again: what was not read is still kept
    EXPECT_EQ(StoredValues(*Registry(), ItemPath(0))[0].Data, "new");
    EXPECT_EQ(StoredValues(*Registry(), ItemPath(1)), Without(StoredTask("damaged"), "ReportId"));
    EXPECT_EQ(StoredValues(*Registry(), ItemPath(2)), StoredTask("after"));
    EXPECT_FALSE(KeyExists(ItemPath(3)));

    // Repaired, the kept tasks load like any other, and are then saved as listed tasks.
    ASSERT_TRUE(Registry()->OpenKey(ItemPath(1), false));
    Registry()->WriteInteger("ReportId", 3);
    Registry()->CloseKey();
    Restart();
    Load();
    EXPECT_THAT(Names(), ElementsAre("new", "damaged", "after"));
    Save();
    EXPECT_FALSE(KeyExists(ItemPath(3)));
}

TEST_F(MorvidSettingsTest, AFailedSaveLeavesTheStoredSettingsAsTheyWere) {
    AddTask("stored 1", true).AddParam(morvid::rpNumber, 1);
    AddTask("stored 2", false);
    Save();
    const morvid::TRegKeySnapshot before = StoredTree();
    AddTask("added", true).AddParam(morvid::rpText, "x");
    DeleteRow(0);

    int failAt = 1;
    for (;; ++failAt) {
        int writes = 0;
        Registry()->OnWrite = [&] {
            if (++writes == failAt) {
                throw host::ERegistryException("disk full");
            }
        };
        try {
            Save();
            break;
        } catch (const host::ERegistryException&) {
            Registry()->OnWrite = nullptr;
            ASSERT_EQ(StoredTree(), before) << "failing write " << failAt;
        }
    }
    Registry()->OnWrite = nullptr;
    EXPECT_GT(failAt, 10);
    EXPECT_EQ(StoredValues(*Registry(), ItemPath(0))[0].Data, "stored 2");
    EXPECT_EQ(StoredValues(*Registry(), ItemPath(1))[0].Data, "added");
}

TEST_F(MorvidSettingsTest, LoadingRestoresTheWindowPlacementInsteadOfCentring) {
    const host::TFormPlacement stored{130, 90, 700, 420};
    Window().SetPlacement(stored);
    Save();
    EXPECT_THAT(StoredValues(*Registry(), Root + "\\Settings\\Morvid\\Window"),
                ElementsAre(TStoredValue{"Height", rdInteger, "420"},
                            TStoredValue{"Width", rdInteger, "700"},
                            TStoredValue{"Top", rdInteger, "90"},
                            TStoredValue{"Left", rdInteger, "130"}));
    Restart();
    ASSERT_FALSE(Window().HasPlacement());
    Load();
    EXPECT_TRUE(Window().HasPlacement());
    Window().ShowReportsWindow();
    EXPECT_EQ(Window().Placement(), stored);
}

TEST_F(MorvidSettingsTest, AWindowNeverShownKeepsWhatIsStored) {
    const std::string windowKey = Root + "\\Settings\\Morvid\\Window";
    // Nothing stored, never shown: nothing is stored, so the next start centres the window.
    Save();
    EXPECT_TRUE(StoredValues(*Registry(), windowKey).empty());
    // Stored, loaded, never shown: the stored placement stays as it was.
    const TValues stored = {{"Height", rdInteger, "420"},
                            {"Width", rdInteger, "700"},
                            {"Top", rdInteger, "90"},
                            {"Left", rdInteger, "130"}};
    StoreValues(*Registry(), windowKey, stored);
    Restart();
    Load();
    Save();
    EXPECT_EQ(StoredValues(*Registry(), windowKey), stored);
}

TEST_F(MorvidSettingsTest, TheListsColumnChoiceIsStoredWithTheWindow) {
    const std::string windowKey = Root + "\\Settings\\Morvid\\Window";
    // A window stored before the choice existed loads with the default columns.
    StoreValues(*Registry(), windowKey,
                {{"Height", rdInteger, "420"},
                 {"Width", rdInteger, "700"},
                 {"Top", rdInteger, "90"},
                 {"Left", rdInteger, "130"}});
    Load();
    EXPECT_EQ(Window().HiddenColumns(), "Report,Format,Export path");
    EXPECT_EQ(Window().Placement().Width, 700);

    // A choice the user made is stored and comes back, an empty one as well.
    for (const char* hidden : {"Schedule,Export path", ""}) {
        Window().SetHiddenColumns(hidden);
        Save();
        ASSERT_EQ(StoredValues(*Registry(), windowKey).back().Name, "HiddenColumns");
        Restart();
        Load();
        EXPECT_EQ(Window().HiddenColumns(), hidden);
    }
}

TEST_F(MorvidSettingsTest, TheWindowsIconSizeFollowsTheHostToolbarOnLoadAndSave) {
    for (const bool save : {false, true}) {
        for (const bool large : {false, true}) {
            SCOPED_TRACE(testing::Message() << (save ? "save" : "load") << ", large " << large);
            Host.BarManager.SetLargeIcons(large);
            Window().dxBarManager1->SetLargeIcons(!large);
            Plugin->HandleSettings(*Registry(), Root, save);
            EXPECT_EQ(Window().dxBarManager1->LargeIcons(), large);
        }
    }
}

TEST_F(MorvidSettingsTest, AHostWithoutAMainToolbarLeavesTheIconSizeAlone) {
    Host.Client.Objects.Unregister(host::MainToolbarObjectName);
    Window().dxBarManager1->SetLargeIcons(true);
    Save();
    Load();
    EXPECT_TRUE(Window().dxBarManager1->LargeIcons());
}

} // namespace
} // namespace plugintest
