#include "tasks/ExportReservation.h"

#include "platform/rtl/SysUtils.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace morvid {

namespace {

[[noreturn]] void RaiseCannotCreate(const std::string& fileName, int error) {
    throw rtl::EOSError(
        rtl::Format("Cannot create file \"%s\". %s", fileName.c_str(), std::strerror(error)));
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

enum class TReplaced { Taken, Held, Changed };

// Puts `temp` in place of what stands at `fileName`, unless that is a file another run holds.
// The file is locked before it is replaced, so two runs never both replace it: the second finds
// it held, or finds another file at the name once the lock is its own.
TReplaced ReplaceUnlessHeld(const std::string& temp, const std::string& fileName) {
    int existing = -1;
    struct stat named {};
    if (::lstat(fileName.c_str(), &named) != 0) {
        if (errno == ENOENT) {
            return TReplaced::Changed;
        }
    } else if (S_ISREG(named.st_mode)) {
        existing = ::open(fileName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat opened {};
        if (existing >= 0) {
            if (::fstat(existing, &opened) != 0 || !SameFile(opened, named)) {
                ::close(existing);
                return TReplaced::Changed;
            }
            if (::flock(existing, LOCK_EX | LOCK_NB) != 0) {
                ::close(existing);
                return TReplaced::Held;
            }
            if (::lstat(fileName.c_str(), &named) != 0 || !SameFile(opened, named)) {
                ::close(existing);
                return TReplaced::Changed;
            }
        }
        // A file this user cannot read is no run's of this user: it is replaced as before.
    }
    const int renamed = ::rename(temp.c_str(), fileName.c_str());
    const int error = errno;
    if (existing >= 0) {
        ::close(existing);
    }
    if (renamed != 0) {
        RaiseCannotCreate(fileName, error);
    }
    return TReplaced::Taken;
}

} // namespace

TExportReservation::TExportReservation(TExportReservation&& other) noexcept
    : FFileName(std::move(other.FFileName)), FHandle(std::exchange(other.FHandle, -1)),
      FDevice(other.FDevice), FInode(other.FInode) {}

TExportReservation& TExportReservation::operator=(TExportReservation&& other) noexcept {
    if (this != &other) {
        Release();
        FFileName = std::move(other.FFileName);
        FHandle = std::exchange(other.FHandle, -1);
        FDevice = other.FDevice;
        FInode = other.FInode;
    }
    return *this;
}

bool TExportReservation::Take(const std::string& fileName, bool replace) {
    Release();
    // Made and locked under a name of its own, then moved to the name: it is never seen there
    // unlocked. Named as an export's temporary file, so one left by a killed run is cleared away.
    const std::filesystem::path path(fileName);
    std::string temp = (path.parent_path() / ("." + path.filename().string() + ".XXXXXX")).string();
    const int handle = ::mkostemp(temp.data(), O_CLOEXEC);
    if (handle < 0) {
        RaiseCannotCreate(fileName, errno);
    }
    ::flock(handle, LOCK_EX | LOCK_NB); // just made: nobody else has it open
    const auto giveUp = [&] {
        ::unlink(temp.c_str());
        ::close(handle);
    };
    bool taken = false;
    try {
        // A name that comes and goes meanwhile is tried again, a few times.
        for (int attempt = 0; attempt < 3 && !taken; ++attempt) {
            if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, fileName.c_str(), RENAME_NOREPLACE) ==
                0) {
                taken = true;
                break;
            }
            if (errno == EINVAL) {
                // A file system without the exclusive rename: the exclusive link does the same.
                if (::link(temp.c_str(), fileName.c_str()) == 0) {
                    ::unlink(temp.c_str());
                    taken = true;
                    break;
                }
            }
            if (errno != EEXIST) {
                RaiseCannotCreate(fileName, errno);
            }
            if (!replace) {
                break;
            }
            const TReplaced replaced = ReplaceUnlessHeld(temp, fileName);
            taken = replaced == TReplaced::Taken;
            if (replaced == TReplaced::Held) {
                break;
            }
        }
    } catch (...) {
        giveUp();
        throw;
    }
    if (!taken) {
        giveUp();
        return false;
    }
    struct stat facts {};
    ::fstat(handle, &facts);
    FFileName = fileName;
    FHandle = handle;
    FDevice = facts.st_dev;
    FInode = facts.st_ino;
    return true;
}

void TExportReservation::HoldWritten() noexcept {
    if (FHandle < 0 || FInode == 0) {
        return;
    }
    const int written = ::open(FFileName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat facts {};
    if (written < 0 || ::fstat(written, &facts) != 0 || !S_ISREG(facts.st_mode) ||
        (facts.st_dev == FDevice && facts.st_ino == FInode)) {
        if (written >= 0) {
            ::close(written);
        }
        return;
    }
    // The history knows the file only once the run is told; until then the lock tells.
    ::flock(written, LOCK_EX | LOCK_NB);
    ::close(FHandle);
    FHandle = written;
    FInode = 0;
}

void TExportReservation::Release() noexcept {
    if (FHandle < 0) {
        return;
    }
    struct stat named {};
    // Still the empty placeholder: the run wrote nothing in its place.
    if (FInode != 0 && ::lstat(FFileName.c_str(), &named) == 0 && named.st_dev == FDevice &&
        named.st_ino == FInode) {
        ::unlink(FFileName.c_str());
    }
    ::close(FHandle);
    FHandle = -1;
    FInode = 0;
}

} // namespace morvid
