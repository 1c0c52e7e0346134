// Sends one mail to the client's mail server through libcurl's SMTP and MIME interface, and
// tells a failure worth trying again (no connection, time-out, a 4xx reply) from a final one.
#pragma once

#include "platform/host/delivery/MailMessage.h"
#include "platform/host/delivery/SendStatus.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace host {

// STARTTLS on a plain connection, TLS from the first byte, or no encryption at all (allowed only
// to this machine: the password and the reports would otherwise cross the network readable).
enum class TMailSecurity : std::uint8_t { StartTls, Tls, None };

// "starttls", "tls", "none": the registry's texts.
const char* MailSecurityText(TMailSecurity security) noexcept;
std::optional<TMailSecurity> MailSecurityFromText(std::string_view text) noexcept;
// 587, 465, 25.
int DefaultMailPort(TMailSecurity security) noexcept;

struct TSmtpServer {
    std::string Host;
    int Port = 0; // 0: the security's default port
    TMailSecurity Security = TMailSecurity::StartTls;
    std::string User; // empty: no authentication
    std::string Password;
    // Trusted besides the system's certificate store (a company's own authority).
    std::string ExtraCaFile;
    long ConnectTimeoutSeconds = 30;
    // A server that sends nothing for this long, or a transfer that stalls this long, is cut.
    long StallTimeoutSeconds = 120;
    // When set, no attempt is made and every mail waits with this reason for the next try (a
    // password that could not be read: better said than guessed at by the server).
    std::string Unusable{};
};

// True for "localhost", 127.0.0.0/8 and ::1 written as addresses.
bool IsLoopbackHost(std::string_view host);

// How a failure counts: a server's 4xx reply is transient and its 5xx final, whatever libcurl
// made of it; without a reply, a connection refused, cut or timed out is transient, anything
// else (a refused certificate, refused credentials, a file that cannot be read) final.
TSendStatus ClassifyFailure(int curlCode, long replyCode) noexcept;

// One attempt: connects, says who sends to whom, sends the mail and its attachments. Never
// raises for the server's or the network's faults; those are in the result. Setting `cancel`
// cuts the attempt short (a transient failure), so a worker can stop without waiting for it.
TSendResult SendMail(const TSmtpServer& server, const TMailMessage& mail,
                     const std::atomic<bool>* cancel = nullptr);

} // namespace host
