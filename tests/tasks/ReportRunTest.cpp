// The report run: a real server report exported through the real filters into a folder, and
// test reports and filters for the paths a server report does not take.
#include "platform/host/forms/ListView.h"
#include "platform/host/report/ExportFile.h"
#include "platform/host/report/ExportFilterCollection.h"
#include "platform/host/report/Report.h"
#include "platform/host/report/ReportRunObserver.h"
#include "platform/host/report/TaskRuns.h"
#include "platform/host/server/DemoServer.h"
#include "platform/host/server/ParameterPrompter.h"
#include "platform/host/server/ServerReportLoader.h"
#include "platform/rtl/SysUtils.h"
#include "scheduler/uScheduler.h"
#include "tasks/ExcludeCalendars.h"
#include "tasks/ExportFileName.h"
#include "tasks/ScheduleItem.h"
#include "tests/tasks/TaskTestHost.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>

namespace taskstest {
namespace {

using morvid::TScheduleItem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr std::int32_t ObjectStatusId = 4;    // "Object status": three optional parameters
constexpr std::int32_t CardHolderTrailId = 6; // "Card holder trail": one required parameter
constexpr std::int32_t TestReportId = 100;
const char* const Stamp = "260303_1346_";

// A report that records what it was handed and answers as the test says.
class TTestReport final : public host::TClientReport {
public:
    enum class TAnswer { Prepared, Cancelled, NoWindow, NoReportComponent };

    TTestReport(std::int32_t id, std::string name) : TClientReport(id, std::move(name)) {}

    bool BuildPreview(const std::vector<rtl::TVariant>& arguments,
                      std::unique_ptr<rtl::TComponent>& window) override {
        Arguments = arguments;
        ++Calls;
        if (DuringPreview) {
            DuringPreview();
        }
        if (Answer == TAnswer::Cancelled) {
            return false;
        }
        if (Answer == TAnswer::NoWindow) {
            return true;
        }
        auto preview = std::make_unique<TCountedWindow>(WindowsAlive);
        if (Answer == TAnswer::Prepared) {
            auto* report = new host::TfrxReport(preview.get());
            report->Title = Name;
            report->Columns = {{"Value", rtl::TVarType::String}};
            if (HasRows) {
                report->Rows = {{Content}};
            }
        }
        window = std::move(preview);
        return true;
    }

    TAnswer Answer = TAnswer::Prepared;
    std::string Content = "report content";
    bool HasRows = true;
    std::function<void()> DuringPreview;
    std::vector<rtl::TVariant> Arguments;
    int Calls = 0;
    int WindowsAlive = 0;

private:
    // Counts the windows the run has not destroyed yet.
    class TCountedWindow final : public host::TfrxPreviewWindow {
    public:
        explicit TCountedWindow(int& alive) : FAlive(alive) { ++FAlive; }
        ~TCountedWindow() override { --FAlive; }

    private:
        int& FAlive;
    };
};

// A filter registered for one test: writes a fixed text, or fails with a message of two lines.
// It remembers the interactive switches it saw while it wrote.
class TTestFilter final : public host::TfrxCustomExportFilter {
public:
    TTestFilter(std::string description, std::string ext, std::string text, bool fails = false)
        : TfrxCustomExportFilter(std::move(ext)), FDescription(std::move(description)),
          FText(std::move(text)), FFails(fails) {
        host::frxExportFilters.Register(this);
    }
    std::string Description() const override { return FDescription; }

    bool SawShowDialog = true;
    bool SawShowProgress = true;

protected:
    void WriteReport(const host::TfrxReport&, host::TExportFile& file) override {
        SawShowDialog = ShowDialog;
        SawShowProgress = ShowProgress;
        if (FFails) {
            throw rtl::Exception("first line\r\nsecond line");
        }
        file.Write(FText);
    }

private:
    std::string FDescription;
    std::string FText;
    bool FFails;
};

host::TfrxCustomExportFilter* BuiltInFilter(const std::string& description) {
    for (int i = 0; i < host::frxExportFilters.Count(); ++i) {
        if (host::frxExportFilters.GetExportFilterItem(i)->Description() == description) {
            return host::frxExportFilters.GetExportFilterItem(i);
        }
    }
    return nullptr;
}

class ReportRunTest : public TTaskHostTest {
protected:
    static void SetUpTestSuite() {
        ServerDir = new TTempDir;
        host::TDemoServerOptions options;
        options.Days = 3;
        options.AlarmsPerDay = 20;
        options.AccessEventsPerDay = 20;
        options.OperatorActionsPerDay = 5;
        options.Sites = 2;
        ServerPath = ServerDir->Path() + "/server.db";
        host::CreateDemoServer(ServerPath, rtl::EncodeDate(2026, 3, 3), options);
    }
    static void TearDownTestSuite() {
        delete ServerDir;
        ServerDir = nullptr;
    }

    ReportRunTest() {
        host::LoadServerReports(ServerPath, Client.Reports);
        auto report = std::make_unique<TTestReport>(TestReportId, "Test report");
        Report = report.get();
        Client.Reports.Add(std::move(report));
        Task = std::make_unique<TScheduleItem>(ListView.get());
        Task->SetName("Export task");
        Task->SetReportId(TestReportId);
        Task->SetExportPath(Folder.Path());
        Task->SetFilter("CSV table");
    }

