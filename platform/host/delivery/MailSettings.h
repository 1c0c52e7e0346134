// The client's mail server as the registry keeps it (the "Mail" key, never the password), and
// what makes settings unusable.
#pragma once

#include "platform/host/delivery/SmtpTransport.h"

#include <atomic>
#include <string>

namespace host {

class TRegistry;

// The key below which "Server", "Port", "Security", "User", "From", "MaxAttachmentMiB" and
// "CaFile" (an authority trusted besides the system's) are kept.
inline constexpr const char* MailSettingsKey = "\\Software\\Quor\\Client\\Settings\\Morvid\\Mail";
inline constexpr int DefaultMaxAttachmentMiB = 10;

struct TMailSettings {
    TSmtpServer Server; // without its password
    std::string From;
    int MaxAttachmentMiB = DefaultMaxAttachmentMiB;
};

// What the registry holds; absent or mistyped values are the defaults. Raises
// ERegistryException.
TMailSettings ReadMailSettings(TRegistry& registry);
// Writes every value in one transaction: a failed write leaves the key as it was. A default
// port and no CA file are stored as absent values. Raises ERegistryException.
void WriteMailSettings(TRegistry& registry, const TMailSettings& settings);

// Why the settings cannot be used, naming the value at fault; empty when they can. No server
// is no fault: mail is then simply not sent.
std::string MailSettingsFault(const TMailSettings& settings);

// The sender of the client's mails: "From", else the user when that is an address.
std::string MailSender(const TMailSettings& settings);

// One mail from the sender to the sender, through `server` as given (its password included),
// saying where it comes from; for a person to see that the settings deliver. Never raises.
TSendResult SendTestMail(const TMailSettings& settings, const std::atomic<bool>* cancel = nullptr);

} // namespace host
