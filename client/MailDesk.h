// The client's mail delivery: the mail server from the registry, its password from a file or
// systemd's credentials, the outbox and its worker, and a log line for each delivery's end.
#pragma once

#include "platform/host/delivery/DeliveryWorker.h"
#include "platform/host/delivery/MailOrder.h"
#include "platform/host/delivery/MailSettings.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace morvid {

// The mail server's settings are the host's, so a plug-in's dialog can change them.
using host::ReadMailSettings;
using host::TMailSettings;
// The name of the password among systemd's credentials ($CREDENTIALS_DIRECTORY).
inline constexpr const char* MailPasswordCredential = "mail-password";

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
