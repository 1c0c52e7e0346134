#include "client/MailDesk.h"

#include "platform/host/delivery/MailComposition.h"
#include "platform/host/delivery/OutboxSpool.h"
#include "platform/host/delivery/TargetOrder.h"
#include "platform/host/mail/MailPasswordStore.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Words.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvid {

namespace {

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string ClockText(std::int64_t unixSeconds) {
    const auto seconds = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[8];
    std::strftime(text, sizeof text, "%H:%M", &local);
    return text;
}

// Up to the first line end: an editor's final newline is not part of the password.
std::string ReadSecretFile(const std::string& file, bool checkMode, const char* what) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        throw rtl::Exception("Cannot read " + std::string(what) + " " + Quoted(file) + ": " +
                             std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw rtl::Exception(std::string(what) + " " + Quoted(file) + " is not a regular file");
    }
    if (checkMode && (info.st_mode & 077) != 0) {
        ::close(fd);
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        throw rtl::Exception(std::string(what) + " " + Quoted(file) + " has mode " + mode +
                             "; others may read it. Allow only its owner (chmod 600)");
    }
    std::string text;
    char buffer[512];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    if (const std::size_t end = text.find_first_of("\r\n"); end != std::string::npos) {
        text.resize(end);
    }
    return text;
}

} // namespace

std::optional<std::string> ReadMailPassword(const std::string& file) {
    if (!file.empty()) {
        return ReadSecretFile(file, true, "mail password file");
    }
    // systemd makes the credentials folder readable by the service alone.
    if (const char* folder = std::getenv("CREDENTIALS_DIRECTORY"); folder != nullptr) {
        const std::string credential = std::string(folder) + "/" + MailPasswordCredential;
        if (::access(credential.c_str(), F_OK) == 0) {
            return ReadSecretFile(credential, false, "mail password file");
        }
    }
    return std::nullopt;
}

std::optional<std::string> ReadCredentialSecret(const std::string& name, const std::string& folder,
                                                bool headless) {
    if (!folder.empty()) {
        if (const std::string file = folder + "/" + name; ::access(file.c_str(), F_OK) == 0) {
            return ReadSecretFile(file, true, "credential file");
        }
    }
    if (const char* credentials = std::getenv("CREDENTIALS_DIRECTORY"); credentials != nullptr) {
        if (const std::string file = std::string(credentials) + "/" + name;
            ::access(file.c_str(), F_OK) == 0) {
            return ReadSecretFile(file, false, "credential file");
        }
    }
    if (headless) {
        return std::nullopt;
    }
    return host::ReadStoredSecret(host::CredentialService, name,
                                  "the secret of credential " + Quoted(name));
}

std::optional<std::string> MailPasswordFor(const TMailSettings& settings,
                                           const std::string& passwordFile, bool headless) {
    if (std::optional<std::string> password = ReadMailPassword(passwordFile)) {
        return password;
    }
    // Headless there is no desktop whose store could be opened, nor anyone to open it.
    if (headless || settings.Server.User.empty()) {
        return std::nullopt;
    }
    return host::ReadStoredMailPassword(settings.Server);
}

TMailDesk::TMailDesk(const std::string& historyFile, host::TRegistry& registry, TOptions options,
                     TLog info, TLog error, host::TTaskRuns& runs)
    : FRegistry(registry), FOptions(std::move(options)), FSettings(ReadMailSettings(registry)),
      FInfo(std::move(info)), FError(std::move(error)), FRuns(runs),
      FSpoolFolder(host::TOutboxSpool(historyFile).Folder()), FOutbox(historyFile),
      FReceiver(std::make_unique<QObject>()) {
    QObject* receiver = FReceiver.get();
    host::TSmtpServer server = ServerOf(FSettings);
    FHeldFor = server.Unusable;
    FWorker = std::make_unique<host::TDeliveryWorker>(
        historyFile, std::move(server),
        [this, receiver](const host::TOutboxEntry& mail) {
            QMetaObject::invokeMethod(
                receiver, [this, mail] { Heard(mail); }, Qt::QueuedConnection);
        },
        host::TRetryPolicy{},
        [this, receiver](const std::string& text) {
            QMetaObject::invokeMethod(
                receiver, [this, text] { FError("mail delivery: " + text); }, Qt::QueuedConnection);
        });
    FWorker->SetLogins(ReadLogins());
    FFeeder = std::make_unique<host::TOutboxFeeder>(
        historyFile, [worker = FWorker.get()] { worker->Wake(); },
        [this, receiver](const host::TOutboxEntry& entry, const std::string& reason) {
            QMetaObject::invokeMethod(
                receiver, [this, entry, reason] { NotQueued(entry, reason); },
                Qt::QueuedConnection);
        });
}

