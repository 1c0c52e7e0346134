// Helpers for the report engine's tests: a scratch folder, sample reports, reading files back
// and running the command-line readers (pdftotext, unzip) on them.
#pragma once

#include "platform/host/report/Report.h"

#include <filesystem>
#include <string>
#include <vector>

namespace reporttest {

// A fresh folder under the system's temp folder, removed with everything in it.
class TScratchDir {
public:
    TScratchDir();
    ~TScratchDir();
    TScratchDir(const TScratchDir&) = delete;
    TScratchDir& operator=(const TScratchDir&) = delete;

    const std::filesystem::path& Path() const noexcept { return FPath; }
    std::string File(const std::string& name) const { return (FPath / name).string(); }
    // Names of the entries in the folder, hidden ones included, sorted.
    std::vector<std::string> Entries() const;

private:
    std::filesystem::path FPath;
};

// A small "Alarm log" with every cell type, commas, quotes, line breaks and non-ASCII text.
void FillSampleReport(host::TfrxReport& report);
// An "Alarm log" of the given number of rows of plain values, as the benchmarks use.
void FillAlarmLog(host::TfrxReport& report, int rows);

std::string ReadFile(const std::string& fileName);
// Standard output of a shell command; the exit status must be 0 or the test fails.
std::string RunCommand(const std::string& command);
std::string PdfText(const std::string& fileName, int firstPage = 0, int lastPage = 0);
int PdfPageCount(const std::string& fileName);
std::string ZipMember(const std::string& fileName, const std::string& member);

// RFC 4180 records; fails the test on malformed input.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text);

} // namespace reporttest
