#include "tasks/ExportRetention.h"

#include "platform/host/delivery/Outbox.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
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

std::string TRetention::Note() const {
    std::string note;
    if (Removed > 0) {
        note = "removed " + std::to_string(Removed) + " older " + (Removed == 1 ? "file" : "files");
    }
    for (const std::string& failure : NotRemoved) {
        note += (note.empty() ? "" : "; ") + failure;
    }
    return note;
}

TRetention RemoveOldExports(host::TRunHistory& history, const std::string& taskId,
                            const std::string& folder, const std::string& currentFile, int keep,
                            rtl::TDateTime now) noexcept {
    TRetention result;
    if (keep <= 0) {
        return result;
    }
    try {
        // A trailing delimiter leaves an empty last part; the normal form drops it.
        const fs::path folderPath = (fs::path(folder) / "").lexically_normal().parent_path();
        std::set<std::string> seen{currentFile};
        int kept = 1;
        std::optional<std::set<std::string>> queuedMail; // read once, when first needed
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
            // A mail still to be sent attaches it: the next run looks again.
            if (!queuedMail) {
                const std::vector<std::string> files = host::FilesForQueuedMail(history.FileName());
                queuedMail = std::set<std::string>(files.begin(), files.end());
            }
            if (queuedMail->contains(run.FileName)) {
                continue;
            }
            if (::unlink(run.FileName.c_str()) == 0) {
                history.MarkFileRemoved(run.Id, now);
                ++result.Removed;
            } else {
                // Still counted as kept, so the next run tries again.
                result.NotRemoved.push_back("could not remove " + run.FileName + ": " +
                                            std::strerror(errno));
            }
        }
    } catch (const std::exception& e) {
        // Retention never turns a successful run into a failed one.
        result.NotRemoved.push_back(std::string("could not look for older files: ") + e.what());
    } catch (...) {
    }
    return result;
}

} // namespace morvid
