#include "platform/host/server/ServerReport.h"

#include "ServerTestSupport.h"
#include "platform/host/core/ReportParamInfo.h"
#include "platform/host/server/ParameterPrompter.h"
#include "platform/host/server/ReportParameterValue.h"
#include "platform/host/server/ServerReportLoader.h"

#include <gtest/gtest.h>
#include <map>

using namespace morvid::test;
using host::TfrxReport;
using host::TParameterRequest;
using host::TReportParamType;
using host::TServerReport;
using rtl::EncodeDate;
using rtl::TVariant;

namespace {

// Element 0 stands for the caller's export filter collection; the report does not use it.
std::vector<TVariant> Args(std::vector<TVariant> values = {}) {
    values.insert(values.begin(), TVariant(std::int32_t(0x5EED)));
    return values;
}

class ServerReportTest : public TDemoServerSuite {
protected:
    void SetUp() override { Load(DemoPath()); }

    void Load(const std::string& path) {
        Reports.Clear();
        host::LoadServerReports(path, Reports);
    }

    TServerReport& Report(const std::string& name) {
        int index = 0;
        TServerReport* report = nullptr;
        while (Reports.ForEach(index, report)) {
            if (report->Name == name) {
                return *report;
            }
        }
        throw std::runtime_error("no report " + name);
    }

    // Runs the report, expecting a prepared report, and keeps the window alive for the test.
    TfrxReport& Run(const std::string& name, const std::vector<TVariant>& arguments = Args()) {
        std::unique_ptr<rtl::TComponent> window;
        EXPECT_TRUE(Report(name).BuildPreview(arguments, window));
        if (window == nullptr) {
            throw std::runtime_error("no preview window");
        }
        auto* report = dynamic_cast<TfrxReport*>(window->FindComponent("Report"));
        if (report == nullptr) {
            throw std::runtime_error("no component \"Report\"");
        }
        Windows.push_back(std::move(window));
        return *report;
    }

    static std::map<std::string, std::string> ParameterMap(const TfrxReport& report) {
        std::map<std::string, std::string> values;
        for (const auto& p : report.Parameters) {
            values[p.Name] = p.DisplayValue;
        }
        return values;
    }

    static int Column(const TfrxReport& report, const std::string& caption) {
        for (std::size_t i = 0; i < report.Columns.size(); ++i) {
            if (report.Columns[i].Caption == caption) {
                return static_cast<int>(i);
            }
        }
        throw std::runtime_error("no column " + caption);
    }

    // A card holder who went through a door in the last few days of the demo data.
    static std::string RecentCardHolder() {
        host::TSqliteDatabase db(DemoPath(), host::TSqliteDatabase::TOpenMode::ReadOnly);
        host::TSqliteStatement q = db.Prepare(
            "SELECT h.name FROM access_events e JOIN card_holders h ON h.id = e.card_holder_id "
            "WHERE e.occurred_at >= ? ORDER BY e.id LIMIT 1");
        q.BindDouble(1, rtl::DateOf(DemoNow()) - 3);
        q.Step();
        return q.ColumnText(0);
    }