    std::string ExportFile(const std::string& reportName, const std::string& ext) const {
        return Folder.Path() + "/" + Stamp + reportName + ext;
    }

    // The row must show what the task holds after every run.
    void ExpectRowShowsResult() const {
        ASSERT_EQ(RowCount(), 1);
        EXPECT_EQ(RowTexts(0)[2], rtl::DateTimeToStr(Task->LastRun.AsDateTime()));
        EXPECT_EQ(RowTexts(0)[3], Task->LastRunResult);
    }

    inline static TTempDir* ServerDir = nullptr;
    inline static std::string ServerPath;

    TTempDir Folder;
    TTestReport* Report = nullptr;
    std::unique_ptr<TScheduleItem> Task;
};

// One server report through every format that can be checked by content.
struct TFormatCase {
    const char* Description;
    const char* Ext;
    const char* Expected; // in the file's text; for archives, their signature
    const char* Zone = "";
};

class ExportFormatTest : public ReportRunTest, public ::testing::WithParamInterface<TFormatCase> {};

TEST_P(ExportFormatTest, WritesTheServerReportIntoTheFolder) {
    const TFormatCase& c = GetParam();
    Task->SetReportId(ObjectStatusId);
    Task->SetFilter(c.Description);
    Task->AddParam(morvid::rpText, "Head office");
    Task->TimeZone = c.Zone;
    Task->Run();

    EXPECT_EQ(Task->LastRunResult, "Success!");
    ExpectRowShowsResult();
    const std::string file = ExportFile("Object_status", c.Ext);
    ASSERT_THAT(ListDir(Folder.Path()), ElementsAre(Stamp + std::string("Object_status") + c.Ext));
    std::string text = ReadFile(file);
    if (std::string(c.Ext) == ".pdf") {
        const std::string txt = Folder.Path() + "/pdf.txt";
        ASSERT_EQ(std::system(("pdftotext '" + file + "' '" + txt + "'").c_str()), 0);
        text = ReadFile(txt);
    }
    EXPECT_THAT(text, HasSubstr(c.Expected));
    // The site parameter reached the report: no other site's objects are listed.
    if (std::string(c.Expected) == "Head office") {
        EXPECT_THAT(text, ::testing::Not(HasSubstr("North warehouse")));
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, ExportFormatTest,
                         ::testing::Values(TFormatCase{"CSV table", ".csv", "Head office"},
                                           TFormatCase{"HTML page", ".html", "Head office"},
                                           TFormatCase{"JSON data", ".json", "Head office"},
                                           TFormatCase{"XML data", ".xml", "Head office"},
                                           TFormatCase{"Plain text", ".txt", "Head office"},
                                           TFormatCase{"PDF document", ".pdf", "Object status"},
                                           TFormatCase{"Excel workbook", ".xlsx", "PK"},
                                           TFormatCase{"Plain text", ".txt",
                                                       "Run at 2026-03-03 13:46:05 (2026-03-03 "
                                                       "22:46 Asia/Tokyo)",
                                                       "Asia/Tokyo"}),
                         [](const auto& info) {
                             std::string name = info.param.Ext + 1;
                             return *info.param.Zone != 0 ? name + "_zoned" : name;
                         });

TEST_F(ReportRunTest, AFolderWithOrWithoutTrailingDelimiterGivesTheSameFile) {
    for (const std::string& path : {Folder.Path(), Folder.Path() + "/"}) {
        Task->SetExportPath(path);
        Task->Run();
        EXPECT_EQ(Task->LastRunResult, "Success!") << path;
        EXPECT_EQ(BuiltInFilter("CSV table")->FileName, ExportFile("Test_report", ".csv")) << path;
    }
    EXPECT_THAT(ListDir(Folder.Path()), ElementsAre(std::string(Stamp) + "Test_report.csv"));
}

TEST_F(ReportRunTest, ASecondRunInTheSameMinuteReplacesTheFile) {
    Report->Content = "first run";
    Task->Run();
    Report->Content = "second run";
    Task->Run();
    EXPECT_EQ(Task->LastRunResult, "Success!");
    ASSERT_THAT(ListDir(Folder.Path()), ElementsAre(std::string(Stamp) + "Test_report.csv"));
    const std::string text = ReadFile(ExportFile("Test_report", ".csv"));
    EXPECT_THAT(text, HasSubstr("second run"));
    EXPECT_THAT(text, ::testing::Not(HasSubstr("first run")));
}

TEST_F(ReportRunTest, ParametersReachTheReportInOrderWithTheirTypes) {
    Task->AddParam(morvid::rpText, "Head office");
    Task->AddParam(morvid::rpNumber, "12");
    Task->AddParam(morvid::rpBoolean, true);
    Task->AddParam(morvid::rpDate, rtl::TVariant::FromDate(46084.0));
    Task->AddParam(morvid::rpTime, 0.5);
    Task->Run();

    ASSERT_EQ(Report->Calls, 1);
    const auto identity = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&host::frxExportFilters)));
    EXPECT_THAT(Report->Arguments,
                ElementsAre(rtl::TVariant(identity), rtl::TVariant("Head office"),
                            rtl::TVariant(std::int32_t{12}), rtl::TVariant(true),
                            rtl::TVariant(46084.0), rtl::TVariant(0.5)));
    EXPECT_EQ(Report->Arguments[0].VarType(), rtl::TVarType::Integer);
    EXPECT_EQ(Report->Arguments[4].VarType(), rtl::TVarType::Double);
}

