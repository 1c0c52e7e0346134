#include "platform/host/server/ServerReportLoader.h"

#include "ServerTestSupport.h"
#include "platform/host/server/ServerReport.h"

#include <gtest/gtest.h>

using namespace morvid::test;

namespace {

TEST(ServerReportLoaderTest, FillsTheListWithTheServersReports) {
    TScratchDir dir;
    const std::string path = dir.File("server.db");
    ASSERT_TRUE(host::CreateDemoServer(path, DemoNow(), SmallDemoOptions()));

    host::TSysObjectList list;
    list.Add(std::make_unique<host::TCustomSysObject>(-1, "Host object"));
    EXPECT_EQ(host::LoadServerReports(path, list), 6);
    ASSERT_EQ(list.Count(), 7);
    EXPECT_EQ(list.Items(0)->Name, "Host object"); // appended, nothing replaced

    const std::pair<std::int32_t, const char*> expected[] = {
        {1, "Alarm summary"}, {2, "Alarm log"},        {3, "Daily visits"},
        {4, "Object status"}, {5, "Operator actions"}, {6, "Card holder trail"}};
    int index = 0;
    host::TClientReport* report = nullptr;
    for (const auto& [id, name] : expected) {
        ASSERT_TRUE(list.ForEach(index, report));
        EXPECT_EQ(report->Id, id);
        EXPECT_EQ(report->Name, name);
        host::TCustomSysObject* found = nullptr;
        ASSERT_TRUE(list.FindById(id, found));
        EXPECT_EQ(found, report);
    }
    EXPECT_FALSE(list.ForEach(index, report));
    auto* alarmLog = dynamic_cast<host::TServerReport*>(list.Items(2));
    ASSERT_NE(alarmLog, nullptr);
    EXPECT_EQ(alarmLog->Definition().Params.size(), 5u);
}

TEST(ServerReportLoaderTest, NoServerNoReports) {
    TScratchDir dir;
    std::filesystem::create_directories(dir.Path());
    {
        // A database, but not a server's.
        host::TSqliteDatabase other(dir.File("other.db"), host::TSqliteDatabase::TOpenMode::Create);
        other.Exec("CREATE TABLE t (a)");
    }
    for (const std::string& path : {dir.File("missing.db"), dir.File("other.db")}) {
        SCOPED_TRACE(path);
        host::TSysObjectList list;
        EXPECT_THROW(host::LoadServerReports(path, list), host::ESqliteError);
        EXPECT_EQ(list.Count(), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.db"))); // read-only: never created
}

TEST(ServerReportLoaderTest, ReportsOutliveTheirList) {
    TScratchDir dir;
    const std::string path = dir.File("server.db");
    ASSERT_TRUE(host::CreateDemoServer(path, DemoNow(), SmallDemoOptions()));
    std::unique_ptr<host::TCustomSysObject> kept;
    {
        auto database = std::make_shared<host::TSqliteDatabase>(
            path, host::TSqliteDatabase::TOpenMode::ReadOnly);
        host::TSysObjectList list;
        host::LoadServerReports(database, list);
        kept = std::make_unique<host::TServerReport>(
            dynamic_cast<host::TServerReport*>(list.Items(3))->Definition(), database);
    }
    TFixedClockScope clock(DemoNow());
    std::unique_ptr<rtl::TComponent> window;
    EXPECT_TRUE(dynamic_cast<host::TServerReport&>(*kept).BuildPreview({}, window));
    EXPECT_NE(window, nullptr);
}

} // namespace