    TFixedClockScope Clock{DemoNow()};
    host::TSysObjectList Reports;
    std::vector<std::unique_ptr<rtl::TComponent>> Windows;
};

struct TDefaultsCase {
    const char* Name;
    std::vector<std::string> Columns;
    std::map<std::string, std::string> Parameters; // as displayed for DemoNow()
    const char* DateColumn;                        // must lie within From..To, or nullptr
};

TEST_F(ServerReportTest, EveryReportRunsWithItsDefaults) {
    const std::string holder = RecentCardHolder();
    host::TParameterPrompterScope prompter(
        [&](const std::string&, std::vector<TParameterRequest>& requests) {
            for (auto& r : requests) {
                r.Value = TVariant(holder);
            }
            return true;
        });
    const TDefaultsCase cases[] = {
        {"Alarm summary",
         {"Site", "Priority", "Alarms", "Acknowledged", "Open", "Minutes to acknowledge"},
         {{"From", "2026-01-01"}, {"To", "2026-03-04"}, {"Minimum priority", "1"}},
         nullptr},
        {"Alarm log",
         {"Raised", "Site", "Object", "Alarm", "Priority", "State", "Acknowledged",
          "Acknowledged by", "Acknowledged at"},
         {{"From", "2026-02-25"},
          {"To", "2026-03-04"},
          {"Site", "All"},
          {"Minimum priority", "1"},
          {"Open alarms only", "No"}},
         "Raised"},
        {"Daily visits",
         {"Day", "Site", "Door", "Granted", "Denied", "Visitors"},
         {{"From", "2026-03-01"},
          {"To", "2026-03-04"},
          {"From time", "00:00:00"},
          {"To time", "23:59:59"},
          {"Site", "All"}},
         "Day"},
        {"Object status",
         {"Site", "Kind", "Object", "State", "Since", "Open alarms"},
         {{"Site", "All"}, {"Object kind", "All"}, {"Faults only", "No"}},
         nullptr},
        {"Operator actions",
         {"Time", "Operator", "Action", "Object", "Details"},
         {{"From", "2026-03-03"}, {"To", "2026-03-04"}, {"Operator", "All"}},
         "Time"},
        {"Card holder trail",
         {"Time", "Card holder", "Card", "Site", "Door", "Granted", "Reason"},
         {{"Card holder", holder}, {"From", "2026-02-25"}, {"To", "2026-03-04"}},
         "Time"},
    };
    for (const TDefaultsCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TfrxReport& report = Run(c.Name);
        EXPECT_EQ(report.Title, c.Name);
        EXPECT_EQ(report.RunTime, DemoNow());
        EXPECT_EQ(ParameterMap(report), c.Parameters);
        std::vector<std::string> captions;
        for (const auto& column : report.Columns) {
            captions.push_back(column.Caption);
        }
        EXPECT_EQ(captions, c.Columns);
        ASSERT_FALSE(report.Rows.empty());
        for (const auto& row : report.Rows) {
            ASSERT_EQ(row.size(), report.Columns.size());
            for (std::size_t i = 0; i < row.size(); ++i) {
                if (!row[i].IsNull()) {
                    EXPECT_EQ(row[i].VarType(), report.Columns[i].Type)
                        << report.Columns[i].Caption;
                }
            }
        }
        if (c.DateColumn != nullptr) {
            rtl::TDateTime from = 0, to = 0;
            ASSERT_TRUE(rtl::TryParseDateTimeISO(c.Parameters.at("From"), from));
            ASSERT_TRUE(rtl::TryParseDateTimeISO(c.Parameters.at("To"), to));
            const int column = Column(report, c.DateColumn);
            for (const auto& row : report.Rows) {
                const double at = row[std::size_t(column)].AsDateTime();
                EXPECT_GE(at, from);
                EXPECT_LT(at, to + 1);
                EXPECT_LE(at, DemoNow());
            }
        }
    }
}

TEST_F(ServerReportTest, AlarmLogDefaultsReturnEveryAlarmOfTheWeekInOrder) {
    TfrxReport& report = Run("Alarm log");
    const std::int64_t expected =
        QueryNumber(DemoPath(), "SELECT count(*) FROM alarms WHERE raised_at >= " +
                                    std::to_string(EncodeDate(2026, 2, 25)) + " AND raised_at < " +
                                    std::to_string(EncodeDate(2026, 3, 5)));
    EXPECT_EQ(static_cast<std::int64_t>(report.Rows.size()), expected);
    for (std::size_t i = 1; i < report.Rows.size(); ++i) {
        EXPECT_LE(report.Rows[i - 1][0].AsDateTime(), report.Rows[i][0].AsDateTime());
    }
    const int acknowledged = Column(report, "Acknowledged");
    const int by = Column(report, "Acknowledged by");
    for (const auto& row : report.Rows) {
        EXPECT_EQ(row[std::size_t(acknowledged)].AsBoolean(), !row[std::size_t(by)].IsNull());
    }
}

TEST_F(ServerReportTest, ArgumentsFillTheParametersInOrder) {
    // From as a date variant, To as text, then site, priority and the open-only switch.
    TfrxReport& report = Run("Alarm log", Args({TVariant::FromDate(EncodeDate(2026, 1, 10) + 0.6),
                                                TVariant("2026-01-20"), TVariant("Data centre"),
                                                TVariant(std::int32_t(3)), TVariant(false)}));
    EXPECT_EQ(ParameterMap(report),
              (std::map<std::string, std::string>{{"From", "2026-01-10"},
                                                  {"To", "2026-01-20"},
                                                  {"Site", "Data centre"},
                                                  {"Minimum priority", "3"},
                                                  {"Open alarms only", "No"}}));
    ASSERT_FALSE(report.Rows.empty());
    for (const auto& row : report.Rows) {
        EXPECT_GE(row[0].AsDateTime(), EncodeDate(2026, 1, 10));
        EXPECT_LT(row[0].AsDateTime(), EncodeDate(2026, 1, 21));
        EXPECT_EQ(row[1].AsString(), "Data centre");
        EXPECT_GE(row[4].AsInteger(), 3);
    }
    const std::int64_t expected = QueryNumber(
        DemoPath(),
        "SELECT count(*) FROM alarms a JOIN objects o ON o.id = a.object_id JOIN sites s ON "
        "s.id = o.site_id WHERE s.name = 'Data centre' AND a.priority >= 3 AND a.raised_at >= " +
            std::to_string(EncodeDate(2026, 1, 10)) + " AND a.raised_at < " +
            std::to_string(EncodeDate(2026, 1, 21)));
    EXPECT_EQ(static_cast<std::int64_t>(report.Rows.size()), expected);
}

TEST_F(ServerReportTest, BooleanAndTimeArgumentsFilter) {
    TfrxReport& open = Run("Alarm log", Args({TVariant(EncodeDate(2026, 1, 1)), TVariant(),
                                              TVariant(), TVariant(), TVariant(true)}));
    ASSERT_FALSE(open.Rows.empty());
    for (const auto& row : open.Rows) {
        EXPECT_NE(row[5].AsString(), "Closed");
    }

    // Working hours only: fewer visits than the whole day, never more.
    TfrxReport& all = Run("Daily visits");
    TfrxReport& office =
        Run("Daily visits", Args({TVariant(), TVariant(), TVariant(0.375), TVariant("16:00")}));
    EXPECT_EQ(ParameterMap(office).at("From time"), "09:00:00");
    auto total = [](const TfrxReport& r) {
        std::int64_t sum = 0;
        for (const auto& row : r.Rows) {
            sum += row[3].AsInteger() + row[4].AsInteger();
        }
        return sum;
    };
    EXPECT_GT(total(office), 0);
    EXPECT_LT(total(office), total(all));
}

TEST_F(ServerReportTest, EmptyArgumentsTakeDefaultsAndExtraOnesAreIgnored) {
    const auto byDefault = Run("Object status").Rows;
    const auto withGaps = Run("Object status", Args({TVariant(), TVariant::Null()})).Rows;
    const auto withExtra =
        Run("Object status", Args({TVariant(""), TVariant(""), TVariant(false), TVariant(1.5),
                                   TVariant("ignored"), TVariant(true)}))
            .Rows;
    EXPECT_EQ(byDefault.size(), withGaps.size());
    EXPECT_EQ(byDefault, withExtra);
    // Only element 0, or nothing at all: every parameter takes its default.
    EXPECT_EQ(Run("Object status", {}).Rows, byDefault);
}

TEST_F(ServerReportTest, WrongArgumentTypesRaiseAnErrorNamingTheParameter) {
    const struct {
        const char* Report;
        std::vector<TVariant> Arguments;
        const char* Parameter;
    } cases[] = {
        {"Alarm log", {TVariant(true)}, "From"},
        {"Alarm log", {TVariant(), TVariant("the day after")}, "To"},
        {"Alarm log", {TVariant(), TVariant(), TVariant(std::int32_t(3))}, "Site"},
        {"Alarm log", {TVariant(), TVariant(), TVariant(), TVariant("4")}, "MinPriority"},
        {"Alarm log", {TVariant(), TVariant(), TVariant(), TVariant(), TVariant(1.0)}, "OpenOnly"},
        {"Daily visits", {TVariant(), TVariant(), TVariant("9 o'clock")}, "FromTime"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Report) + " " + c.Parameter);
        std::unique_ptr<rtl::TComponent> window;
        try {
            Report(c.Report).BuildPreview(Args(c.Arguments), window);
            ADD_FAILURE() << "no error";
        } catch (const host::EReportParameterError& e) {
            EXPECT_NE(e.Message().find(std::string("\"") + c.Parameter + "\""), std::string::npos)
                << e.Message();
        }
        EXPECT_EQ(window, nullptr);
    }
}