TEST_F(ReportRunTest, PeriodWordsGiveTheDaysOfTheDueTimeNotOfTheStart) {
    Task->AddParam(morvid::rpDatePeriod, "yesterday");
    Task->AddParam(morvid::rpTimePeriod, "due-time");
    const struct {
        host::TRunTrigger Trigger;
        rtl::TDateTime Due;
        const char* Day; // what "yesterday" gives
        rtl::TDateTime Time;
    } cases[] = {
        // A catch-up a day late, on the 3rd at 13:46, of the run due on the 2nd at 06:00.
        {host::TRunTrigger::CatchUp, rtl::EncodeDateTime(2026, 3, 2, 6, 0, 0, 0), "2026-03-01",
         0.25},
        {host::TRunTrigger::Manual, 0, "2026-03-02", rtl::EncodeTime(13, 46, 5, 0)},
    };
    for (const auto& c : cases) {
        Task->Run(c.Trigger, c.Due);
        ASSERT_EQ(Report->Arguments.size(), 3U);
        EXPECT_EQ(rtl::FormatDateTimeISO(Report->Arguments[1].AsDouble()).substr(0, 10), c.Day);
        EXPECT_NEAR(Report->Arguments[2].AsDouble(), c.Time, 1e-9);
        EXPECT_EQ(Task->LastRunResult, "Success!");
    }
}

TEST_F(ReportRunTest, AnUnknownPeriodWordEndsTheRunBeforeTheReport) {
    Task->AddParam(morvid::rpText, "x");
    Task->AddParam(morvid::rpDatePeriod, "fortnight-start");
    Task->Run();
    EXPECT_EQ(Report->Calls, 0);
    EXPECT_EQ(Task->LastRunResult, "Error: Parameter 2: \"fortnight-start\" is not a period word");
}

TEST_F(ReportRunTest, ATaskWithoutParametersHandsOnlyTheFilterCollection) {
    Task->Run();
    ASSERT_EQ(Report->Arguments.size(), 1U);
    EXPECT_EQ(Report->Arguments[0].VarType(), rtl::TVarType::Integer);
}

// Runs that end before an export filter is touched: only LastRun and the result change.
struct TEarlyErrorCase {
    const char* Label;
    std::uint8_t State;
    std::int32_t ReportId;
    const char* Filter;
    std::string Result;
};

class EarlyErrorTest : public ReportRunTest,
                       public ::testing::WithParamInterface<TEarlyErrorCase> {};

