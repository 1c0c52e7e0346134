// A zip archive written into an export file entry by entry, each entry streamed as it is
// produced (the zip library patches an entry's sizes in place once the entry is closed).
#pragma once

#include "platform/rtl/DateUtils.h"

#include <memory>
#include <string>
#include <string_view>

namespace host {

class TExportFile;

class TZipPackage {
public:
    // Entries carry the given modification time (the zip format starts at 1980).
    TZipPackage(TExportFile& file, rtl::TDateTime modified);
    // An archive that was not finished is left incomplete; the export file is discarded then.
    ~TZipPackage();
    TZipPackage(const TZipPackage&) = delete;
    TZipPackage& operator=(const TZipPackage&) = delete;

    enum class TMethod { Stored, Deflated };
    // Closes the open entry, if any, and starts the next one.
    void BeginEntry(const std::string& name, TMethod method);
    void Write(std::string_view data);
    // Closes the open entry and writes the central directory.
    void Finish();

    // What the zip library's file callbacks write through.
    struct TSink;

private:
    void Check(int result, const char* operation);
    void EndEntry();

    std::unique_ptr<TSink> FSink;
    void* FZip = nullptr;
    rtl::TDateTime FModified;
    bool FEntryOpen = false;
    std::uint64_t FEntrySize = 0;
};

} // namespace host
