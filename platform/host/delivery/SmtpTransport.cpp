#include "platform/host/delivery/SmtpTransport.h"

#include "platform/host/delivery/MediaType.h"

#include <algorithm>
#include <arpa/inet.h>
#include <curl/curl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>

namespace host {

namespace {

void InitialiseCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

using TEasy = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using TMime = std::unique_ptr<curl_mime, decltype(&curl_mime_free)>;

struct TSlist {
    curl_slist* List = nullptr;
    TSlist() = default;
    TSlist(const TSlist&) = delete;
    TSlist& operator=(const TSlist&) = delete;
    ~TSlist() { curl_slist_free_all(List); }
    void Add(const std::string& line) {
        if (curl_slist* grown = curl_slist_append(List, line.c_str()); grown != nullptr) {
            List = grown;
        } else {
            throw std::bad_alloc();
        }
    }
};

// Keeps the server's reply lines, so a failure can quote the server's own words.
struct TReplies {
    std::string Last;
    std::string LastFailure;
};

int HearReply(CURL*, curl_infotype type, char* data, std::size_t size, void* context) {
    if (type == CURLINFO_HEADER_IN) {
        auto* replies = static_cast<TReplies*>(context);
        std::string line(data, size);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        if (line.size() > 3 && line[3] == '-') {
            line[3] = ' ';
        }
        replies->Last = line;
        if (!line.empty() && (line[0] == '4' || line[0] == '5')) {
            replies->LastFailure = line;
        }
    }
    return 0;
}

int CheckCancel(void* cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::atomic<bool>*>(cancel)->load() ? 1 : 0;
}

std::string BodyWithCrLf(const std::string& body) {
    std::string out;
    out.reserve(body.size() + body.size() / 40);
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '\n' && (i == 0 || body[i - 1] != '\r')) {
            out += '\r';
        }
        out += body[i];
    }
    return out;
}

void Check(CURLcode code, const char* what) {
    if (code != CURLE_OK) {
        throw std::runtime_error(std::string(what) + ": " + curl_easy_strerror(code));
    }
}

// The text, alone or, with an HTML form among the attachments, as the first of the two forms
// of one multipart/alternative, the HTML last as the form the sender prefers.
void AddText(curl_mime* mail, CURL* curl, const std::string& body, const TMailMessage& message) {
    const auto html = std::find_if(message.Attachments.begin(), message.Attachments.end(),
                                   [](const TMailAttachment& file) { return IsHtmlBody(file); });
    TMime alternative(html != message.Attachments.end() ? curl_mime_init(curl) : nullptr,
                      &curl_mime_free);
    curl_mimepart* text = curl_mime_addpart(alternative ? alternative.get() : mail);
    Check(curl_mime_data(text, body.data(), body.size()), "body");
    Check(curl_mime_type(text, "text/plain; charset=utf-8"), "body");
    Check(curl_mime_encoder(text, "quoted-printable"), "body");
    if (!alternative) {
        return;
    }
    curl_mimepart* page = curl_mime_addpart(alternative.get());
    Check(curl_mime_filedata(page, html->Path.c_str()), "HTML summary");
    Check(curl_mime_filename(page, nullptr), "HTML summary");
    Check(curl_mime_type(page, "text/html; charset=utf-8"), "HTML summary");
    Check(curl_mime_encoder(page, "quoted-printable"), "HTML summary");
    curl_mimepart* both = curl_mime_addpart(mail);
    Check(curl_mime_subparts(both, alternative.get()), "body");
    alternative.release(); // the part owns it now
    Check(curl_mime_type(both, "multipart/alternative"), "body");
    TSlist headers;
    headers.Add("Content-Disposition: inline");
    Check(curl_mime_headers(both, headers.List, 1), "body");
    headers.List = nullptr;
}

} // namespace

const char* MailSecurityText(TMailSecurity security) noexcept {
    switch (security) {
    case TMailSecurity::StartTls:
        return "starttls";
    case TMailSecurity::Tls:
        return "tls";
    case TMailSecurity::None:
        return "none";
    }
    return "starttls";
}

