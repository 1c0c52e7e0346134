// The file an export filter writes: a temporary file beside the target that replaces the target
// only when the whole report was written and is on disk, so a failure never leaves part of a file.
#pragma once

#include "platform/rtl/SysUtils.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace host {

// Raised for every failure of an export; the message names the target file.
class EExportError : public rtl::Exception {
public:
    using Exception::Exception;
};

// The temporary file is "." + the target's name + "." + six letters or digits, beside the
// target, and locked (flock) while an export holds it.
class TExportFile {
public:
    // Creates the temporary file in the target's folder; raises EExportError when it cannot.
    explicit TExportFile(std::string targetFileName);
    // Removes the temporary file unless Commit succeeded.
    ~TExportFile();
    TExportFile(const TExportFile&) = delete;
    TExportFile& operator=(const TExportFile&) = delete;

    const std::string& TargetFileName() const noexcept { return FTarget; }
    const std::string& TempFileName() const noexcept { return FTemp; }

    // Buffered; raises EExportError on a failed write.
    void Write(std::string_view data);
    void Write(const char* data, std::size_t size) { Write(std::string_view(data, size)); }

    // For writers that report errors by return value (Qt devices): a failure is remembered
    // here and raised by Commit.
    bool TryWrite(std::string_view data) noexcept;
    bool Failed() const noexcept { return !FError.empty(); }

    // Bytes written so far, buffered ones included.
    std::uint64_t Position() const noexcept { return FFlushed + FBuffer.size(); }
    // Replaces bytes already written at offset (a zip writer fills in an entry's sizes once it
    // knows them); the range must lie below Position(). Raises EExportError on failure.
    void Overwrite(std::uint64_t offset, std::string_view data);

    // Flushes, syncs and renames the temporary file onto the target. Raises EExportError
    // (and removes the temporary file) on any failure, also one remembered by TryWrite. With
    // `replace` false a file that stands at the target stays, and the export fails.
    void Commit(bool replace = true);

    // Raises EExportError with "Cannot write file \"<target>\": <reason>".
    [[noreturn]] void Fail(std::string_view reason) const;

private:
    void Flush();
    // At offset, or appended when offset is negative.
    void RawWrite(const char* data, std::size_t size, off_t offset = -1);
    void Discard() noexcept;
    bool RenameNoReplace();

    std::string FTarget;
    std::string FTemp;
    int FHandle = -1;
    bool FCommitted = false;
    std::uint64_t FFlushed = 0; // bytes handed to the file, FBuffer's not included
    std::string FBuffer;
    std::string FError;
};

// Removes from `folder` what exports that were killed while they wrote (kill -9, a power loss)
// left: regular files named as the temporary file of a target that `isTarget` accepts, that no
// export holds and that are older than a fresh one can be unlocked. Never follows a link and
// touches nothing else; what cannot be removed stays. Returns the names removed.
std::vector<std::string>
RemoveAbandonedExportFiles(const std::string& folder,
                           const std::function<bool(std::string_view target)>& isTarget);

// Test seam for disk errors: the nth low-level write from now on (1 = the next one) fails with
// the given errno value; 0 turns it off. Also counts the writes since the last call.
void SetExportWriteFault(int nthWrite, int errorCode);
int ExportWriteCount() noexcept;

} // namespace host
