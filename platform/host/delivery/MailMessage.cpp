#include "platform/host/delivery/MailMessage.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <curl/curl.h>
#include <memory>
#include <openssl/evp.h>
#include <random>

namespace host {

namespace {

bool IsPlainAscii(std::string_view text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E) {
            return false;
        }
    }
    return true;
}

std::string Base64(std::string_view bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3), '\0');
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                       reinterpret_cast<const unsigned char*>(bytes.data()),
                                       static_cast<int>(bytes.size()));
    out.resize(static_cast<std::size_t>(length));
    return out;
}

// Where a UTF-8 sequence may end at or before `limit` without splitting a character.
std::size_t CharacterBoundary(std::string_view text, std::size_t limit) {
    if (limit >= text.size()) {
        return text.size();
    }
    while (limit > 0 && (static_cast<unsigned char>(text[limit]) & 0xC0) == 0x80) {
        --limit;
    }
    return limit;
}

// RFC 5322: a line should stay within 78 characters and must within 998; RFC 2047: a line with
// encoded words within 76.
constexpr std::size_t FoldAt = 78;
constexpr std::size_t EncodedLine = 76;
constexpr std::size_t MaxLine = 998;

// The characters on the last line of `text` so far.
std::size_t LastLine(std::string_view text) {
    const std::size_t fold = text.rfind('\n');
    return fold == std::string_view::npos ? text.size() : text.size() - fold - 1;
}

// A header value never holds a line break of its own, nor a NUL: each control character becomes
// a blank, as folding would make of a line break.
std::string OneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    return out;
}

// RFC 2047 encoded words for UTF-8 `text` (one line, no control characters), continuing a line
// that holds `used` characters; each line stays within 76 characters and no character is split.
std::string EncodedWords(std::string_view text, std::size_t used) {
    std::string out;
    do {
        // "=?UTF-8?B?" and "?=" take 12 characters; Base64 gives 4 for each 3 bytes. Room for
        // 6 bytes at least, so that a 4-byte character is never split.
        const std::size_t room = (EncodedLine - std::min(used, EncodedLine - 20) - 12) / 4 * 3;
        std::size_t take = CharacterBoundary(text, room);
        if (take == 0) {
            take = std::min(text.size(), room); // not UTF-8: split anywhere
        }
        if (!out.empty()) {
            out += "\r\n ";
        }
        out += "=?UTF-8?B?" + Base64(text.substr(0, take)) + "?=";
        text.remove_prefix(take);
        used = 1;
    } while (!text.empty());
    return out;
}

// Printable ASCII `text` folded before its blanks so that lines stay within 78 characters, the
// first holding `used` already; empty when a word is too long for that.
std::string FoldedAtBlanks(std::string_view text, std::size_t used) {
    std::string out;
    std::size_t line = used;
    std::size_t start = 0;
    while (start < text.size()) {
        // A piece: its leading blanks and a word; trailing blanks stay with the last word.
        std::size_t end = text.find_first_not_of(' ', start);
        end = end == std::string_view::npos ? text.size() : text.find(' ', end);
        if (end == std::string_view::npos ||
            text.find_first_not_of(' ', end) == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view piece = text.substr(start, end - start);
        if (start > 0 && line + piece.size() > FoldAt) {
            out += "\r\n";
            line = 0;
        }
        if (line + piece.size() > FoldAt) {
            return {};
        }
        out += piece;
        line += piece.size();
        start = end;
    }
    return out;
}

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

// Unstructured header text after `prefix` ("Subject: "): folded at blanks, or as encoded words
// when it is not printable ASCII or a word would not fit a line.
std::string UnstructuredText(std::string_view prefix, std::string_view text) {
    const std::string line = OneLine(text);
    if (IsPlainAscii(line)) {
        if (std::string folded = FoldedAtBlanks(line, prefix.size());
            !folded.empty() || line.empty()) {
            return folded;
        }
    }
    return EncodedWords(line, prefix.size());
}

// One mailbox continuing a line of `used` characters: the name as atoms, quoted, or as encoded
// words when it is not ASCII or too long for a line; the address on a line of its own when it
// would not fit after the name.
std::string Mailbox(const TMailAddress& address, std::size_t used) {
    const std::string envelope = EnvelopeAddress(address);
    const std::string name = OneLine(address.DisplayName);
    if (name.empty()) {
        return address.AddrSpec;
    }
    std::string phrase;
    if (IsPlainAscii(name)) {
        const bool atoms = name.find_first_of("()<>[]:;@\\,.\"") == std::string::npos;
        phrase = atoms ? name : Quoted(name);
    }
    if (phrase.empty() || used + phrase.size() > FoldAt) {
        phrase = EncodedWords(name, used);
    }
    const bool fits = LastLine(phrase) + (phrase.find('\n') == std::string::npos ? used : 0) + 1 +
                          envelope.size() <=
                      FoldAt;
    return phrase + (fits ? " " : "\r\n ") + envelope;
}

// Mailboxes after `prefix` ("To: "), each after the first on a line of its own.
std::string MailboxList(std::string_view prefix, const std::vector<TMailAddress>& addresses) {
    std::string out;
    for (const TMailAddress& address : addresses) {
        out += out.empty() ? Mailbox(address, prefix.size()) : ",\r\n " + Mailbox(address, 1);
    }
    return out;
}

} // namespace

