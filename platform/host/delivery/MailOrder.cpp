#include "platform/host/delivery/MailOrder.h"

#include "platform/host/delivery/MailMessage.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/Words.h"

#include <map>
#include <string_view>

namespace host {

namespace {

std::string DateText(rtl::TDateTime value) {
    return value == 0 ? std::string("-") : rtl::FormatDateTimeISO(value).substr(0, 16);
}

// The run's result in the reader's language: the fixed results, and "Error: " before a cause,
// which stays as the run gave it. The history keeps the stored words.
std::string ResultText(const std::string& result) {
    constexpr std::string_view ErrorPrefix = "Error: ";
    if (result.starts_with(ErrorPrefix)) {
        return rtl::Words(MORVID_WORDS("MailOrder", "Error: %1"),
                          {result.substr(ErrorPrefix.size())});
    }
    for (const rtl::TWordsTemplate& fixed :
         {MORVID_WORDS("MailOrder", "Success!"), MORVID_WORDS("MailOrder", "User canceled"),
          MORVID_WORDS("MailOrder", "Skipped: the report has no rows")}) {
        if (result == fixed.Text) {
            return rtl::Words(fixed);
        }
    }
    return result;
}

} // namespace

const char* const DefaultMailSubject = "{task}: {result}";
// Translated where a mail is made (rtl::Words with the context "MailOrder").
const char* const DefaultMailBody = MORVID_WORDS("MailOrder", "Task: {task}\n"
                                                              "Report: {report}\n"
                                                              "Due: {due}\n"
                                                              "Result: {result}\n"
                                                              "File: {file} ({size})\n")
                                        .Text;

bool MailWanted(std::int32_t when, bool failed) noexcept {
    return (when & (failed ? static_cast<std::int32_t>(TMailWhen::AfterFailure)
                           : static_cast<std::int32_t>(TMailWhen::AfterSuccess))) != 0;
}

std::string ExpandMailTemplate(const std::string& text, const TRunRecord& run) {
    const std::size_t slash = run.FileName.rfind('/');
    const std::map<std::string, std::string> values{
        {"task", run.TaskName},
        {"report", run.ReportName},
        {"due", DateText(run.Due)},
        {"started", DateText(run.Started)},
        {"result", ResultText(run.Result)},
        {"file", run.FileName.empty() ? std::string("-") : run.FileName},
        {"name", slash == std::string::npos ? run.FileName : run.FileName.substr(slash + 1)},
        {"size", run.FileSize < 0 ? std::string("-") : FileSizeText(run.FileSize)}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t close = text[i] == '{' ? text.find('}', i) : std::string::npos;
        const auto value = close == std::string::npos
                               ? values.end()
                               : values.find(text.substr(i + 1, close - i - 1));
        if (value != values.end()) {
            out += value->second;
            i = close + 1;
        } else {
            out += text[i++];
        }
    }
    return out;
}

} // namespace host
