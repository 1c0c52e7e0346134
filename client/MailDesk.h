// The client's mail delivery: the mail server from the registry, its password from a file or
// systemd's credentials, the outbox and its worker, and a log line for each delivery's end.
#pragma once

#include "platform/host/delivery/DeliveryWorker.h"
#include "platform/host/delivery/MailOrder.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace host {
class TRegistry;
} // namespace host

namespace morvid {

// The key of the client's mail server, below which "Server", "Port", "Security", "User",
// "From", "MaxAttachmentMiB" and "CaFile" (an authority trusted besides the system's) are kept;
// never the password.
inline constexpr const char* MailSettingsKey = "\\Software\\Quor\\Client\\Settings\\Morvid\\Mail";
// The name of the password among systemd's credentials ($CREDENTIALS_DIRECTORY).
inline constexpr const char* MailPasswordCredential = "mail-password";
inline constexpr int DefaultMaxAttachmentMiB = 10;

struct TMailSettings {
    host::TSmtpServer Server;
    std::string From;
    int MaxAttachmentMiB = DefaultMaxAttachmentMiB;
};

// What the registry holds; absent values are the defaults. Raises ERegistryException.
TMailSettings ReadMailSettings(host::TRegistry& registry);

// The password from `file` (which must be a regular file of mode 0600 or stricter), else from
// $CREDENTIALS_DIRECTORY/mail-password when that exists; the text up to its first line end.
// nullopt when neither is given. Raises rtl::Exception naming the file and the fault.
std::optional<std::string> ReadMailPassword(const std::string& file);

class TMailDesk {
public:
    using TLog = std::function<void(const std::string& text)>;
    // A delivery that failed for good, as a failed run of its task.
    using TFailed = std::function<void(const host::TRunRecord& run)>;

    // Opens the outbox in the history file and starts the worker, which sends what an earlier
    // session left queued. Raises when the outbox cannot be opened.
    TMailDesk(const std::string& historyFile, TMailSettings settings, TLog info, TLog error,
              TFailed failed);
    // Stops the worker; what is queued stays for the next start.
    ~TMailDesk();
    TMailDesk(const TMailDesk&) = delete;
    TMailDesk& operator=(const TMailDesk&) = delete;

    // Writes the order's mail to the outbox and wakes the worker. `runId` is the run's id in
    // the history (0 when unknown). Never raises; a mail that cannot be made is logged.
    void Take(const host::TMailOrder& order, std::int64_t runId) noexcept;

private:
    void Heard(const host::TOutboxMail& mail);

    TMailSettings FSettings;
    TLog FInfo, FError;
    TFailed FFailed;
    host::TOutbox FOutbox;
    // The worker's reports reach the main thread through it; after the worker in destruction.
    std::unique_ptr<QObject> FReceiver;
    std::unique_ptr<host::TDeliveryWorker> FWorker;
};

} // namespace morvid
