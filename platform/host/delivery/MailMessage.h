// One mail as the outbox keeps it and the transport sends it, and the header fields it needs:
// folded, non-ASCII names and subjects as encoded words, file names as parameters mail readers
// decode.
#pragma once

#include "platform/host/delivery/MailAddress.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace host {

struct TMailAttachment {
    std::string Path; // the file sent
    std::string Name; // the name the recipient sees; UTF-8; HtmlBodyName: see there
};

// The name of the file that holds the HTML form of the mail's text, which goes beside the plain
// text rather than as an attachment. Kept as a file among the attachments, it is queued, spooled
// and sent again as they are; no file of a run has an empty name.
inline constexpr const char* HtmlBodyName = "";

inline bool IsHtmlBody(const TMailAttachment& file) noexcept {
    return file.Name.empty();
}

struct TMailMessage {
    TMailAddress From;
    std::vector<TMailAddress> To, Cc, Bcc;
    std::string Subject; // UTF-8, one line
    std::string Body;    // UTF-8 plain text, lines separated by "\n"
    std::vector<TMailAttachment> Attachments;
    // "<...@domain>": made once when the mail is written to the outbox, so a mail sent again
    // after a crash while it was being sent carries the same one.
    std::string MessageId;
    std::int64_t Date = 0; // seconds since 1970, when the mail was written

    // To, Cc and Bcc: everyone the envelope names.
    std::vector<TMailAddress> Recipients() const;
};

// "<local@domain>" for MAIL FROM and RCPT TO. Raises EMailAddressError unless the address is
// one ParseMailAddress takes as it is, so no line break or NUL can end the command early.
std::string EnvelopeAddress(const TMailAddress& address);
// The mail's header fields, each "Name: value" with its folds ("\r\n "): Date, From, To, Cc
// (Bcc never), Subject and Message-ID. Whatever a task or a person gave cannot add a field: a
// control character in a name or the subject becomes a blank, an address or a Message-ID that
// cannot be carried raises EMailAddressError. Lines stay within 78 characters where words allow
// and never pass 998; non-ASCII text is RFC 2047 encoded words.
std::vector<std::string> MailHeaderFields(const TMailMessage& mail);
// The Content-Disposition of an attachment named `name`: a quoted filename when it is ASCII, else
// the RFC 2231 filename* with the UTF-8 name.
std::string AttachmentDisposition(std::string_view name);
// A new Message-ID in the domain of `sender` (a bare address), from 128 random bits.
std::string NewMessageId(std::string_view sender);
// "Mon, 07 Dec 2026 18:30:00 +0100" in the local time zone, whatever the process's locale.
std::string MailDate(std::int64_t unixSeconds);
// "980 bytes", "12.3 KiB", "10.0 MiB".
std::string FileSizeText(std::int64_t bytes);

// What `bytes` of a file weigh in the mail: base64, 76 characters and a line end a line.
std::int64_t EncodedAttachmentSize(std::int64_t bytes) noexcept;

// Attaches the file, or, when it is larger encoded than `limitBytes`, leaves it out and says in
// the body where it is and how large. Returns the note for the history; empty when it was
// attached.
std::string AttachWithinLimit(TMailMessage& mail, TMailAttachment file, std::int64_t size,
                              std::int64_t limitBytes);

} // namespace host
