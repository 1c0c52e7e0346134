// The host's report run observer: what it hears when a server report is prepared and exported,
// and that a failing listener never changes a run's result.
#include "platform/host/report/ReportRunObserver.h"

#include "ServerTestSupport.h"
#include "platform/host/report/CsvExport.h"
#include "platform/host/report/Report.h"
#include "platform/host/server/ParameterPrompter.h"
#include "platform/host/server/ServerReport.h"
#include "platform/host/server/ServerReportLoader.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

using namespace morvid::test;
using host::TReportRun;
using host::TReportRunOutcome;
using rtl::TVariant;

namespace {

class ReportRunObserverTest : public TDemoServerSuite {
protected:
    void SetUp() override {
        host::LoadServerReports(DemoPath(), Reports);
        Previous =
            host::SetReportRunObserver([this](const TReportRun& run) { Runs.push_back(run); });
    }
    void TearDown() override { host::SetReportRunObserver(std::move(Previous)); }

    host::TServerReport& Report(const std::string& name) {
        int index = 0;
        host::TServerReport* report = nullptr;
        while (Reports.ForEach(index, report)) {
            if (report->Name == name) {
                return *report;
            }
        }
        throw std::runtime_error("no report " + name);
    }

    // Prepares the report and, when it was prepared, exports it as CSV into `folder`.
    bool RunAndExport(const std::string& name, const std::vector<TVariant>& arguments,
                      const std::string& folder) {
        std::unique_ptr<rtl::TComponent> window;
        if (!Report(name).BuildPreview(arguments, window)) {
            return false;
        }
        auto* report = dynamic_cast<host::TfrxReport*>(window->FindComponent("Report"));
        EXPECT_NE(report, nullptr);
        Filter.FileName = folder + "/" + name + ".csv";
        return report->Export(Filter);
    }

    host::TSysObjectList Reports;
    host::TfrxCsvExport Filter;
    std::vector<TReportRun> Runs;
    host::TReportRunObserver Previous;
};

TEST_F(ReportRunObserverTest, EachWayARunEndsIsHeardOnceWithItsFileOrCause) {
    const TVariant collection(std::int32_t(0));
    const std::string missingFolder = Dir->File("no-such-folder");
    struct TCase {
        const char* Label;
        std::string ReportName;
        std::vector<TVariant> Arguments;
        std::string Folder;
        bool Result;
        TReportRunOutcome Outcome;
        bool HasFile;
        const char* MessagePart;
    };
    const std::vector<TCase> cases = {
        {"exported",
         "Object status",
         {collection},
         Dir->Path().string(),
         true,
         TReportRunOutcome::Exported,
         true,
         ""},
        {"export into a missing folder",
         "Object status",
         {collection},
         missingFolder,
         false,
         TReportRunOutcome::ExportFailed,
         true,
         "no-such-folder"},
        {"required parameter, nobody to ask",
         "Card holder trail",
         {collection},
         "",
         false,
         TReportRunOutcome::Cancelled,
         false,
         "required"},
        {"argument of the wrong type",
         "Alarm summary",
         {collection, TVariant(true)},
         "",
         false,
         TReportRunOutcome::Failed,
         false,
         "From"},
    };
    const host::TParameterPrompterScope nobody{host::TParameterPrompter{}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Label);
        Runs.clear();
        bool result = false;
        try {
            result = RunAndExport(c.ReportName, c.Arguments, c.Folder);
        } catch (const std::exception&) {
            result = false; // the failure travels on to the caller as before
        }
        EXPECT_EQ(result, c.Result);
        ASSERT_EQ(Runs.size(), 1u);
        const TReportRun& run = Runs.front();
        EXPECT_EQ(run.ReportName, c.ReportName);
        EXPECT_EQ(run.Outcome, c.Outcome) << host::ReportRunOutcomeText(run.Outcome);
        if (c.HasFile) {
            EXPECT_EQ(run.FileName, c.Folder + "/" + c.ReportName + ".csv");
            EXPECT_EQ(run.Format, "CSV table");
        } else {
            EXPECT_TRUE(run.FileName.empty());
        }
        EXPECT_NE(run.Message.find(c.MessagePart), std::string::npos) << run.Message;
        EXPECT_EQ(std::filesystem::exists(run.FileName), c.Outcome == TReportRunOutcome::Exported);
    }
}

TEST_F(ReportRunObserverTest, AThrowingObserverNeitherFailsTheExportNorStopsTheNextRun) {
    int calls = 0;
    host::SetReportRunObserver([&calls](const TReportRun&) {
        ++calls;
        throw std::runtime_error("listener broke");
    });
    EXPECT_TRUE(RunAndExport("Object status", {TVariant(std::int32_t(0))}, Dir->Path().string()));
    EXPECT_TRUE(RunAndExport("Alarm summary", {TVariant(std::int32_t(0))}, Dir->Path().string()));
    EXPECT_EQ(calls, 2);
}

TEST_F(ReportRunObserverTest, RemovedObserverHearsNothingAndHandsBackTheOneItReplaced) {
    const host::TReportRunObserver mine = host::SetReportRunObserver({});
    EXPECT_TRUE(mine); // the fixture's
    EXPECT_TRUE(RunAndExport("Object status", {TVariant(std::int32_t(0))}, Dir->Path().string()));
    EXPECT_TRUE(Runs.empty());
    EXPECT_FALSE(host::SetReportRunObserver(mine));
}

} // namespace
