#include "tasks/ExportPathCheck.h"

#include "platform/rtl/Words.h"

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace morvid {

namespace {

std::string SystemReason(int error) {
    return std::generic_category().message(error);
}

} // namespace

std::string ExpandHome(const std::string& text, const std::string& home) {
    if (text == "~") {
        return home;
    }
    if (text.starts_with("~/")) {
        return home + text.substr(1);
    }
    return text;
}

TExportPathCheck CheckExportPath(const std::string& text, const std::string& home) {
    TExportPathCheck check;
    check.Path = ExpandHome(text, home);
    if (!check.Path.starts_with('/')) {
        check.State = TExportPathState::Relative;
        return check;
    }
    struct stat status {};
    if (::stat(check.Path.c_str(), &status) != 0) {
        const int error = errno;
        check.State = error == ENOENT ? TExportPathState::Missing : TExportPathState::Unusable;
        check.Reason = error == ENOENT ? std::string() : SystemReason(error);
        return check;
    }
    if (!S_ISDIR(status.st_mode)) {
        check.State = TExportPathState::Unusable;
        check.Reason = SystemReason(ENOTDIR);
        return check;
    }
    // A run creates its file in the folder, so it must be able to write and search there.
    if (::access(check.Path.c_str(), W_OK | X_OK) != 0) {
        check.State = TExportPathState::Unusable;
        check.Reason = SystemReason(errno);
    }
    return check;
}

std::string ExportPathFault(const std::string& text, const std::string& home) {
    if (text.empty()) {
        return MORVID_WORDS("ExportPath", "The export path is empty").Text;
    }
    return ExpandHome(text, home).starts_with('/')
               ? std::string()
               : MORVID_WORDS("ExportPath", "Not a full path: start it with \"/\" or \"~/\".").Text;
}

std::string CreateExportFolder(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return error ? error.message() : std::string();
}

} // namespace morvid
