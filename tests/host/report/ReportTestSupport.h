// Helpers for the report engine's tests: a scratch folder, sample reports, reading files back
// and running the command-line readers (pdftotext, unzip) on them.
#pragma once

#include "platform/host/report/Report.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <string>
#include <vector>

namespace reporttest {

using morvid::test::TScratchDir;

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