TMailDesk::~TMailDesk() {
    FFeeder.reset();
    FWorker.reset();
}

std::optional<std::string> TMailDesk::Password() const {
    return MailPasswordFor(FSettings, FOptions.PasswordFile, FOptions.Headless);
}

host::TLoginSource TMailDesk::ReadLogins() const {
    struct TLogin {
        host::TTransferLogin Login;
        std::string Unusable; // why it cannot log in for now; empty when it can
    };
    std::map<std::string, TLogin> logins;
    std::vector<host::TCredential> credentials;
    try {
        credentials = host::ReadCredentials(FRegistry);
    } catch (const std::exception& e) {
        FError("Cannot read the targets' credentials: " + std::string(e.what()));
    }
    for (const host::TCredential& credential : credentials) {
        TLogin& login = logins[credential.Name];
        login.Login.User = credential.User;
        login.Login.Domain = credential.Domain;
        login.Login.KeyFile = credential.KeyFile;
        try {
            if (std::optional<std::string> secret = ReadCredentialSecret(
                    credential.Name, FOptions.SecretsFolder, FOptions.Headless)) {
                login.Login.Password = std::move(*secret);
            } else if (credential.KeyFile.empty()) {
                login.Unusable =
                    "No secret for credential " + Quoted(credential.Name) + ": " +
                    (FOptions.Headless
                         ? "give --credentials-dir FOLDER with a file of its name, or the "
                           "credential " +
                               credential.Name
                         : "type it in \"Credentials\" of \"Scheduled reports\"");
            }
        } catch (const std::exception& e) {
            FError(e.what());
            login.Unusable = e.what();
        }
    }
    return [logins = std::move(logins)](const host::TDeliveryTarget& target) {
        if (target.Credential.empty()) {
            return host::TTransferLogin{};
        }
        const auto found = logins.find(target.Credential);
        if (found == logins.end()) {
            throw rtl::Exception("No credential is named " + Quoted(target.Credential));
        }
        if (!found->second.Unusable.empty()) {
            throw rtl::Exception(found->second.Unusable);
        }
        return found->second.Login;
    };
}

void TMailDesk::ApplyCredentials(const std::vector<host::TCredential>& credentials,
                                 const std::map<std::string, std::string>& secrets) {
    for (const host::TCredential& credential : credentials) {
        if (const std::string fault = host::CredentialFault(credential); !fault.empty()) {
            throw rtl::Exception(fault);
        }
    }
    // The secrets first: a store that refuses leaves the registry as it was.
    for (const auto& [name, secret] : secrets) {
        host::StoreSecret(host::CredentialService, name, secret,
                          "the secret of credential " + Quoted(name));
    }
    host::WriteCredentials(FRegistry, credentials);
    FInfo("Credentials changed: " + std::to_string(credentials.size()) + " kept");
    FWorker->SetLogins(ReadLogins());
}

host::TSmtpServer TMailDesk::ServerOf(const TMailSettings& settings) const {
    host::TSmtpServer server = settings.Server;
    try {
        if (std::optional<std::string> password =
                MailPasswordFor(settings, FOptions.PasswordFile, FOptions.Headless)) {
            server.Password = std::move(*password);
        } else if (!server.User.empty()) {
            server.Unusable =
                "No password for mail user \"" + server.User + "\": " +
                (FOptions.Headless
                     ? std::string("give --mail-password-file FILE or the credential ") +
                           MailPasswordCredential
                     : std::string("type it in \"Mail server\" of \"Scheduled reports\", or "
                                   "give --mail-password-file FILE"));
        }
    } catch (const std::exception& e) {
        FError(e.what());
        server.Unusable = e.what();
    }
    return server;
}

void TMailDesk::Apply(const TMailSettings& settings) {
    host::WriteMailSettings(FRegistry, settings);
    FSettings = settings;
    FInfo("Mail server settings changed: \"" + settings.Server.Host + "\"");
    // What is queued stays in the outbox; the worker sends it with the new settings.
    host::TSmtpServer server = ServerOf(FSettings);
    FHeldFor = server.Unusable;
    FWorker->SetServer(std::move(server));
}

