#include "platform/host/delivery/MailSummary.h"

#include "platform/rtl/Words.h"

#include <utility>
#include <vector>

namespace host {

std::string HtmlEscaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string MailSummaryHtml(const TMailFacts& facts, const std::string& text) {
    const std::vector<std::pair<const char*, std::string>> rows{
        {MORVID_WORDS("MailOrder", "Task").Text, facts.Run.TaskName},
        {MORVID_WORDS("MailOrder", "Period").Text, MailPeriodText(facts)},
        {MORVID_WORDS("MailOrder", "Result").Text, facts.Run.Result},
        {MORVID_WORDS("MailOrder", "Rows").Text, facts.Rows < 0 ? "-" : std::to_string(facts.Rows)},
        {MORVID_WORDS("MailOrder", "Files").Text, facts.Files.empty() ? "-" : facts.Files},
    };
    // Inline styles only: mail readers drop a style sheet in the head.
    std::string html = "<!DOCTYPE html>\n<html>\n<head><meta charset=\"utf-8\"><title>" +
                       HtmlEscaped(facts.Run.TaskName) +
                       "</title></head>\n<body style=\"font-family:sans-serif\">\n"
                       "<table style=\"border-collapse:collapse\">\n";
    for (const auto& [caption, value] : rows) {
        html += "<tr><th style=\"text-align:left;padding:2px 12px 2px 0\">" +
                HtmlEscaped(rtl::Words("MailOrder", caption)) +
                "</th><td style=\"padding:2px 0\">" + HtmlEscaped(value) + "</td></tr>\n";
    }
    html += "</table>\n";
    if (!text.empty()) {
        html += "<pre style=\"font-family:inherit;white-space:pre-wrap\">" + HtmlEscaped(text) +
                "</pre>\n";
    }
    return html + "</body>\n</html>\n";
}

} // namespace host