TEST_P(EarlyErrorTest, EndsWithTheErrorAndTouchesNoFilter) {
    const TEarlyErrorCase& c = GetParam();
    // A system object that is not a report, under an id of its own.
    Client.Reports.Add(std::make_unique<host::TCustomSysObject>(77, "Main entrance"));
    host::TfrxCustomExportFilter* csv = BuiltInFilter("CSV table");
    csv->FileName = "untouched";
    Client.State = c.State;
    Task->SetReportId(c.ReportId);
    Task->SetFilter(c.Filter);
    Task->LastRun = rtl::TVariant::Null();

    Task->Run();

    EXPECT_EQ(Task->LastRunResult, c.Result);
    EXPECT_EQ(Task->LastRun, rtl::TVariant::FromDate(Clock.Now()));
    ExpectRowShowsResult();
    EXPECT_EQ(csv->FileName, "untouched");
    EXPECT_EQ(Report->Calls, 0);
    EXPECT_TRUE(ListDir(Folder.Path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Errors, EarlyErrorTest,
    ::testing::Values(
        TEarlyErrorCase{"Offline", 0, TestReportId, "CSV table", "Error: Client is offline"},
        TEarlyErrorCase{"Connecting", 3, TestReportId, "CSV table", "Error: Client is offline"},
        TEarlyErrorCase{"UnknownReport", host::csOnline, 999, "CSV table",
                        "Error: " + rtl::Format(host::_ERR_REPORT_NOT_FOUND, "id:999")},
        TEarlyErrorCase{"NegativeId", host::csOnline, -3, "CSV table",
                        "Error: " + rtl::Format(host::_ERR_REPORT_NOT_FOUND, "id:-3")},
        TEarlyErrorCase{"ObjectThatIsNoReport", host::csOnline, 77, "CSV table",
                        "Error: " + rtl::Format(host::_ERR_REPORT_NOT_FOUND, "id:77")},
        TEarlyErrorCase{"NoSuchFilter", host::csOnline, TestReportId, "Word document",
                        "Error: Export filter not found!"},
        TEarlyErrorCase{"FilterInOtherLetterCase", host::csOnline, TestReportId, "csv table",
                        "Error: Export filter not found!"},
        TEarlyErrorCase{"FilterWithTrailingBlank", host::csOnline, TestReportId, "CSV table ",
                        "Error: Export filter not found!"}),
    [](const auto& info) { return std::string(info.param.Label); });

TEST_F(ReportRunTest, OfTwoFiltersWithOneDescriptionTheLaterIsUsed) {
    TTestFilter duplicate("CSV table", ".csv", "written by the later filter");
    duplicate.ShowDialog = true;
    duplicate.ShowProgress = false;
    Task->Run();

    EXPECT_EQ(Task->LastRunResult, "Success!");
    EXPECT_EQ(ReadFile(ExportFile("Test_report", ".csv")), "written by the later filter");
    // Both switches are off while the filter writes, and come back as they were.
    EXPECT_FALSE(duplicate.SawShowDialog);
    EXPECT_FALSE(duplicate.SawShowProgress);
    EXPECT_TRUE(duplicate.ShowDialog);
    EXPECT_FALSE(duplicate.ShowProgress);
}

TEST_F(ReportRunTest, AFailedExportBecomesOneLineAndCleansUp) {
    TTestFilter failing("Failing export", ".bad", "", true);
    Task->SetFilter("Failing export");
    Task->Run();

    const std::string file = ExportFile("Test_report", ".bad");
    EXPECT_EQ(Task->LastRunResult,
              "Error: Cannot write file \"" + file + "\": first linesecond line");
    ExpectRowShowsResult();
    EXPECT_EQ(Report->WindowsAlive, 0);
    EXPECT_TRUE(failing.ShowDialog);
    EXPECT_TRUE(failing.ShowProgress);
    EXPECT_TRUE(ListDir(Folder.Path()).empty());
}

// Runs that end after the filter's switches were turned off: they come back on every path,
// and a preview window that was handed over is destroyed.
struct TLateEndCase {
    const char* Label;
    TTestReport::TAnswer Answer;
    const char* Result;
};

class LateEndTest : public ReportRunTest, public ::testing::WithParamInterface<TLateEndCase> {};

TEST_P(LateEndTest, RestoresTheSwitchesAndDestroysTheWindow) {
    const TLateEndCase& c = GetParam();
    TTestFilter filter("Test format", ".tst", "content");
    filter.ShowDialog = false;
    filter.ShowProgress = true;
    Task->SetFilter("Test format");
    // A file of the export's name from before the run stays as it was, whichever way it ends.
    const std::string file = ExportFile("Test_report", ".tst");
    std::ofstream(file) << "old";
    Report->Answer = c.Answer;

    Task->Run();

    EXPECT_EQ(Task->LastRunResult, c.Result);
    ExpectRowShowsResult();
    EXPECT_EQ(Report->WindowsAlive, 0);
    EXPECT_FALSE(filter.ShowDialog);
    EXPECT_TRUE(filter.ShowProgress);
    EXPECT_THAT(ListDir(Folder.Path()),
                ElementsAre(std::filesystem::path(file).filename().string()));
    EXPECT_EQ(ReadFile(file), "old");
}

INSTANTIATE_TEST_SUITE_P(
    Ends, LateEndTest,
    ::testing::Values(TLateEndCase{"Cancelled", TTestReport::TAnswer::Cancelled, "User canceled"},
                      TLateEndCase{"NoWindow", TTestReport::TAnswer::NoWindow,
                                   "Error: Preview window not found!"},
                      TLateEndCase{"NoReportComponent", TTestReport::TAnswer::NoReportComponent,
                                   "Error: Report object not found!"}),
    [](const auto& info) { return std::string(info.param.Label); });

TEST_F(ReportRunTest, AServerReportCancelledAtItsPromptIsUserCanceled) {
    int asked = 0;
    host::TParameterPrompterScope prompter(
        [&](const std::string&, std::vector<host::TParameterRequest>&) {
            ++asked;
            return false;
        });
    Task->SetReportId(CardHolderTrailId);
    Task->Run();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Task->LastRunResult, "User canceled");
    ExpectRowShowsResult();
    EXPECT_TRUE(ListDir(Folder.Path()).empty());
}

TEST_F(ReportRunTest, AServerReportsOwnErrorEndsTheRun) {
    // Not a number: the server report refuses the argument for its "MinPriority".
    Task->SetReportId(1);
    Task->AddParam(morvid::rpDate, 46000.0);
    Task->AddParam(morvid::rpDate, 46084.0);
    Task->AddParam(morvid::rpText, "high");
    Task->Run();
    EXPECT_THAT(Task->LastRunResult, ::testing::StartsWith("Error: "));
    EXPECT_THAT(Task->LastRunResult, HasSubstr("MinPriority"));
    EXPECT_TRUE(BuiltInFilter("CSV table")->ShowDialog);
    EXPECT_TRUE(ListDir(Folder.Path()).empty());
}

// The target file must be creatable; the platform's own message names it.
TEST_F(ReportRunTest, AFolderThatCannotTakeTheFileEndsTheRun) {
    const std::string plainFile = Folder.Path() + "/plain";
    std::ofstream(plainFile) << "x";
    struct TCase {
        std::string Path;
        const char* Reason;
    };
    for (const TCase& c : {TCase{Folder.Path() + "/missing", "No such file or directory"},
                           TCase{plainFile, "Not a directory"}}) {
        Task->SetExportPath(c.Path);
        Task->Run();
        EXPECT_EQ(Task->LastRunResult, "Error: Cannot create file \"" + c.Path + "/" + Stamp +
                                           "Test_report.csv\". " + c.Reason);
        ExpectRowShowsResult();
        EXPECT_TRUE(BuiltInFilter("CSV table")->ShowDialog);
        EXPECT_TRUE(BuiltInFilter("CSV table")->ShowProgress);
        EXPECT_EQ(Report->Calls, 0);
    }
    EXPECT_THAT(ListDir(Folder.Path()), ElementsAre("plain"));
}

// A report name is host data; whatever it holds, nothing is written outside the export folder.
class HostileNameTest : public ReportRunTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(HostileNameTest, IsRefusedBeforeAnythingIsCreated) {
    const std::string name = GetParam();
    Report->Name = name;
    std::filesystem::create_directory(Folder.Path() + "/sub");
    Task->SetExportPath(Folder.Path() + "/sub");
    Task->Run();

    EXPECT_EQ(Task->LastRunResult, "Error: Report name \"" + std::string(name.c_str()) +
                                       "\" cannot be used in a file name");
    ExpectRowShowsResult();
    EXPECT_EQ(Report->Calls, 0);
    EXPECT_THAT(ListDir(Folder.Path()), ElementsAre("sub"));
    EXPECT_TRUE(ListDir(Folder.Path() + "/sub").empty());
    EXPECT_TRUE(BuiltInFilter("CSV table")->ShowDialog);
}

INSTANTIATE_TEST_SUITE_P(Names, HostileNameTest,
                         ::testing::Values(std::string("a/b"), std::string("../escape"),
                                           std::string("/etc/passwd"),
                                           std::string("cut\0short", 9)));

// Every run is told once on the host's road, whatever ends it, with its outcome and what the
// history keeps; what the engine tells of the task's report is the run's, not told besides.
TEST_F(ReportRunTest, EveryRunIsToldOnceWithItsOutcome) {
    using O = host::TRunOutcome;
    using T = host::TRunTrigger;
    TTestFilter failing("Failing export", ".bad", "", true);
    std::vector<host::TReportRun> engine;
    struct TListening {
        host::TReportRunObserver Previous;
        ~TListening() { host::SetReportRunObserver(std::move(Previous)); }
    } listening{
        host::SetReportRunObserver([&](const host::TReportRun& run) { engine.push_back(run); })};
    std::vector<host::TRunRecord> told;
    const host::TRunSubscription road =
        Client.Runs.Listen([&](const host::TRunRecord& run) { told.push_back(run); });
    const std::string plainFile = Folder.Path() + "/plain";
    std::ofstream(plainFile) << "x";
    struct TCase {
        const char* Label;
        std::uint8_t State;
        std::int32_t ReportId;
        std::string Filter;
        std::string ExportPath;
        TTestReport::TAnswer Answer;
        T Trigger;
        const char* ReportName; // empty: the run ended before it found its report
        O Outcome;
        const char* ResultPart;
    };
    const std::string folder = Folder.Path();
    const auto prepared = TTestReport::TAnswer::Prepared;
    const auto cancelled = TTestReport::TAnswer::Cancelled;
    const std::uint8_t online = host::csOnline;
    const std::vector<TCase> cases = {
        {"offline", 0, TestReportId, "CSV table", folder, prepared, T::Manual, "", O::Failed,
         "Client is offline"},
        {"unknown report", online, 999, "CSV table", folder, prepared, T::Manual, "", O::Failed,
         "id:999"},
        {"unknown format", online, TestReportId, "Word", folder, prepared, T::Manual, "Test report",
         O::Failed, "Export filter not found!"},
        {"empty export path", online, TestReportId, "CSV table", "", prepared, T::Schedule,
         "Test report", O::Failed, "Export path is empty"},
        {"missing folder", online, TestReportId, "CSV table", folder + "/missing", prepared,
         T::Manual, "Test report", O::Failed, "No such file or directory"},
        {"not a folder", online, TestReportId, "CSV table", plainFile, prepared, T::Manual,
         "Test report", O::Failed, "Not a directory"},
        {"cancelled by hand", online, TestReportId, "CSV table", folder, cancelled, T::Manual,
         "Test report", O::Cancelled, "User canceled"},
        {"cancelled when due", online, TestReportId, "CSV table", folder, cancelled, T::Schedule,
         "Test report", O::Failed, "User canceled"},
        {"cancelled when caught up", online, TestReportId, "CSV table", folder, cancelled,
         T::CatchUp, "Test report", O::Failed, "User canceled"},
        {"export failed", online, TestReportId, "Failing export", folder, prepared, T::Manual,
         "Test report", O::Failed, "first linesecond line"},
        {"exported by hand", online, TestReportId, "CSV table", folder, prepared, T::Manual,
         "Test report", O::Succeeded, "Success!"},
        {"exported when due", online, TestReportId, "CSV table", folder, prepared, T::Schedule,
         "Test report", O::Succeeded, "Success!"},
    };
    const rtl::TDateTime due = rtl::EncodeDate(2026, 3, 3) + (13 * 60 + 46) / 1440.0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Label);
        told.clear();
        engine.clear();
        Client.State = c.State;
        Task->SetReportId(c.ReportId);
        Task->SetFilter(c.Filter);
        Task->SetExportPath(c.ExportPath);
        Report->Answer = c.Answer;
        Task->Run(c.Trigger, c.Trigger == T::Manual ? 0 : due);
        EXPECT_TRUE(engine.empty());
        ASSERT_EQ(told.size(), 1U);
        const host::TRunRecord& run = told[0];
        EXPECT_EQ(run.TaskId, Task->Id);
        EXPECT_EQ(run.TaskName, "Export task");
        EXPECT_EQ(run.ReportName, c.ReportName);
        EXPECT_EQ(run.Format, c.Filter);
        EXPECT_EQ(run.Trigger, c.Trigger);
        EXPECT_DOUBLE_EQ(run.Due, c.Trigger == T::Manual ? 0.0 : due);
        EXPECT_DOUBLE_EQ(run.Started, Task->LastRun.AsDateTime());
        EXPECT_GE(run.Ended, run.Started);
        EXPECT_EQ(run.Result, Task->LastRunResult);
        EXPECT_THAT(run.Result, HasSubstr(c.ResultPart));
        EXPECT_EQ(run.Outcome, c.Outcome) << host::RunOutcomeText(run.Outcome);
        EXPECT_EQ(Task->LastRunOutcome, c.Outcome);
        // Only a failure marks the row; a cancel by hand does not.
        EXPECT_EQ(ListView->Items[0]->Error(), c.Outcome == O::Failed);
        EXPECT_EQ(run.FileName,
                  c.Outcome == O::Succeeded ? ExportFile("Test_report", ".csv") : std::string());
    }
    // The empty export path wrote nothing into the root folder.
    EXPECT_FALSE(std::filesystem::exists("/" + std::string(Stamp) + "Test_report.csv"));
}

