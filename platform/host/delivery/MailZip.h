// The one zip a task may send instead of its run's files: what it is called and how it is made.
#pragma once

#include "platform/host/delivery/MailMessage.h"
#include "platform/rtl/DateUtils.h"

#include <string>
#include <vector>

namespace host {

// "<task> <yyyy-MM-dd HHmm>.zip" for the run's due time (its start for a run by hand); a
// character that a recipient's file system refuses in a name ("/", ":", "*", ...) or a control
// character becomes "_".
std::string MailZipName(const std::string& taskName, rtl::TDateTime due);

// Writes `archive` anew holding each of `files` under its Name (UTF-8, flagged so), deflated,
// with the file's own modification time; two files of one name get "(2)", "(3)" before the
// extension. Raises rtl::Exception naming the file that could not be read or the zip that could
// not be written; the zip is then removed.
void WriteMailZip(const std::string& archive, const std::vector<TMailAttachment>& files);

} // namespace host
