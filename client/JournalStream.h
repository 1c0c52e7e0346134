// Whether a standard stream goes to the systemd journal, which stamps each line itself and reads
// a "<N>" prefix as the line's priority.
#pragma once

namespace morvid {

// True when `fd` is the stream systemd named in `journalStream` (JOURNAL_STREAM, "DEVICE:INODE"
// of the journal's socket). A stream redirected elsewhere by the service, or a child that merely
// inherited the variable, is not the same file and gives false; so does a null or malformed value.
bool IsJournalStream(int fd, const char* journalStream);

} // namespace morvid
