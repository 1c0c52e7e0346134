#include "tools/morvid-history/RunListing.h"

#include "platform/rtl/JsonText.h"

#include <cstdio>
#include <string>

namespace morvid::history {

namespace {

std::string Moment(rtl::TDateTime value) {
    return value == 0 ? std::string() : rtl::FormatDateTimeISO(value);
}

std::string Seconds(std::int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000.0);
    return text;
}

std::string JsonMoment(rtl::TDateTime value) {
    return value == 0 ? "null" : rtl::JsonString(rtl::FormatDateTimeISO(value, true));
}

} // namespace

void PrintRuns(const std::vector<host::TRunRecord>& runs, std::ostream& out) {
    for (const host::TRunRecord& run : runs) {
        out << Moment(run.Started) << "  " << run.TaskName << "  "
            << host::RunTriggerText(run.Trigger) << "  " << Seconds(run.DurationMs()) << "  "
            << (run.Outcome == host::TRunOutcome::Failed ? "FAILED " : "") << run.Result;
        if (!run.FileName.empty()) {
            out << "  " << run.FileName << " (" << run.FileSize << " bytes"
                << (run.FileRemoved != 0 ? ", removed" : "") << ")";
        }
        if (!run.Note.empty()) {
            out << "  [" << run.Note << "]";
        }
        out << '\n';
    }
}

void PrintRunsJson(const std::vector<host::TRunRecord>& runs, std::ostream& out) {
    out << "[";
    const char* separator = "\n";
    for (const host::TRunRecord& run : runs) {
        out << separator << "  {\"id\": " << run.Id
            << ", \"task_id\": " << rtl::JsonString(run.TaskId)
            << ", \"task\": " << rtl::JsonString(run.TaskName)
            << ", \"report\": " << rtl::JsonString(run.ReportName)
            << ", \"format\": " << rtl::JsonString(run.Format)
            << ", \"due\": " << JsonMoment(run.Due) << ", \"started\": " << JsonMoment(run.Started)
            << ", \"ended\": " << JsonMoment(run.Ended) << ", \"duration_ms\": " << run.DurationMs()
            << ", \"result\": " << rtl::JsonString(run.Result)
            << ", \"failed\": " << (run.Outcome == host::TRunOutcome::Failed ? "true" : "false")
            << ", \"file\": " << (run.FileName.empty() ? "null" : rtl::JsonString(run.FileName))
            << ", \"file_size\": " << (run.FileName.empty() ? -1 : run.FileSize)
            << ", \"file_removed\": " << JsonMoment(run.FileRemoved)
            << ", \"started_by\": " << rtl::JsonString(host::RunTriggerText(run.Trigger))
            << ", \"note\": " << rtl::JsonString(run.Note) << "}";
        separator = ",\n";
    }
    out << (runs.empty() ? "]\n" : "\n]\n");
}

} // namespace morvid::history
