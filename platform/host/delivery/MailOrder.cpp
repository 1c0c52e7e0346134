#include "platform/host/delivery/MailOrder.h"

#include "platform/host/delivery/MailMessage.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/Words.h"

#include <cmath>
#include <map>
#include <string_view>
#include <utility>

namespace host {

namespace {

std::string DateText(rtl::TDateTime value) {
    return value == 0 ? std::string("-") : rtl::FormatDateTimeISO(value).substr(0, 16);
}

std::string DayText(rtl::TDateTime value) {
    return rtl::FormatDateTimeISO(value).substr(0, 10);
}

// A period the run did not learn is the day the run stands for.
std::pair<rtl::TDateTime, rtl::TDateTime> PeriodOf(const TMailFacts& facts) {
    if (facts.PeriodStart != 0) {
        return {facts.PeriodStart, facts.PeriodEnd != 0 ? facts.PeriodEnd : facts.PeriodStart};
    }
    const rtl::TDateTime day = std::floor(facts.Run.Due != 0 ? facts.Run.Due : facts.Run.Started);
    return {day, day};
}

// A word's text, and whether the run had a value for it.
struct TWord {
    std::string Text;
    bool Known = true;
};

std::map<std::string, TWord, std::less<>> WordsOf(const TMailFacts& facts) {
    const TRunRecord& run = facts.Run;
    const std::size_t slash = run.FileName.rfind('/');
    const bool file = !run.FileName.empty();
    return {
        {"task", {run.TaskName}},
        {"report", {run.ReportName, !run.ReportName.empty()}},
        {"due", {DateText(run.Due), run.Due != 0}},
        {"started", {DateText(run.Started), run.Started != 0}},
        {"result", {RunResultText(run.Result)}},
        {"file", {file ? run.FileName : "-", file}},
        {"name",
         {slash == std::string::npos ? run.FileName : run.FileName.substr(slash + 1), file}},
        {"size", {run.FileSize < 0 ? "-" : FileSizeText(run.FileSize), run.FileSize >= 0}},
        {"period", {MailPeriodText(facts)}},
        {"period-end", {DayText(PeriodOf(facts).second)}},
        {"files", {facts.Files.empty() ? "-" : facts.Files, !facts.Files.empty()}},
        {"rows", {facts.Rows < 0 ? "-" : std::to_string(facts.Rows), facts.Rows >= 0}},
    };
}

} // namespace

std::string RunResultText(const std::string& result) {
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

// Translated where a mail is made (rtl::Words with the context "MailOrder").
const char* const DefaultMailSubject =
    MORVID_WORDS("MailOrder", "{task}: {period} — {result}").Text;
const char* const DefaultMailBody = MORVID_WORDS("MailOrder", "Period: {period}\n"
                                                              "Due: {due}\n"
                                                              "Result: {result}\n"
                                                              "Rows: {rows}\n"
                                                              "Attached: {files}\n")
                                        .Text;

bool MailWanted(std::int32_t when, bool failed) noexcept {
    return (when & (failed ? static_cast<std::int32_t>(TMailWhen::AfterFailure)
                           : static_cast<std::int32_t>(TMailWhen::AfterSuccess))) != 0;
}

std::string MailPeriodText(const TMailFacts& facts) {
    const auto [first, last] = PeriodOf(facts);
    const std::string from = DayText(first);
    const std::string to = DayText(last);
    return from == to ? from : from + " – " + to;
}

std::string ExpandMailTemplate(const std::string& text, const TMailFacts& facts, bool builtIn) {
    const auto words = WordsOf(facts);
    std::string out;
    std::size_t lineStart = 0;
    bool lineKnown = true;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t close = text[i] == '{' ? text.find('}', i) : std::string::npos;
        const auto word = close == std::string::npos
                              ? words.end()
                              : words.find(std::string_view(text).substr(i + 1, close - i - 1));
        if (word != words.end()) {
            out += word->second.Text;
            lineKnown = lineKnown && word->second.Known;
            i = close + 1;
            continue;
        }
        out += text[i++];
        if (out.back() == '\n') {
            if (builtIn && !lineKnown) {
                out.resize(lineStart);
            }
            lineStart = out.size();
            lineKnown = true;
        }
    }
    if (builtIn && !lineKnown) {
        out.resize(lineStart);
    }
    return out;
}

} // namespace host