std::optional<TMailSecurity> MailSecurityFromText(std::string_view text) noexcept {
    for (const TMailSecurity security :
         {TMailSecurity::StartTls, TMailSecurity::Tls, TMailSecurity::None}) {
        if (text == MailSecurityText(security)) {
            return security;
        }
    }
    return std::nullopt;
}

int DefaultMailPort(TMailSecurity security) noexcept {
    switch (security) {
    case TMailSecurity::StartTls:
        return 587;
    case TMailSecurity::Tls:
        return 465;
    case TMailSecurity::None:
        return 25;
    }
    return 587;
}

bool IsLoopbackHost(std::string_view host) {
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    const std::string text(host);
    if (text == "localhost") {
        return true;
    }
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    in6_addr v6{};
    return inet_pton(AF_INET6, text.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

TSendStatus ClassifyFailure(int curlCode, long replyCode) noexcept {
    if (curlCode == CURLE_OK) {
        return TSendStatus::Sent;
    }
    if (replyCode >= 400 && replyCode < 500) {
        return TSendStatus::Transient;
    }
    if (replyCode >= 500) {
        return TSendStatus::Permanent;
    }
    switch (curlCode) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_AGAIN:
    case CURLE_ABORTED_BY_CALLBACK:
        return TSendStatus::Transient;
    default:
        return TSendStatus::Permanent;
    }
}

TSendResult SendMail(const TSmtpServer& server, const TMailMessage& mail,
                     const std::atomic<bool>* cancel) {
    InitialiseCurl();
    // Settings that cannot be used yet (a keyring still locked, a server not yet set) hold the
    // mail until they can: only the server's own refusal fails it for good.
    if (!server.Unusable.empty()) {
        return {TSendStatus::Transient, 0, server.Unusable};
    }
    if (server.Host.empty()) {
        return {TSendStatus::Transient, 0, "No mail server is set"};
    }
    if (server.Security == TMailSecurity::None && !IsLoopbackHost(server.Host)) {
        return {TSendStatus::Permanent, 0,
                "Mail server " + server.Host +
                    " is not on this machine: a connection without encryption is refused"};
    }
    const std::vector<TMailAddress> recipients = mail.Recipients();
    if (recipients.empty()) {
        return {TSendStatus::Permanent, 0, "The mail has no recipient"};
    }
    // Sent without its file, the mail would claim a report that is not there.
    for (const TMailAttachment& attachment : mail.Attachments) {
        struct stat info {};
        if (::stat(attachment.Path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            return {TSendStatus::Permanent, 0,
                    (IsHtmlBody(attachment) ? std::string("The HTML summary")
                                            : "The attachment \"" + attachment.Name + "\"") +
                        " is missing: " + attachment.Path};
        }
    }
    TEasy easy(curl_easy_init(), &curl_easy_cleanup);
    if (easy == nullptr) {
        return {TSendStatus::Transient, 0, "libcurl cannot make a transfer"};
    }
    CURL* curl = easy.get();
    TMime mime(curl_mime_init(curl), &curl_mime_free);
    TSlist headers;
    TSlist envelope;
    TReplies replies;
    char error[CURL_ERROR_SIZE] = {};
    const std::string body = BodyWithCrLf(mail.Body);
    try {
        const int port = server.Port > 0 ? server.Port : DefaultMailPort(server.Security);
        const bool v6 = server.Host.find(':') != std::string::npos && server.Host.front() != '[';
        const std::string host = v6 ? "[" + server.Host + "]" : server.Host;
        const std::string url =
            std::string(server.Security == TMailSecurity::Tls ? "smtps" : "smtp") + "://" + host +
            ":" + std::to_string(port);
        Check(curl_easy_setopt(curl, CURLOPT_URL, url.c_str()), "URL");
        Check(curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error), "error buffer");
        Check(curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L), "signals");
        Check(curl_easy_setopt(curl, CURLOPT_USE_SSL,
                               server.Security == TMailSecurity::None
                                   ? static_cast<long>(CURLUSESSL_NONE)
                                   : static_cast<long>(CURLUSESSL_ALL)),
              "security");
        Check(curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L), "verification");
        Check(curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L), "verification");
        if (!server.ExtraCaFile.empty()) {
            // The extra file replaces the default bundle; the system's folder of certificates
            // stays searched, so the system's authorities are still trusted.
            Check(curl_easy_setopt(curl, CURLOPT_CAINFO, server.ExtraCaFile.c_str()), "CA file");
            Check(curl_easy_setopt(curl, CURLOPT_CAPATH, "/etc/ssl/certs"), "CA folder");
        }
        Check(curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, server.ConnectTimeoutSeconds),
              "time-out");
        Check(curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, server.StallTimeoutSeconds),
              "time-out");
        Check(curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L), "time-out");
        Check(curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, server.StallTimeoutSeconds),
              "time-out");
        if (!server.User.empty()) {
            Check(curl_easy_setopt(curl, CURLOPT_USERNAME, server.User.c_str()), "user");
            Check(curl_easy_setopt(curl, CURLOPT_PASSWORD, server.Password.c_str()), "password");
        }
        if (cancel != nullptr) {
            Check(curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &CheckCancel), "cancel");
            Check(curl_easy_setopt(curl, CURLOPT_XFERINFODATA, cancel), "cancel");
            Check(curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L), "cancel");
        }
        Check(curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, &HearReply), "replies");
        Check(curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &replies), "replies");
        Check(curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L), "replies");

        const std::string from = EnvelopeAddress(mail.From);
        Check(curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.c_str()), "sender");
        for (const TMailAddress& recipient : recipients) {
            envelope.Add(EnvelopeAddress(recipient));
        }
        Check(curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, envelope.List), "recipients");

        for (const std::string& field : MailHeaderFields(mail)) {
            headers.Add(field);
        }
        Check(curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.List), "headers");

        AddText(mime.get(), curl, body, mail);
        for (const TMailAttachment& attachment : mail.Attachments) {
            if (IsHtmlBody(attachment)) {
                continue;
            }
            curl_mimepart* part = curl_mime_addpart(mime.get());
            Check(curl_mime_filedata(part, attachment.Path.c_str()),
                  ("attachment \"" + attachment.Path + "\"").c_str());
            // The type a reader chooses the program by; the name alone is not enough for many.
            Check(curl_mime_type(part, std::string(MediaTypeOf(attachment.Name)).c_str()),
                  "attachment");
            Check(curl_mime_encoder(part, "base64"), "attachment");
            // filedata names the part after the file on disk; the recipient sees the export's
            // own name, given in the disposition below.
            Check(curl_mime_filename(part, nullptr), "attachment");
            TSlist partHeaders;
            partHeaders.Add("Content-Disposition: " + AttachmentDisposition(attachment.Name));
            Check(curl_mime_headers(part, partHeaders.List, 1), "attachment");
            partHeaders.List = nullptr; // the part owns it now
        }
        Check(curl_easy_setopt(curl, CURLOPT_MIMEPOST, mime.get()), "mail");
    } catch (const std::exception& e) {
        return {TSendStatus::Permanent, 0, std::string("Cannot prepare the mail: ") + e.what()};
    }

    const CURLcode code = curl_easy_perform(curl);
    if (code == CURLE_OK) {
        return {TSendStatus::Sent, 0, {}};
    }
    long reply = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply);
    TSendResult result;
    result.Status = ClassifyFailure(code, reply);
    result.ReplyCode = static_cast<int>(reply);
    if (reply >= 400 && !replies.LastFailure.empty()) {
        result.Reason = replies.LastFailure;
    } else {
        result.Reason = error[0] != '\0' ? error : curl_easy_strerror(code);
    }
    return result;
}

} // namespace host
