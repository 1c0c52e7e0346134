#include "platform/host/delivery/OutboxSpool.h"

#include "platform/rtl/SysUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace host {

namespace {

namespace fs = std::filesystem;

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
    throw rtl::Exception("Cannot keep " + Quoted(path) + " for the mail: " + what + ": " +
                         std::strerror(error));
}

// A copy under a temporary name first, so a copy cut short is never taken for the file.
void CopyFile(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0) {
        Fail("cannot read it", from, errno);
    }
    const std::string part = to + ".part";
    const int out = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        Fail("cannot write " + Quoted(part), from, error);
    }
    char buffer[65536];
    ssize_t got = 0;
    bool ok = true;
    while (ok && (got = ::read(in, buffer, sizeof buffer)) > 0) {
        for (ssize_t done = 0; ok && done < got;) {
            const ssize_t put = ::write(out, buffer + done, static_cast<std::size_t>(got - done));
            ok = put > 0;
            done += put > 0 ? put : 0;
        }
    }
    ok = ok && got == 0 && ::fsync(out) == 0;
    const int error = errno;
    ::close(in);
    ok = ::close(out) == 0 && ok;
    if (!ok || ::rename(part.c_str(), to.c_str()) != 0) {
        ::unlink(part.c_str());
        Fail("cannot copy it", from, ok ? errno : error);
    }
}

} // namespace

TOutboxSpool::TOutboxSpool(const std::string& historyFile) : FFolder(historyFile + "-spool") {}

std::string TOutboxSpool::Keep(TMailMessage& mail, const std::string& token) const {
    const std::string folder = FFolder + "/" + token;
    for (const std::string& made : {FFolder, folder}) {
        if (::mkdir(made.c_str(), 0700) != 0 && (errno != EEXIST || made == folder)) {
            throw rtl::Exception("Cannot make the mail spool folder " + Quoted(made) + ": " +
                                 std::strerror(errno));
        }
    }
    try {
        int number = 0;
        for (TMailAttachment& file : mail.Attachments) {
            const std::string kept = folder + "/" + std::to_string(++number);
            struct stat info {};
            if (::lstat(file.Path.c_str(), &info) != 0) {
                Fail("it is gone", file.Path, errno);
            }
            if (!S_ISREG(info.st_mode)) {
                throw rtl::Exception("Cannot keep " + Quoted(file.Path) +
                                     " for the mail: it is not a regular file");
            }
            // A link is free and instant; file systems without links, or another device, get a
            // copy.
            if (::link(file.Path.c_str(), kept.c_str()) != 0) {
                CopyFile(file.Path, kept);
            }
            file.Path = kept;
        }
    } catch (...) {
        Remove(folder);
        throw;
    }
    return folder;
}

bool TOutboxSpool::Remove(const std::string& folder) const noexcept {
    std::error_code error;
    const fs::path path = fs::path(folder).lexically_normal();
    if (folder.empty() || path.parent_path() != fs::path(FFolder).lexically_normal()) {
        return false;
    }
    fs::remove_all(path, error);
    return !error;
}

std::vector<std::string> TOutboxSpool::Leftovers(const std::vector<std::string>& needed,
                                                 std::int64_t minAgeSeconds) const {
    std::vector<std::string> leftovers;
    std::error_code error;
    const std::time_t now = std::time(nullptr);
    for (const fs::directory_entry& entry : fs::directory_iterator(FFolder, error)) {
        const std::string folder = entry.path().string();
        struct stat info {};
        if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
            now - info.st_mtime < minAgeSeconds ||
            std::find(needed.begin(), needed.end(), folder) != needed.end()) {
            continue;
        }
        leftovers.push_back(folder);
    }
    return leftovers;
}

} // namespace host
