#include "tasks/ExportRetention.h"

#include <filesystem>
#include <set>
#include <unistd.h>

namespace morvid {

namespace {

namespace fs = std::filesystem;

bool DirectlyIn(const std::string& file, const fs::path& folder) {
    const fs::path path = fs::path(file).lexically_normal();
    return path.has_filename() && path.parent_path() == folder;
}

} // namespace

int RemoveOldExports(host::TRunHistory& history, const std::string& taskId,
                     const std::string& folder, const std::string& currentFile, int keep,
                     rtl::TDateTime now) noexcept {
    if (keep <= 0) {
        return 0;
    }
    int removed = 0;
    try {
        // A trailing delimiter leaves an empty last part; the normal form drops it.
        const fs::path folderPath = (fs::path(folder) / "").lexically_normal().parent_path();
        std::set<std::string> seen{currentFile};
        int kept = 1;
        for (const host::TRunRecord& run : history.KeptExports(taskId)) {
            // A re-run within its minute wrote the same name again; that file counts once.
            if (!seen.insert(run.FileName).second) {
                continue;
            }
            const auto facts = host::RegularFileFacts(run.FileName);
            if (!facts) {
                // Gone: the history stops counting it. Anything else in its place (a link, a
                // folder) is not ours and stays untouched.
                std::error_code error;
                if (fs::symlink_status(run.FileName, error).type() == fs::file_type::not_found) {
                    history.MarkFileRemoved(run.Id, now);
                }
                continue;
            }
            if (facts->Stamp != run.FileStamp || !DirectlyIn(run.FileName, folderPath)) {
                continue; // replaced since, or outside the folder the task exports into now
            }
            if (kept < keep) {
                ++kept;
                continue;
            }
            if (::unlink(run.FileName.c_str()) == 0) {
                history.MarkFileRemoved(run.Id, now);
                ++removed;
            }
        }
    } catch (...) {
        // Retention never turns a successful run into a failed one.
    }
    return removed;
}

} // namespace morvid
