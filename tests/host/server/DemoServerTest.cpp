#include "ServerTestSupport.h"
#include "platform/host/server/ReportDefinition.h"

#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <thread>

using namespace morvid::test;
using host::CreateDemoServer;
using host::TDemoServerOptions;

namespace {

std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

TEST(DemoServerTest, SizeFollowsTheOptions) {
    const struct {
        int Days, AlarmsPerDay, AccessEventsPerDay, OperatorActionsPerDay, Sites;
    } cases[] = {{1, 10, 0, 0, 1}, {7, 0, 20, 3, 2}, {30, 25, 5, 1, 12}, {90, 3, 1, 0, 4}};
    TScratchDir dir;
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(n);
        TDemoServerOptions options;
        options.Days = c.Days;
        options.AlarmsPerDay = c.AlarmsPerDay;
        options.AccessEventsPerDay = c.AccessEventsPerDay;
        options.OperatorActionsPerDay = c.OperatorActionsPerDay;
        options.Sites = c.Sites;
        const std::string path = dir.File("size" + std::to_string(n++) + ".db");
        ASSERT_TRUE(CreateDemoServer(path, DemoNow(), options));

        EXPECT_EQ(QueryNumber(path, "SELECT count(*) FROM alarms"),
                  std::int64_t(c.Days) * c.AlarmsPerDay);
        EXPECT_EQ(QueryNumber(path, "SELECT count(*) FROM sites"), c.Sites);
        EXPECT_EQ(QueryNumber(path, "SELECT count(*) FROM access_events") > 0,
                  c.AccessEventsPerDay > 0);
        // Acknowledging and closing leave their own lines besides the other actions.
        EXPECT_GE(QueryNumber(path, "SELECT count(*) FROM operator_log"),
                  std::int64_t(c.Days) * c.OperatorActionsPerDay);
        for (const char* kind : {"doors", "cameras", "sensors"}) {
            EXPECT_GE(QueryNumber(path, std::string("SELECT count(*) FROM ") + kind), c.Sites)
                << kind;
        }
        const std::string start = std::to_string(DemoNow() - c.Days);
        const std::string end = std::to_string(DemoNow());
        for (const char* table : {"alarms WHERE raised_at", "access_events WHERE occurred_at",
                                  "operator_log WHERE occurred_at"}) {
            const std::string column = std::string(table).substr(std::string(table).rfind(' '));
            EXPECT_EQ(QueryNumber(path, std::string("SELECT count(*) FROM ") + table + " < " +
                                            start + " OR " + column + " > " + end),
                      0)
                << table;
        }
    }
}

TEST(DemoServerTest, AlarmsArePlausible) {
    TScratchDir dir;
    const std::string path = dir.File("server.db");
    ASSERT_TRUE(CreateDemoServer(path, DemoNow(), SmallDemoOptions()));
    const std::string now = std::to_string(DemoNow());
    // Each query counts rows that break a rule of the data; all must be zero.
    const char* rules[] = {
        "SELECT count(*) FROM alarms WHERE acknowledged AND (ack_at IS NULL OR ack_at < raised_at "
        "OR ack_operator_id IS NULL)",
        "SELECT count(*) FROM alarms WHERE NOT acknowledged AND (ack_at IS NOT NULL OR "
        "ack_operator_id IS NOT NULL OR state <> 'Active')",
        "SELECT count(*) FROM alarms WHERE (state = 'Closed') <> (closed_at IS NOT NULL)",
        "SELECT count(*) FROM alarms WHERE state = 'Closed' AND (NOT acknowledged OR closed_at < "
        "ack_at)",
        "SELECT count(*) FROM alarms a LEFT JOIN objects o ON o.id = a.object_id WHERE o.id IS "
        "NULL",
        "SELECT count(*) FROM alarms WHERE priority NOT BETWEEN 1 AND 4",
        "SELECT count(*) FROM access_events e LEFT JOIN doors d ON d.id = e.door_id WHERE d.id IS "
        "NULL",
        "SELECT count(*) FROM access_events WHERE card_holder_id IS NULL AND granted",
        "SELECT count(*) FROM objects o WHERE (state = 'Alarm') <> EXISTS (SELECT 1 FROM alarms a "
        "WHERE a.object_id = o.id AND a.state = 'Active')",
        "SELECT count(*) FROM operator_log l LEFT JOIN operators o ON o.id = l.operator_id WHERE "
        "o.id IS NULL",
    };
    for (const char* rule : rules) {
        EXPECT_EQ(QueryNumber(path, rule), 0) << rule;
    }
    // Some of everything a report wants to show.
    for (const char* some : {"SELECT count(*) FROM alarms WHERE state = 'Active'",
                             "SELECT count(*) FROM alarms WHERE state = 'Closed'",
                             "SELECT count(*) FROM access_events WHERE NOT granted",
                             "SELECT count(DISTINCT priority) = 4 FROM alarms",
                             "SELECT count(*) FROM objects WHERE state <> 'Normal'"}) {
        EXPECT_GT(QueryNumber(path, some), 0) << some;
    }
    EXPECT_EQ(QueryNumber(path, "SELECT max(raised_at) <= " + now + " FROM alarms"), 1);
}