void TMailDesk::Take(const host::TMailOrder& order) noexcept {
    if (order.WithMail) {
        TakeMail(order);
    }
    TakeTargets(order);
}

void TMailDesk::TakeTargets(const host::TMailOrder& order) noexcept {
    const std::string task = "Task " + Quoted(order.Run.TaskName) + ": ";
    host::TTargetEntries targets;
    try {
        targets = host::TargetEntries(order, static_cast<std::int64_t>(std::time(nullptr)));
    } catch (const std::exception& e) {
        targets.Faults.push_back({"targets", e.what()});
    }
    // Keeping a large export for its entries may mean copying it: the feeder writes them.
    for (const host::TOutboxEntry& entry : targets.Entries) {
        FTaken[entry.Mail.MessageId] = {order.Run, {}};
    }
    if (!targets.Entries.empty()) {
        FFeeder->Add(std::move(targets.Entries));
    }
    for (const host::TTargetFault& fault : targets.Faults) {
        const std::string text = fault.Target + ": Not delivered: " + fault.Reason;
        FError(task + text);
        TellUndelivered(FRuns, order.Run, text, "not written", "delivery");
    }
}

void TMailDesk::NotQueued(const host::TOutboxEntry& entry, const std::string& reason) {
    const auto taken = FTaken.find(entry.Mail.MessageId);
    if (taken == FTaken.end()) {
        return;
    }
    const host::TRunRecord run = taken->second.Run;
    FTaken.erase(taken);
    const std::string text = host::TargetDisplayName(entry.Target) + ": Not delivered: " + reason;
    FError("Task " + Quoted(run.TaskName) + ": " + text);
    TellUndelivered(FRuns, run, text, "not written", "delivery");
}

void TMailDesk::TakeMail(const host::TMailOrder& order) noexcept {
    const std::string task = "Task " + Quoted(order.Run.TaskName) + ": ";
    try {
        host::TOutboxEntry queued;
        queued.RunStarted = order.Run.Started;
        queued.RunFormat = order.Run.Format;
        queued.TaskId = order.Run.TaskId;
        queued.TaskName = order.Run.TaskName;
        host::TMailMessage& mail = queued.Mail;
        mail.From =
            host::ParseMailAddress(FSettings.From.empty() ? FSettings.Server.User : FSettings.From);
        mail.To = host::ParseMailAddressList(order.To);
        mail.Cc = host::ParseMailAddressList(order.Cc);
        mail.Bcc = host::ParseMailAddressList(order.Bcc);
        // A zip or an HTML summary is made in the spool, where the outbox keeps it as it keeps
        // the run's files; the folder it was made in goes once the mail is queued.
        const host::TStagingFolder staging(FSpoolFolder, host::MakesFiles(order));
        host::TComposedMail composed = host::ComposeMail(
            order, std::int64_t{FSettings.MaxAttachmentMiB} * 1024 * 1024, staging.Path());
        mail.Subject = std::move(composed.Mail.Subject);
        mail.Body = std::move(composed.Mail.Body);
        mail.Attachments = std::move(composed.Mail.Attachments);
        std::string notes;
        for (const std::string& note : composed.Notes) {
            FInfo(task + note);
            notes += (notes.empty() ? "" : "; ") + note;
        }
        mail.MessageId = host::NewMessageId(mail.From.AddrSpec);
        mail.Date = static_cast<std::int64_t>(std::time(nullptr));
        FOutbox.Add(queued);
        FWorker->Wake();
        // A run the history has not recorded yet gets its note when the mail ends.
        host::TRunHistory* history = FRuns.History();
        if (history != nullptr && queued.RunId != 0 && !notes.empty()) {
            history->AppendNote(queued.RunId, "mail: " + notes);
            notes.clear();
        }
        FTaken[queued.Mail.MessageId] = {order.Run, notes};
    } catch (const std::exception& e) {
        FError(task + "Not delivered: " + e.what());
        TellUndelivered(FRuns, order.Run, std::string("Not delivered: ") + e.what(),
                        "mail not written");
    }
}

