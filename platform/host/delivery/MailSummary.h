// The HTML form of a run's mail: a short table of what the run was and what it sent, for
// readers who show HTML, beside the plain text for those who do not.
#pragma once

#include "platform/host/delivery/MailOrder.h"

#include <string>

namespace host {

// `text` with &, <, >, " and ' as character references.
std::string HtmlEscaped(const std::string& text);

// A complete HTML document: the task, period, result, rows and files of `facts` as a table,
// then `text` (the task's own words, and where files that stayed home are) as preformatted
// lines. Everything from the run or the task is escaped.
std::string MailSummaryHtml(const TMailFacts& facts, const std::string& text);

} // namespace host