std::vector<TMailAddress> TMailMessage::Recipients() const {
    std::vector<TMailAddress> all = To;
    all.insert(all.end(), Cc.begin(), Cc.end());
    all.insert(all.end(), Bcc.begin(), Bcc.end());
    return all;
}

std::string EnvelopeAddress(const TMailAddress& address) {
    // Only what the parser takes as a bare address goes into MAIL FROM or RCPT TO.
    if (const TMailAddress parsed = ParseMailAddress(address.AddrSpec);
        !parsed.DisplayName.empty() || parsed.AddrSpec != address.AddrSpec) {
        throw EMailAddressError("\"" + VisibleText(address.AddrSpec) +
                                "\" is not a bare mail address");
    }
    return "<" + address.AddrSpec + ">";
}

std::vector<std::string> MailHeaderFields(const TMailMessage& mail) {
    std::vector<std::string> fields{"Date: " + MailDate(mail.Date),
                                    "From: " + MailboxList("From: ", {mail.From})};
    if (!mail.To.empty()) {
        fields.push_back("To: " + MailboxList("To: ", mail.To));
    }
    if (!mail.Cc.empty()) {
        fields.push_back("Cc: " + MailboxList("Cc: ", mail.Cc));
    }
    fields.push_back("Subject: " + UnstructuredText("Subject: ", mail.Subject));
    const std::string_view id = mail.MessageId;
    const bool carried =
        id.size() > 2 && id.size() <= MaxLine - 12 && id.front() == '<' && id.back() == '>' &&
        id.find('@') != std::string_view::npos &&
        std::all_of(id.begin(), id.end(), [](char c) { return c > ' ' && c < 0x7F; });
    if (!carried) {
        throw EMailAddressError("\"" + VisibleText(id) + "\" is no Message-ID a mail can carry");
    }
    fields.push_back("Message-ID: " + mail.MessageId);
    return fields;
}

std::string AttachmentDisposition(std::string_view name) {
    if (IsPlainAscii(name)) {
        return "attachment; filename=" + Quoted(name);
    }
    // Readers take filename* before filename, but some take the first: only filename* then.
    const std::unique_ptr<char, decltype(&curl_free)> escaped(
        curl_easy_escape(nullptr, name.data(), static_cast<int>(name.size())), &curl_free);
    if (escaped == nullptr) {
        throw std::bad_alloc();
    }
    return "attachment;\r\n filename*=UTF-8''" + std::string(escaped.get());
}

std::string NewMessageId(std::string_view sender) {
    std::random_device random;
    std::string id;
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(random()));
        id += part;
    }
    const std::size_t at = sender.rfind('@');
    const std::string_view domain =
        at == std::string_view::npos ? std::string_view("localhost") : sender.substr(at + 1);
    return "<" + id + ".morvid@" + std::string(domain) + ">";
}

std::string MailDate(std::int64_t unixSeconds) {
    static constexpr std::array<const char*, 7> Days{"Sun", "Mon", "Tue", "Wed",
                                                     "Thu", "Fri", "Sat"};
    static constexpr std::array<const char*, 12> Months{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto seconds = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    localtime_r(&seconds, &local);
    const long offset = local.tm_gmtoff / 60; // minutes east of UTC
    const long magnitude = offset < 0 ? -offset : offset;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %d %02d:%02d:%02d %c%02ld%02ld",
                  Days[static_cast<std::size_t>(local.tm_wday)], local.tm_mday,
                  Months[static_cast<std::size_t>(local.tm_mon)], local.tm_year + 1900,
                  local.tm_hour, local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return text;
}

std::string FileSizeText(std::int64_t bytes) {
    char text[32];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%" PRId64 " bytes", bytes);
    } else if (bytes < 1024 * 1024) {
        std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024);
    } else {
        std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024 * 1024));
    }
    return text;
}

std::int64_t EncodedAttachmentSize(std::int64_t bytes) noexcept {
    const std::int64_t encoded = (bytes + 2) / 3 * 4;
    return encoded + (encoded + 75) / 76 * 2;
}

std::string AttachWithinLimit(TMailMessage& mail, TMailAttachment file, std::int64_t size,
                              std::int64_t limitBytes) {
    // A server's limit counts the message as sent, and base64 makes a file a third larger.
    const std::int64_t encoded = EncodedAttachmentSize(size);
    if (encoded <= limitBytes) {
        mail.Attachments.push_back(std::move(file));
        return {};
    }
    const std::string note = "\"" + file.Name + "\" (" + FileSizeText(size) + ", " +
                             FileSizeText(encoded) + " encoded) was not attached: larger than " +
                             FileSizeText(limitBytes);
    if (!mail.Body.empty() && mail.Body.back() != '\n') {
        mail.Body += '\n';
    }
    mail.Body += "\nThe file " + file.Name + " (" + FileSizeText(size) + ", " +
                 FileSizeText(encoded) + " encoded) is larger than the mail may carry (" +
                 FileSizeText(limitBytes) + "); it was not attached. It is at:\n" + file.Path +
                 "\n";
    return note;
}

} // namespace host