void TellUndelivered(host::TTaskRuns& runs, const host::TRunRecord& run, const std::string& text,
                     const std::string& note, const std::string& what) {
    runs.TellDelivery({run.TaskId, run.Started, text, true});
    // A record of its own, as a further format's export is: the run was told when it ended,
    // and its mail failed only now.
    host::TRunRecord record;
    record.TaskId = run.TaskId;
    record.TaskName = run.TaskName;
    record.ReportName = run.ReportName;
    record.Format = run.Format;
    record.Trigger = run.Trigger;
    record.Due = run.Due;
    record.KeepFiles = run.KeepFiles;
    record.Started = rtl::Now();
    record.Ended = record.Started;
    record.Result = "Error: " + text;
    record.Outcome = host::TRunOutcome::Failed;
    record.Note = run.Started != 0 ? what + " of the run started " +
                                         rtl::FormatDateTimeISO(run.Started).substr(0, 19) +
                                         (note.empty() ? "" : ", " + note)
                                   : note;
    runs.Tell(record);
}

void TMailDesk::Heard(const host::TOutboxEntry& mail) {
    const std::string task = "Task " + Quoted(mail.TaskName) + ": ";
    TTaken taken;
    if (const auto known = FTaken.find(mail.Mail.MessageId); known != FTaken.end()) {
        taken = known->second;
    } else {
        // Left queued by an earlier session: its task is all the outbox knows of the run.
        taken.Run.TaskId = mail.TaskId;
        taken.Run.TaskName = mail.TaskName;
    }
    const host::TRunRecord& run = taken.Run;
    const std::string attempts =
        std::to_string(mail.Attempts) + (mail.Attempts == 1 ? " attempt" : " attempts");
    // A target's texts name it: a run may have several besides its mail.
    const std::string channel = mail.Target.empty() ? "" : host::TargetDisplayName(mail.Target);
    const std::string about = channel.empty() ? "" : channel + ": ";
    std::string text;
    switch (mail.State) {
    case host::TDeliveryState::Queued:
    case host::TDeliveryState::Sending:
        text = about + "Retrying at " + ClockText(mail.NextAttempt) + " (" +
               std::to_string(mail.Attempts) + "): " + mail.Reason;
        FInfo(task + text);
        FRuns.TellDelivery({run.TaskId, run.Started, text, false, channel});
        // A keyring opened since, or a credential added, ends the hold at the next attempt.
        if (!FHeldFor.empty() && mail.Reason == FHeldFor) {
            host::TSmtpServer server = ServerOf(FSettings);
            FHeldFor = server.Unusable;
            if (FHeldFor.empty()) {
                FWorker->SetServer(std::move(server));
            }
        }
        if (!mail.Target.empty() && mail.Reason.find("credential") != std::string::npos) {
            FWorker->SetLogins(ReadLogins());
        }
        return;
    case host::TDeliveryState::Sent: {
        const std::size_t count = mail.Mail.Recipients().size();
        text = !channel.empty()
                   ? "Delivered to " + channel
                   : "Sent to " + std::to_string(count) + " recipient" + (count == 1 ? "" : "s");
        FInfo(task + text);
        break;
    }
    case host::TDeliveryState::Failed:
        text = about + "Not delivered: " + mail.Reason;
        FError(task + text);
        break;
    }
    FTaken.erase(mail.Mail.MessageId);
    // The worker may have read the mail before the history recorded its run, which linked them.
    std::int64_t runId = mail.RunId;
    if (runId == 0) {
        try {
            const std::optional<host::TOutboxEntry> linked = FOutbox.Find(mail.Id);
            runId = linked ? linked->RunId : 0;
        } catch (const std::exception& e) {
            FError(task + "cannot read the mail's run: " + e.what());
        }
    }
    // The history says how it ended, and after how many tries, on the run itself.
    if (host::TRunHistory* history = FRuns.History(); history != nullptr && runId != 0) {
        try {
            history->AppendNote(runId, (channel.empty() ? "mail: " : "target: ") +
                                           (taken.Note.empty() ? "" : taken.Note + "; ") + text +
                                           " (" + attempts + ")");
        } catch (const std::exception& e) {
            FError(task + "cannot note the mail in the history: " + e.what());
        }
    }
    if (mail.State == host::TDeliveryState::Failed) {
        TellUndelivered(FRuns, run, text, attempts, channel.empty() ? "mail" : "delivery");
    } else {
        FRuns.TellDelivery({run.TaskId, run.Started, text, false, channel});
    }
}

void TakeMailOrder(TMailDesk* desk, host::TTaskRuns& runs, const host::TMailOrder& order,
                   const TMailDesk::TLog& error) {
    if (desk == nullptr) {
        const std::string text = "Not delivered: mail needs the run history, which is not open";
        error("Task " + Quoted(order.Run.TaskName) + ": " + text);
        TellUndelivered(runs, order.Run, text, {});
        return;
    }
    desk->Take(order);
}

} // namespace morvid
