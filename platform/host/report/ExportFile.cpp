#include "platform/host/report/ExportFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace host {

namespace {

constexpr std::size_t BufferSize = 1 << 16;

// A temporary file is locked right after it is made; one unlocked for this long belongs to no
// running export.
constexpr std::time_t AbandonedAfterSeconds = 60;

std::atomic<int> WriteFaultAt{0};
std::atomic<int> WriteFaultErrno{0};
std::atomic<int> WriteCount{0};

std::string FolderOf(const std::string& fileName) {
    const auto slash = fileName.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : fileName.substr(0, slash);
}

std::string BaseNameOf(const std::string& fileName) {
    const auto slash = fileName.rfind('/');
    return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

// Read without umask(2), which would change the mask for every thread while it looks.
mode_t ProcessUmask() {
    static const mode_t mask = [] {
        mode_t value = 022;
        if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, status) != nullptr) {
                unsigned octal = 0;
                if (std::sscanf(line, "Umask: %o", &octal) == 1) {
                    value = static_cast<mode_t>(octal);
                    break;
                }
            }
            std::fclose(status);
        }
        return value;
    }();
    return mask;
}

// Six letters or digits, as mkostemp fills them in.
bool StripUniqueSuffix(std::string_view& name) {
    if (name.size() < 7 || name[name.size() - 7] != '.') {
        return false;
    }
    for (std::size_t i = name.size() - 6; i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    name.remove_suffix(7);
    return true;
}

// The target's name of a temporary file: "." + target + ".XXXXXX", or a workbook's scratch
// file beside it, ".XXXXXX.xlsx.XXXXXX" after that.
bool TargetOfTempName(std::string_view name, std::string_view& target) {
    if (name.size() < 2 || name.front() != '.' || !StripUniqueSuffix(name)) {
        return false;
    }
    name.remove_prefix(1);
    std::string_view scratchOf = name;
    if (scratchOf.ends_with(".xlsx")) {
        scratchOf.remove_suffix(5);
        if (StripUniqueSuffix(scratchOf) && !scratchOf.empty()) {
            name = scratchOf;
        }
    }
    target = name;
    return !target.empty();
}

bool RemoveIfAbandoned(int folder, const char* name, std::time_t now) {
    struct stat named {};
    if (::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(named.st_mode) ||
        now - named.st_mtime < AbandonedAfterSeconds) {
        return false;
    }
    const int handle = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0) {
        return false;
    }
    struct stat opened {};
    bool removed = false;
    // The lock is the export's own: a running one holds it until its file has the final name.
    if (::fstat(handle, &opened) == 0 && opened.st_dev == named.st_dev &&
        opened.st_ino == named.st_ino && ::flock(handle, LOCK_EX | LOCK_NB) == 0) {
        removed = ::unlinkat(folder, name, 0) == 0;
    }
    ::close(handle);
    return removed;
}

} // namespace

std::vector<std::string>
RemoveAbandonedExportFiles(const std::string& folder,
                           const std::function<bool(std::string_view target)>& isTarget) {
    std::vector<std::string> removed;
    const int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0) {
        return removed;
    }
    DIR* dir = ::fdopendir(handle);
    if (dir == nullptr) {
        ::close(handle);
        return removed;
    }
    const std::time_t now = std::time(nullptr);
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view target;
        if (TargetOfTempName(entry->d_name, target) && isTarget(target)) {
            candidates.emplace_back(entry->d_name);
        }
    }
    for (const std::string& name : candidates) {
        if (RemoveIfAbandoned(::dirfd(dir), name.c_str(), now)) {
            removed.push_back(name);
        }
    }
    ::closedir(dir);
    return removed;
}

void SetExportWriteFault(int nthWrite, int errorCode) {
    WriteCount = 0;
    WriteFaultErrno = errorCode;
    WriteFaultAt = nthWrite;
}

int ExportWriteCount() noexcept {
    return WriteCount;
}

TExportFile::TExportFile(std::string targetFileName) : FTarget(std::move(targetFileName)) {
    if (FTarget.empty()) {
        throw EExportError("Cannot write file \"\": no file name given");
    }
    if (FTarget.back() == '/') {
        Fail("the name is a folder");
    }
    // Hidden and unique, in the same folder so that the final rename cannot cross file systems.
    std::string pattern = FolderOf(FTarget) + "/." + BaseNameOf(FTarget) + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    FHandle = mkostemp(name.data(), O_CLOEXEC);
    if (FHandle < 0) {
        Fail(std::strerror(errno));
    }
    FTemp = name.data();
    // Tells the clean-up of abandoned files, in this process or another, that it is in use.
    ::flock(FHandle, LOCK_EX | LOCK_NB);
    // mkostemp creates 0600; an export is an ordinary document for the user's other programs.
    ::fchmod(FHandle, 0666 & ~ProcessUmask());
    FBuffer.reserve(BufferSize);
}

