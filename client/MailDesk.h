// The client's mail delivery: the mail server from the registry, its password from a file,
// systemd's credentials or the desktop's store, changes to them, the outbox and its worker, and
// each delivery's progress on the road.
#pragma once

#include "platform/host/delivery/Credentials.h"
#include "platform/host/delivery/DeliveryWorker.h"
#include "platform/host/delivery/MailOrder.h"
#include "platform/host/delivery/MailSettings.h"
#include "platform/host/delivery/OutboxFeeder.h"
#include "platform/host/registry/Registry.h"
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

// The secret of the targets' credential `name`: the file of its name in `folder` (mode 0600 or
// stricter), else $CREDENTIALS_DIRECTORY/<name>, else, with a desktop, the desktop's secret
// store. nullopt when none holds one. Raises rtl::Exception naming the file or the store's fault.
std::optional<std::string> ReadCredentialSecret(const std::string& name, const std::string& folder,
                                                bool headless);

// Tells on `runs` that the mail (`what`) of `run` will not arrive (`text`: "Not delivered:
// ..."): as a delivery notice, and as a failed run of its own, whose note names the run and adds
// `note`.
void TellUndelivered(host::TTaskRuns& runs, const host::TRunRecord& run, const std::string& text,
                     const std::string& note, const std::string& what = "mail");

// Where the password comes from: `passwordFile` or systemd's credential; else, with a desktop,
// the desktop's secret store. nullopt when none holds one. Raises rtl::Exception with the
// reason it cannot be read (a locked store, a file others may read).
std::optional<std::string> MailPasswordFor(const TMailSettings& settings,
                                           const std::string& passwordFile, bool headless);

class TMailDesk {
public:
    using TLog = std::function<void(const std::string& text)>;

    struct TOptions {
        std::string PasswordFile{};  // --mail-password-file
        std::string SecretsFolder{}; // --credentials-dir: a 0600 file per credential
        bool Headless = false;       // no desktop, so no secret store to ask
    };

    // Reads the mail server from `registry`, opens the outbox in the history file and starts the
    // worker, which sends what an earlier session left queued. Each delivery's progress is told
    // on `runs` (TellDelivery), its end noted on its run in the history, and a delivery that
    // fails for good is a failed run of its own on the road. Raises when the outbox cannot be
    // opened.
    TMailDesk(const std::string& historyFile, host::TRegistry& registry, TOptions options,
              TLog info, TLog error, host::TTaskRuns& runs);
    // Stops the worker; what is queued stays for the next start.
    ~TMailDesk();
    TMailDesk(const TMailDesk&) = delete;
    TMailDesk& operator=(const TMailDesk&) = delete;

    // Writes the order's mail, with every file the run wrote, and an entry for each of its
    // targets to the outbox and wakes the worker. Never raises; a mail or an entry that cannot
    // be made is a delivery that failed.
    void Take(const host::TMailOrder& order) noexcept;
    // Stores the settings a dialog changed and delivers with them from the next attempt. The
    // outbox and the worker stay: a run that ends meanwhile is queued as ever. Raises
    // ERegistryException and changes nothing when they cannot be stored.
    void Apply(const TMailSettings& settings);
    // The password the current settings get, as MailPasswordFor reads it.
    std::optional<std::string> Password() const;
    // Stores the targets' credentials and the secrets typed for them, and delivers with them
    // from the next attempt. Raises naming what cannot be stored.
    void ApplyCredentials(const std::vector<host::TCredential>& credentials,
                          const std::map<std::string, std::string>& secrets);

private:
    void TakeMail(const host::TMailOrder& order) noexcept;
    void TakeTargets(const host::TMailOrder& order) noexcept;
    // A target's entry the feeder could not write: a delivery that failed.
    void NotQueued(const host::TOutboxEntry& entry, const std::string& reason);
    // Each credential's login as the worker hands it to a target; read on this thread, where
    // the desktop's store can be asked.
    host::TLoginSource ReadLogins() const;
    // The settings' server with its password, or held with the reason there is none.
    host::TSmtpServer ServerOf(const TMailSettings& settings) const;
    void Heard(const host::TOutboxEntry& mail);

    host::TRegistry& FRegistry;
    TOptions FOptions;
    TMailSettings FSettings;
    TLog FInfo, FError;
    host::TTaskRuns& FRuns;
    // What a mail taken in this session stands for, by Message-ID (known before the outbox
    // gives an id, and a target's entry is written on the feeder's thread): its run, and the
    // note for the run the history had not recorded yet when the mail was queued.
    struct TTaken {
        host::TRunRecord Run;
        std::string Note;
    };
    std::map<std::string, TTaken> FTaken;
    // The reason the server's settings hold the queue; empty when they do not.
    std::string FHeldFor;
    std::string FSpoolFolder; // where a mail's zip and HTML summary are made
    host::TOutbox FOutbox;
    // The worker's reports reach the main thread through it; after the worker in destruction.
    std::unique_ptr<QObject> FReceiver;
    std::unique_ptr<host::TDeliveryWorker> FWorker;
    // Writes the targets' entries, whose files may be copied into the spool; before the worker
    // in destruction, so that it wakes the worker no more.
    std::unique_ptr<host::TOutboxFeeder> FFeeder;
};

// Hands the order to `desk`, or, without one, tells the run that its mail will not arrive.
void TakeMailOrder(TMailDesk* desk, host::TTaskRuns& runs, const host::TMailOrder& order,
                   const TMailDesk::TLog& error);

} // namespace morvid
