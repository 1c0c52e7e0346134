#include "platform/host/delivery/MailSettings.h"

#include "platform/host/delivery/MailAddress.h"
#include "platform/host/delivery/MailMessage.h"
#include "platform/host/registry/Registry.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace host {

TMailSettings ReadMailSettings(TRegistry& registry) {
    TMailSettings settings;
    if (!registry.OpenKey(MailSettingsKey, false)) {
        return settings;
    }
    const auto text = [&](const char* name) {
        return registry.GetDataType(name) == rdString ? registry.ReadString(name) : std::string();
    };
    const auto number = [&](const char* name, int fallback) {
        return registry.GetDataType(name) == rdInteger ? registry.ReadInteger(name) : fallback;
    };
    settings.Server.Host = text("Server");
    settings.Server.Port = number("Port", 0);
    settings.Server.Security =
        MailSecurityFromText(text("Security")).value_or(TMailSecurity::StartTls);
    settings.Server.User = text("User");
    settings.From = text("From");
    settings.Server.ExtraCaFile = text("CaFile");
    settings.MaxAttachmentMiB = std::max(number("MaxAttachmentMiB", DefaultMaxAttachmentMiB), 0);
    registry.CloseKey();
    return settings;
}

void WriteMailSettings(TRegistry& registry, const TMailSettings& settings) {
    registry.BeginTransaction();
    try {
        registry.OpenKey(MailSettingsKey, true);
        registry.WriteString("Server", settings.Server.Host);
        if (settings.Server.Port > 0) {
            registry.WriteInteger("Port", settings.Server.Port);
        } else {
            registry.DeleteValue("Port");
        }
        registry.WriteString("Security", MailSecurityText(settings.Server.Security));
        registry.WriteString("User", settings.Server.User);
        registry.WriteString("From", settings.From);
        registry.WriteInteger("MaxAttachmentMiB", settings.MaxAttachmentMiB);
        if (!settings.Server.ExtraCaFile.empty()) {
            registry.WriteString("CaFile", settings.Server.ExtraCaFile);
        } else {
            registry.DeleteValue("CaFile");
        }
        registry.CloseKey();
        registry.CommitTransaction();
    } catch (...) {
        registry.CloseKey();
        registry.RollbackTransaction();
        throw;
    }
}

std::string MailSettingsFault(const TMailSettings& settings) {
    const TSmtpServer& server = settings.Server;
    if (server.Host.empty()) {
        return {};
    }
    if (server.Port < 0 || server.Port > 65535) {
        return "Port " + std::to_string(server.Port) + " is not a port (1 to 65535)";
    }
    if (server.Security == TMailSecurity::None && !IsLoopbackHost(server.Host)) {
        return "Mail to \"" + server.Host +
               "\" must be encrypted: without encryption, the password and the reports would "
               "cross the network readable. Choose STARTTLS or TLS (no encryption is allowed "
               "only to this machine)";
    }
    if (!server.ExtraCaFile.empty() && ::access(server.ExtraCaFile.c_str(), R_OK) != 0) {
        return "Cannot read the CA file \"" + server.ExtraCaFile + "\": " + std::strerror(errno);
    }
    if (MailSender(settings).empty()) {
        return "No sender address: give the address the mails come from";
    }
    try {
        ParseMailAddress(MailSender(settings));
    } catch (const EMailAddressError& error) {
        return std::string("Sender: ") + error.what();
    }
    return {};
}

std::string MailSender(const TMailSettings& settings) {
    return settings.From.empty() ? settings.Server.User : settings.From;
}

TSendResult SendTestMail(const TMailSettings& settings, const std::atomic<bool>* cancel) {
    TMailMessage mail;
    try {
        if (const std::string fault = MailSettingsFault(settings); !fault.empty()) {
            return {TSendStatus::Permanent, 0, fault};
        }
        if (settings.Server.Host.empty()) {
            return {TSendStatus::Permanent, 0, "No mail server: give its host name"};
        }
        mail.From = ParseMailAddress(MailSender(settings));
    } catch (const std::exception& error) {
        return {TSendStatus::Permanent, 0, error.what()};
    }
    mail.To = {mail.From};
    mail.Subject = "Test mail from the report scheduler";
    mail.Body = "This mail was sent from the report scheduler's mail server settings, to see "
                "that its mails arrive.\n\nServer: " +
                settings.Server.Host + "\nSecurity: " + MailSecurityText(settings.Server.Security) +
                "\n";
    mail.MessageId = NewMessageId(mail.From.AddrSpec);
    mail.Date = static_cast<std::int64_t>(std::time(nullptr));
    return SendMail(settings.Server, mail, cancel);
}

} // namespace host
