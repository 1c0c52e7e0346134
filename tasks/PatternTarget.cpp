#include "tasks/PatternTarget.h"

#include "platform/rtl/SysUtils.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace morvid {

namespace {

constexpr int MaxSuffix = 1000;

bool Taken(const std::string& path) {
    struct stat facts {};
    return ::lstat(path.c_str(), &facts) == 0;
}

// Another task wrote the file last, as far as the history knows.
bool OthersFile(const host::TRunHistory* history, const std::string& taskId,
                const std::string& path) {
    if (history == nullptr) {
        return false;
    }
    try {
        const std::optional<host::TRunRecord> writer = history->LastWriterOf(path, 0);
        return writer && writer->TaskId != taskId;
    } catch (const std::exception&) {
        return Taken(path); // an unreadable history: whatever stands there may be another's
    }
}

} // namespace

void MakeExportFolders(const std::string& folder, const std::string& relative) {
    std::string path = folder;
    std::size_t start = 0;
    for (std::size_t slash = relative.find('/'); slash != std::string::npos;
         start = slash + 1, slash = relative.find('/', start)) {
        path +=
            (path.empty() || path.back() == '/' ? "" : "/") + relative.substr(start, slash - start);
        struct stat facts {};
        if (::lstat(path.c_str(), &facts) == 0) {
            if (!S_ISDIR(facts.st_mode)) {
                throw rtl::Exception(
                    rtl::Format("Cannot use folder \"%s\": %s stands there", path.c_str(),
                                S_ISLNK(facts.st_mode) ? "a link" : "something that is no folder"));
            }
            continue;
        }
        if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
            throw rtl::EOSError(
                rtl::Format("Cannot create folder \"%s\". %s", path.c_str(), std::strerror(errno)));
        }
    }
}

TExportTarget ChoosePatternTarget(const host::TRunHistory* history, const std::string& taskId,
                                  const std::string& folder, const std::string& relative,
                                  bool keepBoth) {
    const std::string wanted = folder + relative;
    const std::filesystem::path path(wanted);
    const std::string stem = (path.parent_path() / path.stem()).string();
    const std::string ext = path.extension().string();
    const std::string name = path.filename().string();
    TExportTarget target;
    std::string why; // why the wanted name was not taken
    for (int suffix = 1;; ++suffix) {
        target.FileName = suffix == 1 ? wanted : stem + "_" + std::to_string(suffix) + ext;
        // The last name is replaced as before, whichever the mode, unless a run holds it.
        const bool last = suffix == MaxSuffix;
        if (!keepBoth && !last && OthersFile(history, taskId, target.FileName)) {
            if (why.empty()) {
                why = "another task wrote " + name;
            }
            continue;
        }
        if (target.Reservation.Take(target.FileName, !keepBoth || last)) {
            break;
        }
        if (last) {
            throw rtl::EOSError(rtl::Format("Cannot create file \"%s\". %s",
                                            target.FileName.c_str(), std::strerror(EEXIST)));
        }
        if (why.empty()) {
            why = keepBoth ? name + " was there" : "another run was writing " + name;
        }
    }
    if (!why.empty()) {
        target.Note =
            "written as " + std::filesystem::path(target.FileName).filename().string() + ": " + why;
    }
    return target;
}

} // namespace morvid
