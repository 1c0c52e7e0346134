// The client's mail delivery: the mail server from the registry, its password from a file or
// systemd's credentials, the outbox and its worker, and each delivery's progress on the road.
#pragma once

#include "platform/host/delivery/DeliveryWorker.h"
#include "platform/host/delivery/MailOrder.h"
#include "platform/host/delivery/MailSettings.h"
#include "platform/host/report/TaskRuns.h"

#include <QObject>
#include <functional>
#include <map>
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

// Tells on `runs` that the mail of `run` will not arrive (`text`: "Not delivered: ..."): as a
// delivery notice, and as a failed run of its own, whose note names the run and adds `note`.
void TellUndelivered(host::TTaskRuns& runs, const host::TRunRecord& run, const std::string& text,
                     const std::string& note);

class TMailDesk {
public:
    using TLog = std::function<void(const std::string& text)>;

    // Opens the outbox in the history file and starts the worker, which sends what an earlier
    // session left queued. Each delivery's progress is told on `runs` (TellDelivery), its end
    // noted on its run in the history, and a delivery that fails for good is a failed run of its
    // own on the road. Raises when the outbox cannot be opened.
    TMailDesk(const std::string& historyFile, TMailSettings settings, TLog info, TLog error,
              host::TTaskRuns& runs);
    // Stops the worker; what is queued stays for the next start.
    ~TMailDesk();
    TMailDesk(const TMailDesk&) = delete;
    TMailDesk& operator=(const TMailDesk&) = delete;

    // Writes the order's mail, with every file the run wrote, to the outbox and wakes the
    // worker. Never raises; a mail that cannot be made is a delivery that failed.
    void Take(const host::TMailOrder& order) noexcept;

private:
    void Heard(const host::TOutboxMail& mail);
    // The id of the order's run in the history, which recorded it just before; 0 when unknown.
    std::int64_t RunIdOf(const host::TRunRecord& run) const;

    TMailSettings FSettings;
    TLog FInfo, FError;
    host::TTaskRuns& FRuns;
    // The runs of the mails taken in this session, by outbox id: what a failure stands for.
    std::map<std::int64_t, host::TRunRecord> FMailRuns;
    host::TOutbox FOutbox;
    // The worker's reports reach the main thread through it; after the worker in destruction.
    std::unique_ptr<QObject> FReceiver;
    std::unique_ptr<host::TDeliveryWorker> FWorker;
};

} // namespace morvid