struct TRelativeDefaultsCase {
    rtl::TDateTime Now;
    const char* Report;
    const char* Parameter;
    const char* Shown;
};

TEST_F(ServerReportTest, RelativeDefaultsFollowTheClockAcrossMonthAndYearEnds) {
    const rtl::TDateTime newYear = rtl::EncodeDateTime(2027, 1, 1, 0, 0, 1, 0);
    const rtl::TDateTime leapMarch = rtl::EncodeDateTime(2028, 3, 1, 23, 59, 0, 0);
    const rtl::TDateTime endOfYear = rtl::EncodeDateTime(2026, 12, 31, 12, 0, 0, 0);
    const TRelativeDefaultsCase cases[] = {
        {newYear, "Alarm log", "From", "2026-12-25"},
        {newYear, "Alarm log", "To", "2027-01-01"},
        {newYear, "Operator actions", "From", "2026-12-31"},
        {newYear, "Daily visits", "From", "2027-01-01"},
        {newYear, "Alarm summary", "From", "2027-01-01"},
        {leapMarch, "Operator actions", "From", "2028-02-29"},
        {leapMarch, "Alarm log", "From", "2028-02-23"},
        {leapMarch, "Daily visits", "From", "2028-03-01"},
        {endOfYear, "Alarm summary", "From", "2026-01-01"},
        {endOfYear, "Daily visits", "From", "2026-12-01"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(rtl::FormatDateTimeISO(c.Now) + " " + c.Report + " " + c.Parameter);
        Clock.Clock().Set(c.Now);
        TfrxReport& report = Run(c.Report);
        EXPECT_EQ(ParameterMap(report).at(c.Parameter), c.Shown);
        EXPECT_EQ(report.RunTime, c.Now);
    }
}

TEST_F(ServerReportTest, HostileTextsAreValuesAndChangeNothing) {
    const std::uint64_t before = DatabaseChecksum(DemoPath());
    const char* hostile[] = {
        "'",
        "' OR '1'='1",
        "x'; DROP TABLE alarms; --",
        "\"; DELETE FROM sites; --",
        "Head office' --",
        "); UPDATE objects SET state = 'Normal'; SELECT ('",
        ":Site",
        "%s%n\\",
    };
    int runs = 0;
    int index = 0;
    TServerReport* report = nullptr;
    host::TParameterPrompterScope prompter(
        [&](const std::string&, std::vector<TParameterRequest>& requests) {
            for (auto& r : requests) {
                r.Value = TVariant(hostile[0]);
            }
            return true;
        });
    while (Reports.ForEach(index, report)) {
        const auto& params = report->Definition().Params;
        for (std::size_t p = 0; p < params.size(); ++p) {
            if (params[p].Type != TReportParamType::Text) {
                continue;
            }
            for (const char* text : hostile) {
                SCOPED_TRACE(report->Name + " / " + params[p].Name + " = " + text);
                std::vector<TVariant> values(params.size());
                values[p] = TVariant(text);
                TfrxReport& result = Run(report->Name, Args(values));
                ++runs;
                EXPECT_EQ(ParameterMap(result).at(params[p].ShownName()), text);
                // No site, kind, operator or card holder has such a name.
                EXPECT_TRUE(result.Rows.empty());
            }
        }
    }
    EXPECT_GE(runs, 5 * int(std::size(hostile)));
    EXPECT_EQ(DatabaseChecksum(DemoPath()), before);
}

TEST_F(ServerReportTest, ATextFullOfSqlMatchesTheRowThatCarriesIt) {
    TScratchDir dir;
    const std::string path = dir.File("copy.db");
    std::filesystem::copy_file(DemoPath(), path);
    const std::string name = "Robert'); DROP TABLE card_holders; --";
    {
        host::TSqliteDatabase db(path, host::TSqliteDatabase::TOpenMode::ReadWrite);
        auto holder = db.Prepare("INSERT INTO card_holders (id, name, card_number, department) "
                                 "VALUES (9999, ?, 'C-9999', 'Visitors')");
        holder.BindText(1, name);
        holder.Run();
        auto event = db.Prepare("INSERT INTO access_events (door_id, occurred_at, card_holder_id, "
                                "granted, reason) SELECT min(id), ?, 9999, 1, 'Valid card' FROM "
                                "doors");
        event.BindDouble(1, DemoNow() - 0.5);
        event.Run();
    }
    const std::uint64_t before = DatabaseChecksum(path);
    Load(path);
    TfrxReport& report = Run("Card holder trail", Args({TVariant(name)}));
    ASSERT_EQ(report.Rows.size(), 1u);
    EXPECT_EQ(report.Rows[0][1].AsString(), name);
    EXPECT_EQ(DatabaseChecksum(path), before);
}

TEST_F(ServerReportTest, RequiredParameterIsAskedForAndTheAnswerUsed) {
    const std::string holder = RecentCardHolder();
    std::vector<std::string> asked;
    host::TParameterPrompterScope prompter(
        [&](const std::string& reportName, std::vector<TParameterRequest>& requests) {
            asked.push_back(reportName);
            EXPECT_EQ(requests.size(), 1u);
            EXPECT_EQ(requests[0].Name, "CardHolder");
            EXPECT_EQ(requests[0].Type, TReportParamType::Text);
            EXPECT_TRUE(requests[0].Value.IsEmpty());
            requests[0].Value = TVariant(holder);
            return true;
        });
    TfrxReport& report = Run("Card holder trail");
    EXPECT_EQ(asked, std::vector<std::string>{"Card holder trail"});
    EXPECT_EQ(ParameterMap(report).at("Card holder"), holder);
    ASSERT_FALSE(report.Rows.empty());
    for (const auto& row : report.Rows) {
        EXPECT_EQ(row[1].AsString(), holder);
    }
    // With an argument there is nothing to ask.
    Run("Card holder trail", Args({TVariant(holder)}));
    EXPECT_EQ(asked.size(), 1u);
}

// What a report tells a plug-in about its parameters matches what its run does: the ones it
// says need a value are exactly the ones a run without arguments asks for.
TEST_F(ServerReportTest, TheParametersAReportTellsAreTheOnesItTakesAndAsksFor) {
    int index = 0;
    TServerReport* report = nullptr;
    int needing = 0;
    while (Reports.ForEach(index, report)) {
        SCOPED_TRACE(report->Name);
        const host::IReportParamInfo* info = host::ReportParamInfo(report);
        ASSERT_NE(info, nullptr);
        const std::vector<host::TReportParamInfo> params = info->ParamInfo();
        ASSERT_EQ(params.size(), report->Definition().Params.size());
        std::vector<std::string> needed;
        for (std::size_t i = 0; i < params.size(); ++i) {
            EXPECT_EQ(params[i].Name, report->Definition().Params[i].Name);
            EXPECT_EQ(params[i].Type, std::uint8_t(report->Definition().Params[i].Type));
            if (params[i].NeedsValue) {
                needed.push_back(params[i].Name);
            }
        }
        std::vector<std::string> asked;
        host::TParameterPrompterScope prompter(
            [&](const std::string&, std::vector<TParameterRequest>& requests) {
                for (const TParameterRequest& request : requests) {
                    asked.push_back(request.Name);
                }
                return false;
            });
        std::unique_ptr<rtl::TComponent> window;
        report->BuildPreview(Args(), window);
        EXPECT_EQ(asked, needed);
        needing += needed.empty() ? 0 : 1;
    }
    EXPECT_GT(needing, 0) << "the demo server should have a report that needs a value";
}

TEST_F(ServerReportTest, CancelledOrUnansweredPromptGivesFalse) {
    std::unique_ptr<rtl::TComponent> window = std::make_unique<rtl::TComponent>();
    int calls = 0;
    {
        host::TParameterPrompterScope prompter(
            [&](const std::string&, std::vector<TParameterRequest>&) {
                ++calls;
                return false;
            });
        EXPECT_FALSE(Report("Card holder trail").BuildPreview(Args(), window));
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(window, nullptr);
    }
    // No one to ask.
    ASSERT_FALSE(host::CurrentParameterPrompter());
    window = std::make_unique<rtl::TComponent>();
    EXPECT_FALSE(Report("Card holder trail").BuildPreview(Args(), window));
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(calls, 1);
}

TEST_F(ServerReportTest, PromptAnswersAreCheckedLikeArguments) {
    const std::pair<TVariant, const char*> answers[] = {
        {TVariant(std::int32_t(12)), "expects a Text"},
        {TVariant(), "No value given"},
        {TVariant::Null(), "No value given"},
    };
    for (const auto& [answer, message] : answers) {
        SCOPED_TRACE(message);
        host::TParameterPrompterScope prompter(
            [&](const std::string&, std::vector<TParameterRequest>& requests) {
                requests[0].Value = answer;
                return true;
            });
        std::unique_ptr<rtl::TComponent> window;
        try {
            Report("Card holder trail").BuildPreview(Args(), window);
            ADD_FAILURE() << "accepted";
        } catch (const host::EReportParameterError& e) {
            EXPECT_NE(e.Message().find(message), std::string::npos) << e.Message();
            EXPECT_NE(e.Message().find("\"CardHolder\""), std::string::npos) << e.Message();
        }
    }
    host::TParameterPrompterScope dropping(
        [](const std::string&, std::vector<TParameterRequest>& requests) {
            requests.clear();
            return true;
        });
    std::unique_ptr<rtl::TComponent> window;
    EXPECT_THROW(Report("Card holder trail").BuildPreview(Args(), window),
                 host::EReportParameterError);
}

TEST_F(ServerReportTest, DefinitionsThatWriteAreRefusedAndChangeNothing) {
    TScratchDir dir;
    const std::string path = dir.File("copy.db");
    std::filesystem::copy_file(DemoPath(), path);
    const char* definitions[] = {
        "DELETE FROM alarms",
        "SELECT 1; DELETE FROM alarms",
        "UPDATE objects SET state = 'Normal' RETURNING id",
        "CREATE TABLE x (a)",
        "",
    };
    {
        host::TSqliteDatabase db(path, host::TSqliteDatabase::TOpenMode::ReadWrite);
        std::int32_t id = 100;
        for (const char* sql : definitions) {
            host::SaveReportDefinition(db, {id, "Bad " + std::to_string(id), sql, {}, {}});
            ++id;
        }
    }
    const std::uint64_t before = DatabaseChecksum(path);
    Load(path);
    for (std::int32_t id = 100; id < 100 + std::int32_t(std::size(definitions)); ++id) {
        SCOPED_TRACE(id);
        std::unique_ptr<rtl::TComponent> window;
        EXPECT_THROW(Report("Bad " + std::to_string(id)).BuildPreview(Args(), window),
                     host::ESqliteError);
        EXPECT_EQ(window, nullptr);
    }
    EXPECT_EQ(DatabaseChecksum(path), before);
}

TEST_F(ServerReportTest, ColumnTypesComeFromTheDeclarationsWhenNotStated) {
    TScratchDir dir;
    const std::string path = dir.File("copy.db");
    std::filesystem::copy_file(DemoPath(), path);
    {
        host::TSqliteDatabase db(path, host::TSqliteDatabase::TOpenMode::ReadWrite);
        host::SaveReportDefinition(
            db, {200,
                 "Plain",
                 "SELECT raised_at, priority, kind, acknowledged, 1.5 AS ratio, NULL AS blank, "
                 "count(*) OVER () AS total FROM alarms ORDER BY id LIMIT :Limit",
                 {{"Limit", TReportParamType::Number, "3", false}},
                 {}});
    }
    Load(path);
    TfrxReport& report = Run("Plain");
    const std::vector<rtl::TVarType> expected = {rtl::TVarType::Date,   rtl::TVarType::Integer,
                                                 rtl::TVarType::String, rtl::TVarType::Boolean,
                                                 rtl::TVarType::Double, rtl::TVarType::String,
                                                 rtl::TVarType::Integer};
    ASSERT_EQ(report.Columns.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(report.Columns[i].Type, expected[i]) << report.Columns[i].Caption;
    }
    ASSERT_EQ(report.Rows.size(), 3u);
    EXPECT_TRUE(report.Rows[0][5].IsNull());
    EXPECT_EQ(report.Rows[0][0].VarType(), rtl::TVarType::Date);
}

} // namespace