// A link standing at the coming file name is replaced, never followed: what it points to outside
// the folder is neither emptied nor created.
TEST_F(ReportRunTest, ALinkAtTheTargetNameIsReplacedNotFollowed) {
    TTempDir outside;
    const std::string victim = outside.Path() + "/victim.txt";
    const std::string dangling = outside.Path() + "/created-through-the-link";
    std::ofstream(victim) << "keep me";
    for (const std::string& target : {victim, dangling}) {
        SCOPED_TRACE(target);
        const std::string file = ExportFile("Test_report", ".csv");
        std::filesystem::remove(file);
        std::filesystem::create_symlink(target, file);
        Task->Run();
        EXPECT_EQ(Task->LastRunResult, "Success!");
        EXPECT_FALSE(std::filesystem::is_symlink(file));
        EXPECT_THAT(ReadFile(file), HasSubstr("report content"));
        EXPECT_EQ(ReadFile(victim), "keep me");
        EXPECT_FALSE(std::filesystem::exists(dangling));
    }
}

// Exports killed while they wrote leave their temporary files; a run removes those of its folder,
// and nothing a running export holds, nothing fresh and nothing of another naming.
TEST_F(ReportRunTest, ARunRemovesOnlyAbandonedTemporaryFilesOfItsFolder) {
    TTempDir outside;
    std::ofstream(outside.Path() + "/victim") << "keep me";
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    const auto make = [&](const std::string& name, bool aged) {
        const std::string path = Folder.Path() + "/" + name;
        std::ofstream(path) << "partial";
        if (aged) {
            std::filesystem::last_write_time(path, old);
        }
    };
    make(".260303_1300_Test_report.csv.Ab12Cd", true);      // abandoned
    make(".260303_1300_Log.xlsx.Ab12Cd.xlsx.Ef34Gh", true); // abandoned scratch file
    make(".260303_1345_Test_report.csv.Zz99Yy", false);     // just made
    make(".notes.backup", true);                            // the user's
    make(".260303_1300_Test_report.csv.Ab12C", true);       // not our naming
    make("260303_1300_Test_report.csv", true);              // a finished export
    std::filesystem::create_directory(Folder.Path() + "/.260303_1300_dir.csv.Dd22Ee");
    std::filesystem::create_symlink(outside.Path() + "/victim",
                                    Folder.Path() + "/.260303_1300_link.csv.Qq11Ww");
    host::TExportFile held(Folder.Path() + "/260303_1300_Held.csv"); // a running export
    std::filesystem::last_write_time(held.TempFileName(), old);

    Task->Run();

    EXPECT_EQ(Task->LastRunResult, "Success!");
    EXPECT_THAT(ListDir(Folder.Path()),
                ::testing::UnorderedElementsAre(
                    ".260303_1345_Test_report.csv.Zz99Yy", ".notes.backup",
                    ".260303_1300_Test_report.csv.Ab12C", "260303_1300_Test_report.csv",
                    ".260303_1300_dir.csv.Dd22Ee", ".260303_1300_link.csv.Qq11Ww",
                    std::filesystem::path(held.TempFileName()).filename().string(),
                    std::string(Stamp) + "Test_report.csv"));
    EXPECT_EQ(ReadFile(outside.Path() + "/victim"), "keep me");
}