TExportFile::~TExportFile() {
    if (!FCommitted) {
        Discard();
    }
}

void TExportFile::Fail(std::string_view reason) const {
    throw EExportError("Cannot write file \"" + FTarget + "\": " + std::string(reason));
}

void TExportFile::RawWrite(const char* data, std::size_t size, off_t offset) {
    while (size > 0) {
        const int count = ++WriteCount;
        const int faultAt = WriteFaultAt;
        ssize_t written;
        if (faultAt > 0 && count == faultAt) {
            written = -1;
            errno = WriteFaultErrno;
        } else {
            written =
                offset < 0 ? ::write(FHandle, data, size) : ::pwrite(FHandle, data, size, offset);
        }
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail(std::strerror(errno));
        }
        data += written;
        size -= static_cast<std::size_t>(written);
        if (offset >= 0) {
            offset += written;
        } else {
            FFlushed += static_cast<std::uint64_t>(written);
        }
    }
}

void TExportFile::Flush() {
    if (!FBuffer.empty()) {
        // Cleared first: a failed write must not be retried from the destructor's point of view.
        std::string pending;
        pending.swap(FBuffer);
        FBuffer.reserve(BufferSize);
        RawWrite(pending.data(), pending.size());
    }
}

void TExportFile::Write(std::string_view data) {
    if (FHandle < 0 || FCommitted) {
        Fail("the file is closed");
    }
    if (!FError.empty()) {
        Fail(FError);
    }
    if (FBuffer.size() + data.size() > BufferSize) {
        Flush();
        if (data.size() >= BufferSize) {
            RawWrite(data.data(), data.size());
            return;
        }
    }
    FBuffer.append(data);
}

void TExportFile::Overwrite(std::uint64_t offset, std::string_view data) {
    if (FHandle < 0 || FCommitted) {
        Fail("the file is closed");
    }
    if (!FError.empty()) {
        Fail(FError);
    }
    if (offset > Position() || data.size() > Position() - offset) {
        Fail("overwrite past the end of the written data");
    }
    if (offset >= FFlushed) {
        FBuffer.replace(static_cast<std::size_t>(offset - FFlushed), data.size(), data);
        return;
    }
    Flush();
    RawWrite(data.data(), data.size(), static_cast<off_t>(offset));
}

bool TExportFile::TryWrite(std::string_view data) noexcept {
    try {
        Write(data);
        return true;
    } catch (const EExportError& e) {
        if (FError.empty()) {
            // Keep only the reason; Fail adds the file name again.
            const std::string& message = e.Message();
            const auto colon = message.find("\": ");
            FError = colon == std::string::npos ? message : message.substr(colon + 3);
        }
    } catch (...) {
        if (FError.empty()) {
            FError = "out of memory";
        }
    }
    return false;
}

void TExportFile::Commit(bool replace) {
    if (FCommitted) {
        return;
    }
    try {
        if (!FError.empty()) {
            Fail(FError);
        }
        Flush();
        if (::fsync(FHandle) != 0) {
            Fail(std::strerror(errno));
        }
        // Renamed while still open, so the lock holds until the file has its final name.
        if (!(replace ? ::rename(FTemp.c_str(), FTarget.c_str()) == 0 : RenameNoReplace())) {
            Fail(std::strerror(errno));
        }
        // Synced above: what close could still report changes nothing of the file.
        ::close(FHandle);
        FHandle = -1;
        FCommitted = true;
    } catch (...) {
        Discard();
        throw;
    }
    // The rename itself is durable only once the folder is synced; the file is complete either
    // way, so a failure here is not the export's failure.
    const int folder = ::open(FolderOf(FTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

bool TExportFile::RenameNoReplace() {
    if (::renameat2(AT_FDCWD, FTemp.c_str(), AT_FDCWD, FTarget.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL || ::link(FTemp.c_str(), FTarget.c_str()) != 0) {
        return false;
    }
    // A file system without the exclusive rename: the exclusive link does the same.
    ::unlink(FTemp.c_str());
    return true;
}

void TExportFile::Discard() noexcept {
    if (FHandle >= 0) {
        ::close(FHandle);
        FHandle = -1;
    }
    if (!FTemp.empty()) {
        ::unlink(FTemp.c_str());
        FTemp.clear();
    }
}

} // namespace host
