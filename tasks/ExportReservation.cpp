#include "tasks/ExportReservation.h"

#include "platform/host/report/ExportFile.h"
#include "platform/rtl/SysUtils.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace morvid {

namespace {

// What a claim holds: a file of this name without it is somebody else's and is never touched.
constexpr std::string_view ClaimText = "Morvid export claim\n";
constexpr std::string_view ClaimSuffix = ".claim";

[[noreturn]] void RaiseCannotCreate(const std::string& fileName, int error) {
    throw rtl::EOSError(
        rtl::Format("Cannot create file \"%s\". %s", fileName.c_str(), std::strerror(error)));
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool HoldsClaimText(int handle) {
    char text[ClaimText.size() + 1];
    const ssize_t got = ::pread(handle, text, sizeof text, 0);
    return got == static_cast<ssize_t>(ClaimText.size()) &&
           std::string_view(text, ClaimText.size()) == ClaimText;
}

enum class TClaimed { Ours, Held, Changed };

// Locks the claim that stands at `name` (relative to `folder`) when it is ours and no run holds
// it; `handle` then keeps it locked. The name is checked again once locked: a claim removed
// meanwhile is no longer the one at the name.
TClaimed LockAbandoned(int folder, const char* name, int& handle) {
    handle = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0) {
        return errno == ENOENT ? TClaimed::Changed : TClaimed::Held;
    }
    struct stat opened {};
    struct stat named {};
    TClaimed result = TClaimed::Held;
    if (::fstat(handle, &opened) == 0 && S_ISREG(opened.st_mode) && HoldsClaimText(handle) &&
        ::flock(handle, LOCK_EX | LOCK_NB) == 0) {
        result =
            ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(opened, named)
                ? TClaimed::Ours
                : TClaimed::Changed;
    }
    if (result != TClaimed::Ours) {
        ::close(handle);
        handle = -1;
    }
    return result;
}

// Puts a new claim at `claim`, or takes over one a killed run left there.
TClaimed Claim(const std::string& claim, const std::string& fileName, int& handle) {
    std::string temp = claim + ".XXXXXX";
    const int made = ::mkostemp(temp.data(), O_CLOEXEC);
    if (made < 0) {
        RaiseCannotCreate(fileName, errno);
    }
    ::flock(made, LOCK_EX | LOCK_NB); // just made: nobody else has it open
    const bool written =
        ::write(made, ClaimText.data(), ClaimText.size()) == static_cast<ssize_t>(ClaimText.size());
    int error = written ? 0 : errno;
    bool placed = false;
    if (written) {
        placed =
            ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, claim.c_str(), RENAME_NOREPLACE) == 0;
        error = placed ? 0 : errno;
        if (!placed && error == EINVAL) {
            // A file system without the exclusive rename: the exclusive link does the same.
            placed = ::link(temp.c_str(), claim.c_str()) == 0;
            error = placed ? 0 : errno;
            ::unlink(temp.c_str());
        }
    }
    if (placed) {
        handle = made;
        return TClaimed::Ours;
    }
    ::unlink(temp.c_str());
    ::close(made);
    if (error != EEXIST) {
        RaiseCannotCreate(fileName, error == 0 ? EIO : error);
    }
    return LockAbandoned(AT_FDCWD, claim.c_str(), handle);
}

} // namespace

std::string ExportClaimName(const std::string& fileName) {
    const std::filesystem::path path(fileName);
    return (path.parent_path() / ("." + path.filename().string() + std::string(ClaimSuffix)))
        .string();
}

TExportReservation::TExportReservation(TExportReservation&& other) noexcept
    : FClaim(std::move(other.FClaim)), FHandle(std::exchange(other.FHandle, -1)),
      FReplaces(other.FReplaces) {}

TExportReservation& TExportReservation::operator=(TExportReservation&& other) noexcept {
    if (this != &other) {
        Release();
        FClaim = std::move(other.FClaim);
        FHandle = std::exchange(other.FHandle, -1);
        FReplaces = other.FReplaces;
    }
    return *this;
}

bool TExportReservation::Take(const std::string& fileName, bool replace) {
    Release();
    const std::string claim = ExportClaimName(fileName);
    // A claim that goes while it is looked at is tried again, a few times.
    for (int attempt = 0; attempt < 3; ++attempt) {
        int handle = -1;
        const TClaimed claimed = Claim(claim, fileName, handle);
        if (claimed == TClaimed::Held) {
            return false;
        }
        if (claimed == TClaimed::Changed) {
            continue;
        }
        FClaim = claim;
        FHandle = handle;
        FReplaces = replace;
        struct stat named {};
        // Looked at only now that the name is ours: a run that held it may have finished its
        // file there meanwhile.
        if (!replace && ::lstat(fileName.c_str(), &named) == 0) {
            Release();
            return false;
        }
        return true;
    }
    return false;
}

void TExportReservation::Release() noexcept {
    if (FHandle < 0) {
        return;
    }
    struct stat held {};
    struct stat named {};
    // Removed while still locked, so no other run takes it for abandoned and removes a newer one.
    if (::fstat(FHandle, &held) == 0 && ::lstat(FClaim.c_str(), &named) == 0 &&
        SameFile(held, named)) {
        ::unlink(FClaim.c_str());
    }
    ::close(FHandle);
    FHandle = -1;
    FClaim.clear();
}

std::vector<std::string> RemoveAbandonedClaims(const std::string& folder) {
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
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() > ClaimSuffix.size() + 1 && name.front() == '.' &&
            name.ends_with(ClaimSuffix)) {
            candidates.emplace_back(name);
        }
    }
    for (const std::string& name : candidates) {
        int claim = -1;
        if (LockAbandoned(::dirfd(dir), name.c_str(), claim) != TClaimed::Ours) {
            continue;
        }
        // While the claim is locked no run writes its export: what it left is abandoned.
        const std::string target = name.substr(1, name.size() - 1 - ClaimSuffix.size());
        for (std::string& temp : host::RemoveAbandonedExportFiles(
                 folder, [&](std::string_view of) { return of == target; })) {
            removed.push_back(std::move(temp));
        }
        if (::unlinkat(::dirfd(dir), name.c_str(), 0) == 0) {
            removed.push_back(name);
        }
        ::close(claim);
    }
    ::closedir(dir);
    return removed;
}

} // namespace morvid
