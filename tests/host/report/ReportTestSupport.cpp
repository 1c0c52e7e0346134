#include "ReportTestSupport.h"

#include "platform/rtl/DateUtils.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <sys/wait.h>

namespace reporttest {

void FillSampleReport(host::TfrxReport& report) {
    using rtl::TVariant;
    using rtl::TVarType;
    report.Title = "Alarm log";
    report.RunTime = rtl::EncodeDateTime(2026, 3, 3, 13, 46, 5, 0);
    report.Parameters = {{"From", "2026-03-01"}, {"Site", "Nord, Halle 2"}};
    report.Columns = {{"Time", TVarType::Date},
                      {"Site", TVarType::String},
                      {"Count", TVarType::Integer},
                      {"Level", TVarType::Double},
                      {"Acknowledged", TVarType::Boolean}};
    report.Rows = {
        {TVariant::FromDate(rtl::EncodeDateTime(2026, 3, 1, 8, 15, 0, 0)), "Gate, north", 42, 12.5,
         true},
        {TVariant::FromDate(rtl::EncodeDateTime(2026, 3, 2, 23, 59, 59, 0)), "Said \"open\" twice",
         -7, 0.25, false},
        {TVariant::FromDate(rtl::EncodeDate(2026, 3, 3)), "Line one\r\nline two", 0, -3.0,
         TVariant::Null()},
        {TVariant::Null(), "Zürich – Größe 😀", 2147483647, 1e-5, true},
    };
}

void FillAlarmLog(host::TfrxReport& report, int rows) {
    using rtl::TVariant;
    using rtl::TVarType;
    report.Title = "Alarm log";
    report.RunTime = rtl::EncodeDateTime(2026, 3, 3, 13, 46, 5, 0);
    report.Parameters = {{"From", "2026-02-01"}, {"To", "2026-03-01"}, {"Site", "All sites"}};
    report.Columns = {{"Time", TVarType::Date},        {"Site", TVarType::String},
                      {"Device", TVarType::String},    {"Alarm", TVarType::String},
                      {"Priority", TVarType::Integer}, {"Acknowledged", TVarType::Boolean}};
    static const std::array<const char*, 5> sites{"North gate", "Warehouse 2", "Head office",
                                                  "Parking deck", "Server room"};
    static const std::array<const char*, 6> alarms{"Door forced open", "Door held open",
                                                   "Motion detected",  "Tamper",
                                                   "Fire panel fault", "Invalid card presented"};
    std::mt19937 random(1234);
    const rtl::TDateTime start = rtl::EncodeDate(2026, 2, 1);
    report.Rows.clear();
    report.Rows.reserve(std::size_t(rows));
    for (int i = 0; i < rows; ++i) {
        // Whole seconds, as a log has them.
        const rtl::TDateTime when = rtl::MilliSecondsToDateTime(
            rtl::DateTimeToMilliSeconds(start + i * (28.0 / std::max(rows, 1))) / 1000 * 1000);
        report.Rows.push_back({TVariant::FromDate(when), sites[random() % sites.size()],
                               "Reader " + std::to_string(random() % 400 + 1),
                               alarms[random() % alarms.size()], std::int32_t(random() % 5 + 1),
                               random() % 3 != 0});
    }
}

std::string ReadFile(const std::string& fileName) {
    std::ifstream input(fileName, std::ios::binary);
    std::ostringstream content;
    content << input.rdbuf();
    return content.str();
}

std::string RunCommand(const std::string& command) {
    std::string output;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run " << command;
        return output;
    }
    std::array<char, 4096> buffer;
    std::size_t count;
    while ((count = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        output.append(buffer.data(), count);
    }
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    return output;
}

std::string PdfText(const std::string& fileName, int firstPage, int lastPage) {
    std::string command = "pdftotext -layout -enc UTF-8";
    if (firstPage > 0) {
        command += " -f " + std::to_string(firstPage);
    }
    if (lastPage > 0) {
        command += " -l " + std::to_string(lastPage);
    }
    return RunCommand(command + " '" + fileName + "' -");
}

int PdfPageCount(const std::string& fileName) {
    const std::string info = RunCommand("pdfinfo '" + fileName + "'");
    const auto at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

std::string ZipMember(const std::string& fileName, const std::string& member) {
    return RunCommand("unzip -p '" + fileName + "' '" + member + "'");
}

std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    std::size_t i = 0;
    bool atFieldStart = true;
    while (i < text.size()) {
        const char c = text[i];
        if (atFieldStart && c == '"') {
            ++i;
            while (true) {
                if (i >= text.size()) {
                    ADD_FAILURE() << "unterminated quoted field";
                    return records;
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i++];
            }
            atFieldStart = false;
            continue;
        }
        if (c == ',') {
            record.push_back(std::move(field));
            field.clear();
            atFieldStart = true;
            ++i;
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            record.push_back(std::move(field));
            field.clear();
            records.push_back(std::move(record));
            record.clear();
            atFieldStart = true;
            i += 2;
        } else if (c == '"' || c == '\r' || c == '\n') {
            ADD_FAILURE() << "bare quote or line break at byte " << i;
            return records;
        } else {
            field += c;
            atFieldStart = false;
            ++i;
        }
    }
    EXPECT_TRUE(record.empty() && field.empty()) << "last record without CRLF";
    return records;
}

} // namespace reporttest