TEST_F(ReportRunTest, BlanksInTheReportNameBecomeUnderscores) {
    Report->Name = " Daily  visits ";
    Task->Run();
    EXPECT_EQ(Task->LastRunResult, "Success!");
    EXPECT_THAT(ListDir(Folder.Path()), ElementsAre(std::string(Stamp) + "_Daily__visits_.csv"));
}

// The message loop runs during a run; what runs there may delete the task.
TEST_F(ReportRunTest, ATaskDeletedWhileItsReportPromptsIsLeftAlone) {
    TTestFilter filter("Test format", ".tst", "content");
    Task->SetFilter("Test format");
    Report->DuringPreview = [&] { Task.reset(); };
    TScheduleItem* task = Task.get();
    task->Run();
    EXPECT_EQ(Task, nullptr);
    EXPECT_EQ(Report->WindowsAlive, 0);
    EXPECT_TRUE(filter.ShowDialog);
    EXPECT_TRUE(filter.ShowProgress);
}

TEST_F(ReportRunTest, ATaskDeletedWhileTheRowRepaintsIsLeftAlone) {
    TScheduleItem* task = Task.get();
    Dispatcher.Post([&] { Task.reset(); });
    task->Run();
    EXPECT_EQ(Task, nullptr);
    EXPECT_EQ(Report->Calls, 0);
}

