#include "tasks/ExportTarget.h"

#include "platform/rtl/SysUtils.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace morvid {

namespace {

// More runs than this writing one report in one format into one folder in one minute is no plan
// anybody made; the last name is then replaced as before, unless a run holds it.
constexpr int MaxSuffix = 1000;

std::string BaseName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

} // namespace

TExportTarget ChooseExportTarget(const host::TRunHistory* history, const std::string& taskId,
                                 const std::string& stem, const std::string& ext,
                                 rtl::TDateTime now) {
    TExportTarget target;
    // The name holds the minute; a run that started just before it may have written it too.
    const std::int64_t ms = rtl::DateTimeToMilliSeconds(now);
    const rtl::TDateTime since = rtl::MilliSecondsToDateTime(ms - ms % 60'000 - 60'000);
    const std::string usual = BaseName(stem + ext);
    std::string why; // why the usual name was not taken
    for (int suffix = 1;; ++suffix) {
        target.FileName = suffix == 1 ? stem + ext : stem + "_" + std::to_string(suffix) + ext;
        const bool last = suffix == MaxSuffix;
        std::optional<host::TRunRecord> writer;
        try {
            writer = history != nullptr && !last ? history->LastWriterOf(target.FileName, since)
                                                 : std::nullopt;
        } catch (const std::exception&) {
            // An unreadable history: the name as it would be without one.
        }
        if (writer && writer->TaskId != taskId) {
            if (why.empty()) {
                why = "task \"" + writer->TaskName + "\" wrote " + usual + " in the same minute";
            }
            continue;
        }
        if (target.Reservation.Take(target.FileName, true)) {
            break;
        }
        if (last) {
            throw rtl::EOSError(rtl::Format("Cannot create file \"%s\". %s",
                                            target.FileName.c_str(), std::strerror(EEXIST)));
        }
        if (why.empty()) {
            why = "another run was writing " + usual;
        }
    }
    if (!why.empty()) {
        target.Note = "written as " + BaseName(target.FileName) + ": " + why;
    }
    return target;
}

} // namespace morvid
