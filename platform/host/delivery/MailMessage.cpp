#include "platform/host/delivery/MailMessage.h"

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

} // namespace

std::vector<TMailAddress> TMailMessage::Recipients() const {
    std::vector<TMailAddress> all = To;
    all.insert(all.end(), Cc.begin(), Cc.end());
    all.insert(all.end(), Bcc.begin(), Bcc.end());
    return all;
}

std::string EncodedHeaderText(std::string_view text) {
    if (IsPlainAscii(text)) {
        return std::string(text);
    }
    // 45 bytes make 60 characters of Base64; with "=?UTF-8?B?" and "?=" a word stays below 76.
    constexpr std::size_t BytesPerWord = 45;
    std::string out;
    while (!text.empty()) {
        std::size_t take = CharacterBoundary(text, BytesPerWord);
        if (take == 0) {
            take = std::min(text.size(), BytesPerWord); // not UTF-8: split anywhere
        }
        if (!out.empty()) {
            out += "\r\n ";
        }
        out += "=?UTF-8?B?" + Base64(text.substr(0, take)) + "?=";
        text.remove_prefix(take);
    }
    return out;
}

std::string MailboxHeaderText(const TMailAddress& address) {
    if (address.DisplayName.empty()) {
        return address.AddrSpec;
    }
    bool atoms = IsPlainAscii(address.DisplayName);
    for (const char c : address.DisplayName) {
        atoms = atoms && std::string_view("()<>[]:;@\\,.\"").find(c) == std::string_view::npos;
    }
    const std::string name = atoms ? address.DisplayName
                             : IsPlainAscii(address.DisplayName)
                                 ? Quoted(address.DisplayName)
                                 : EncodedHeaderText(address.DisplayName);
    return name + " <" + address.AddrSpec + ">";
}

std::string MailboxListHeaderText(const std::vector<TMailAddress>& addresses) {
    std::string out;
    for (const TMailAddress& address : addresses) {
        out += (out.empty() ? "" : ",\r\n ") + MailboxHeaderText(address);
    }
    return out;
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