TEST_F(ReportRunTest, WorkingShowsWhileTheReportIsPrepared) {
    std::vector<std::string> rowDuringRun;
    Report->DuringPreview = [&] { rowDuringRun = RowTexts(0); };
    Task->Run();
    ASSERT_EQ(rowDuringRun.size(), 5U);
    EXPECT_EQ(rowDuringRun[3], "Working..");
    EXPECT_EQ(rowDuringRun[2], "2026-03-03 13:46:05");
}

// The whole road: an armed task, its scheduler thread, the message to the main thread, the run.
TEST_F(ReportRunTest, AnArmedTaskExportsAtItsDueTime) {
    Task->SetReportId(ObjectStatusId);
    Task->SetCronStr("* * * * * *");
    Task->SetEnabled(true);
    Task->StartSchedule();
    ASSERT_TRUE(Task->Event->Running);
    ASSERT_EQ(RowTexts(0)[4], "2026-03-03 13:47:00");

    bool exported = false;
    for (int wait = 0; wait < 200 && !exported; ++wait) {
        // A delivery already queued runs first, so the run sees the due time, not a later one.
        if (Clock.AwaitWait(200) && Dispatcher.Pending() == 0) {
            Clock.Elapse();
        }
        exported = Dispatcher.ProcessUntil([&] { return Task->LastRunResult == "Success!"; }, 20);
    }
    ASSERT_TRUE(exported);
    EXPECT_EQ(Task->Event->RunCount, 1);
    EXPECT_THAT(RowTexts(0), ElementsAre("Export task", "Yes", "2026-03-03 13:47:00", "Success!",
                                         "2026-03-03 13:48:00"));
    const std::string file = Folder.Path() + "/260303_1347_Object_status.csv";
    EXPECT_THAT(ReadFile(file), ::testing::StartsWith("Site,Kind,Object,State"));
    Task->StopSchedule();
    EXPECT_EQ(RowTexts(0)[4], "Never");
}

// Monday's run of a Monday-to-Friday task reports from Friday, its due time before, to Sunday.
TEST_F(ReportRunTest, AWorkingDaysTaskReportsTheWeekendOnMonday) {
    Clock.SetUnixMs(morvid::test::UnixMsOfUtc(2026, 3, 9, 6, 29, 30));
    Task->AddParam(morvid::rpDatePeriod, "previous-due");
    Task->AddParam(morvid::rpDatePeriod, "yesterday");
    Task->SetCronStr("30 6 * * 1-5 *");
    Task->SetEnabled(true);
    Task->StartSchedule();
    bool ran = false;
    for (int wait = 0; wait < 200 && !ran; ++wait) {
        if (Clock.AwaitWait(200) && Dispatcher.Pending() == 0) {
            Clock.Elapse();
        }
        ran = Dispatcher.ProcessUntil([&] { return Report->Calls > 0; }, 20);
    }
    ASSERT_TRUE(ran);
    Task->StopSchedule();
    ASSERT_EQ(Report->Arguments.size(), 3U);
    EXPECT_EQ(rtl::FormatDateTimeISO(Report->Arguments[1].AsDouble()).substr(0, 10), "2026-03-06");
    EXPECT_EQ(rtl::FormatDateTimeISO(Report->Arguments[2].AsDouble()).substr(0, 10), "2026-03-08");
}