TEST(DemoServerTest, SameSeedAndNowGiveTheSameServer) {
    TScratchDir dir;
    TDemoServerOptions options = SmallDemoOptions();
    ASSERT_TRUE(CreateDemoServer(dir.File("a.db"), DemoNow(), options));
    ASSERT_TRUE(CreateDemoServer(dir.File("b.db"), DemoNow(), options));
    options.Seed += 1;
    ASSERT_TRUE(CreateDemoServer(dir.File("c.db"), DemoNow(), options));
    ASSERT_TRUE(CreateDemoServer(dir.File("d.db"), DemoNow() + 1, SmallDemoOptions()));
    const std::uint64_t a = DatabaseChecksum(dir.File("a.db"));
    EXPECT_EQ(DatabaseChecksum(dir.File("b.db")), a);
    EXPECT_NE(DatabaseChecksum(dir.File("c.db")), a);
    EXPECT_NE(DatabaseChecksum(dir.File("d.db")), a);
}

TEST(DemoServerTest, AnExistingFileIsKept) {
    TScratchDir dir;
    const std::string server = dir.File("server.db");
    ASSERT_TRUE(CreateDemoServer(server, DemoNow(), SmallDemoOptions()));
    const std::uint64_t before = DatabaseChecksum(server);
    TDemoServerOptions other = SmallDemoOptions();
    other.Seed = 99;
    EXPECT_FALSE(CreateDemoServer(server, DemoNow() + 3, other));
    EXPECT_EQ(DatabaseChecksum(server), before);

    // Not even something that is no database is replaced.
    const std::string notes = dir.File("notes.db");
    std::ofstream(notes) << "keep me";
    EXPECT_FALSE(CreateDemoServer(notes, DemoNow(), SmallDemoOptions()));
    std::ifstream in(notes);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "keep me");

    auto db = host::OpenDemoServer(server, DemoNow(), other);
    EXPECT_EQ(DatabaseChecksum(server), before);
    EXPECT_EQ(FolderEntries(dir.Path()).size(), 2u); // no temporary files left behind
}

TEST(DemoServerTest, FailureLeavesNoFile) {
    TScratchDir dir;
    EXPECT_ANY_THROW(CreateDemoServer(dir.File("missing/server.db"), DemoNow()));
    EXPECT_TRUE(FolderEntries(dir.Path()).empty());

    const struct {
        const char* Name;
        void (*Spoil)(TDemoServerOptions&);
    } invalid[] = {
        {"Days", [](TDemoServerOptions& o) { o.Days = 0; }},
        {"Days", [](TDemoServerOptions& o) { o.Days = 100000; }},
        {"AlarmsPerDay", [](TDemoServerOptions& o) { o.AlarmsPerDay = -1; }},
        {"AccessEventsPerDay", [](TDemoServerOptions& o) { o.AccessEventsPerDay = -5; }},
        {"OperatorActionsPerDay", [](TDemoServerOptions& o) { o.OperatorActionsPerDay = -1; }},
        {"Sites", [](TDemoServerOptions& o) { o.Sites = 0; }},
    };
    for (const auto& c : invalid) {
        TDemoServerOptions options;
        c.Spoil(options);
        try {
            CreateDemoServer(dir.File("server.db"), DemoNow(), options);
            ADD_FAILURE() << c.Name << " accepted";
        } catch (const rtl::EConvertError& e) {
            EXPECT_NE(e.Message().find(c.Name), std::string::npos) << e.Message();
        }
    }
    EXPECT_TRUE(FolderEntries(dir.Path()).empty());
}

TEST(DemoServerTest, RacingCreatorsLeaveOneCompleteServer) {
    TScratchDir dir;
    const std::string path = dir.File("server.db");
    constexpr int Creators = 4;
    std::vector<int> created(Creators, -1);
    {
        std::vector<std::jthread> threads;
        for (int i = 0; i < Creators; ++i) {
            threads.emplace_back([&, i] {
                TDemoServerOptions options = SmallDemoOptions();
                options.Seed = 1000 + std::uint64_t(i);
                created[std::size_t(i)] = CreateDemoServer(path, DemoNow(), options) ? 1 : 0;
            });
        }
    }
    int winners = 0;
    for (const int c : created) {
        winners += c;
    }
    EXPECT_EQ(winners, 1);
    EXPECT_EQ(QueryNumber(path, "SELECT count(*) FROM alarms"),
              std::int64_t(SmallDemoOptions().Days) * SmallDemoOptions().AlarmsPerDay);
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"server.db"});
}

TEST(DemoServerTest, DefinesTypedReports) {
    TScratchDir dir;
    const std::string path = dir.File("server.db");
    ASSERT_TRUE(CreateDemoServer(path, DemoNow(), SmallDemoOptions()));
    host::TSqliteDatabase db(path, host::TSqliteDatabase::TOpenMode::ReadOnly);
    const auto definitions = host::LoadReportDefinitions(db);
    std::set<std::string> names;
    std::set<host::TReportParamType> types;
    std::set<std::string> defaults;
    for (const auto& d : definitions) {
        names.insert(d.Name);
        for (const auto& p : d.Params) {
            types.insert(p.Type);
            if (p.Default) {
                defaults.insert(*p.Default);
            }
        }
    }
    for (const char* name :
         {"Alarm summary", "Alarm log", "Daily visits", "Object status", "Operator actions"}) {
        EXPECT_TRUE(names.count(name)) << name;
    }
    EXPECT_EQ(types.size(), 5u);
    for (const char* relative : {"today", "yesterday", "today-7", "month-start", "year-start"}) {
        EXPECT_TRUE(defaults.count(relative)) << relative;
    }
}

} // namespace
