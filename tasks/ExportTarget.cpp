#include "tasks/ExportTarget.h"

#include <filesystem>

namespace morvid {

namespace {

// More tasks than this writing one report in one format into one folder in one minute is no
// plan anybody made; the last name is then replaced as before.
constexpr int MaxSuffix = 1000;

} // namespace

TExportTarget ChooseExportTarget(const host::TRunHistory* history, const std::string& taskId,
                                 const std::string& stem, const std::string& ext,
                                 rtl::TDateTime now) {
    TExportTarget target{stem + ext, {}};
    if (history == nullptr) {
        return target;
    }
    // The name holds the minute; a run that started just before it may have written it too.
    const std::int64_t ms = rtl::DateTimeToMilliSeconds(now);
    const rtl::TDateTime since = rtl::MilliSecondsToDateTime(ms - ms % 60'000 - 60'000);
    std::string firstWriter;
    for (int suffix = 1; suffix <= MaxSuffix; ++suffix) {
        target.FileName = suffix == 1 ? stem + ext : stem + "_" + std::to_string(suffix) + ext;
        std::optional<host::TRunRecord> writer;
        try {
            writer = history->LastWriterOf(target.FileName, since);
        } catch (const std::exception&) {
            break; // an unreadable history: the name as it would be without one
        }
        if (!writer || writer->TaskId == taskId) {
            break;
        }
        if (firstWriter.empty()) {
            firstWriter = writer->TaskName;
        }
    }
    if (!firstWriter.empty()) {
        target.Note = "written as " + std::filesystem::path(target.FileName).filename().string() +
                      ": task \"" + firstWriter + "\" wrote " +
                      std::filesystem::path(stem + ext).filename().string() + " in the same minute";
    }
    return target;
}

} // namespace morvid