// The list's next run of an armed task follows its zone and passes over its excluded dates;
// a due time on an excluded date is no missed one either.
TEST_F(ReportRunTest, TheNextRunFollowsTheZoneAndTheCalendar) {
    Plugin->Calendars = {{"Holidays", morvid::ParseCalendarDates("2026-03-04")}};
    const struct {
        const char* Cron;
        const char* Zone;
        const char* Calendar;
        const char* NextRun;
    } cases[] = {
        {"0 10 * * * *", "Asia/Tokyo", "", "2026-03-04 01:00:00 (2026-03-04 10:00 Asia/Tokyo)"},
        {"0 6 * * * *", "", "Holidays", "2026-03-05 06:00:00"},
        {"0 6 * * * *", "", "holidays", "2026-03-05 06:00:00"},
        {"0 6 * * * *", "", "Other", "2026-03-04 06:00:00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Cron) + " " + c.Zone + " " + c.Calendar);
        Task->StopSchedule();
        Task->SetCronStr(c.Cron);
        Task->TimeZone = c.Zone;
        Task->ExcludeCalendar = c.Calendar;
        Task->SetEnabled(true);
        Task->StartSchedule();
        EXPECT_EQ(RowTexts(0)[4], c.NextRun);
    }
    Task->StopSchedule();
    // Last run on the 3rd at 06:00; on the 4th at noon the holiday's 06:00 was not missed.
    Task->LastRun = rtl::TVariant::FromDate(rtl::EncodeDateTime(2026, 3, 3, 6, 0, 0, 0));
    Task->ExcludeCalendar = "Holidays";
    EXPECT_EQ(Task->MissedDueTime(rtl::EncodeDateTime(2026, 3, 4, 12, 0, 0, 0)), 0);
    Task->ExcludeCalendar.clear();
    EXPECT_EQ(Task->MissedDueTime(rtl::EncodeDateTime(2026, 3, 4, 12, 0, 0, 0)),
              rtl::EncodeDateTime(2026, 3, 4, 6, 0, 0, 0));
}

// With "SkipEmpty" a report without rows leaves no file and is a success that says why.
TEST_F(ReportRunTest, AnEmptyReportIsSkippedOrSaysItHasNoRows) {
    Report->HasRows = false;
    Task->SkipEmpty = 1;
    Task->Run();
    EXPECT_EQ(Task->LastRunResult, "Skipped: the report has no rows");
    EXPECT_EQ(Task->LastRunOutcome, host::TRunOutcome::Succeeded);
    EXPECT_TRUE(std::filesystem::is_empty(Folder.Path()));
}

// The window's delete command may run while a scheduled run waits in the message loop.
TEST_F(ReportRunTest, AnArmedTaskDeletedDuringItsScheduledRunIsLeftAlone) {
    TTestFilter filter("Test format", ".tst", "content");
    Task->SetFilter("Test format");
    Task->SetCronStr("* * * * * *");
    Task->SetEnabled(true);
    Task->StartSchedule();
    Report->DuringPreview = [&] { Task.reset(); };

    for (int wait = 0; wait < 200 && Report->Calls == 0; ++wait) {
        // A delivery already queued runs first, so the run sees the due time, not a later one.
        if (Clock.AwaitWait(200) && Dispatcher.Pending() == 0) {
            Clock.Elapse();
        }
        Dispatcher.ProcessUntil([&] { return Report->Calls > 0; }, 20);
    }
    ASSERT_EQ(Report->Calls, 1);
    EXPECT_EQ(Task, nullptr);
    // The event left the list with its task, from inside its own delivery.
    Dispatcher.ProcessMessages();
    EXPECT_EQ(Plugin->EventList->Count(), 0);
    EXPECT_EQ(Report->WindowsAlive, 0);
    EXPECT_TRUE(filter.ShowDialog);
}

TEST_F(ReportRunTest, EachTaskHasItsOwnIdentity) {
    TScheduleItem other(ListView.get());
    EXPECT_THAT(Task->Id,
                ::testing::MatchesRegex(
                    "\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}"));
    EXPECT_NE(other.Id, Task->Id);
}

struct TFileNameCase {
    int Year, Month, Day, Hour, Minute, Second;
    const char* ReportName;
    const char* Expected;
};

class MakeExportFileNameTest : public ::testing::TestWithParam<TFileNameCase> {};

TEST_P(MakeExportFileNameTest, StampsTheMinuteAndReplacesBlanks) {
    const TFileNameCase& c = GetParam();
    morvid::test::TVirtualClock clock(
        morvid::test::UnixMsOfUtc(c.Year, c.Month, c.Day, c.Hour, c.Minute, c.Second));
    morvid::test::TClockScope scope(clock);
    EXPECT_EQ(morvid::MakeExportFileName(c.ReportName), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, MakeExportFileNameTest,
    ::testing::Values(
        TFileNameCase{2026, 3, 3, 13, 46, 5, "Daily visits", "260303_1346_Daily_visits"},
        TFileNameCase{2026, 3, 3, 13, 46, 59, "Daily visits", "260303_1346_Daily_visits"},
        TFileNameCase{2009, 1, 2, 3, 4, 0, "a", "090102_0304_a"},
        TFileNameCase{2099, 12, 31, 23, 59, 59, "x", "991231_2359_x"},
        TFileNameCase{2026, 3, 3, 0, 0, 0, "", "260303_0000_"},
        TFileNameCase{2026, 3, 3, 0, 0, 0, "  two  blanks ", "260303_0000___two__blanks_"},
        TFileNameCase{2026, 3, 3, 0, 0, 0, "Tab\tand.dot", "260303_0000_Tab_and.dot"},
        TFileNameCase{2026, 3, 3, 0, 0, 0, "Doors\r\nnight", "260303_0000_Doors__night"}));

} // namespace
} // namespace taskstest
