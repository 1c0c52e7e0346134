#include "client/MailDesk.h"

#include "platform/rtl/SysUtils.h"

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
std::string ReadSecretFile(const std::string& file, bool checkMode) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        throw rtl::Exception("Cannot read mail password file " + Quoted(file) + ": " +
                             std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw rtl::Exception("Mail password file " + Quoted(file) + " is not a regular file");
    }
    if (checkMode && (info.st_mode & 077) != 0) {
        ::close(fd);
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        throw rtl::Exception("Mail password file " + Quoted(file) + " has mode " + mode +
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
        return ReadSecretFile(file, true);
    }
    // systemd makes the credentials folder readable by the service alone.
    if (const char* folder = std::getenv("CREDENTIALS_DIRECTORY"); folder != nullptr) {
        const std::string credential = std::string(folder) + "/" + MailPasswordCredential;
        if (::access(credential.c_str(), F_OK) == 0) {
            return ReadSecretFile(credential, false);
        }
    }
    return std::nullopt;
}

TMailDesk::TMailDesk(const std::string& historyFile, TMailSettings settings, TLog info, TLog error,
                     TFailed failed)
    : FSettings(std::move(settings)), FInfo(std::move(info)), FError(std::move(error)),
      FFailed(std::move(failed)), FOutbox(historyFile), FReceiver(std::make_unique<QObject>()) {
    QObject* receiver = FReceiver.get();
    FWorker = std::make_unique<host::TDeliveryWorker>(
        historyFile, FSettings.Server, [this, receiver](const host::TOutboxMail& mail) {
            QMetaObject::invokeMethod(
                receiver, [this, mail] { Heard(mail); }, Qt::QueuedConnection);
        });
}

TMailDesk::~TMailDesk() {
    FWorker.reset();
}

void TMailDesk::Take(const host::TMailOrder& order, std::int64_t runId) noexcept {
    const std::string task = "Task " + Quoted(order.Run.TaskName) + ": ";
    try {
        host::TOutboxMail queued;
        queued.RunId = runId;
        queued.TaskId = order.Run.TaskId;
        queued.TaskName = order.Run.TaskName;
        host::TMailMessage& mail = queued.Mail;
        mail.From =
            host::ParseMailAddress(FSettings.From.empty() ? FSettings.Server.User : FSettings.From);
        mail.To = host::ParseMailAddressList(order.To);
        mail.Cc = host::ParseMailAddressList(order.Cc);
        mail.Bcc = host::ParseMailAddressList(order.Bcc);
        host::TRunRecord run = order.Run;
        if (const auto facts = host::RegularFileFacts(run.FileName)) {
            run.FileSize = facts->Size;
        }
        mail.Subject = host::ExpandMailTemplate(
            order.Subject.empty() ? host::DefaultMailSubject : order.Subject, run);
        mail.Body =
            host::ExpandMailTemplate(order.Body.empty() ? host::DefaultMailBody : order.Body, run);
        if (run.FileSize >= 0) {
            const std::size_t slash = run.FileName.rfind('/');
            const std::string note = host::AttachWithinLimit(
                mail, {run.FileName, run.FileName.substr(slash + 1)}, run.FileSize,
                std::int64_t{FSettings.MaxAttachmentMiB} * 1024 * 1024);
            if (!note.empty()) {
                FInfo(task + note);
            }
        }
        mail.MessageId = host::NewMessageId(mail.From.AddrSpec);
        mail.Date = static_cast<std::int64_t>(std::time(nullptr));
        FOutbox.Add(queued);
        FWorker->Wake();
    } catch (const std::exception& e) {
        FError(task + "Not delivered: " + e.what());
        host::TRunRecord failed = order.Run;
        failed.Result = std::string("Error: Not delivered: ") + e.what();
        failed.Outcome = host::TRunOutcome::Failed;
        FFailed(failed);
    }
}

void TMailDesk::Heard(const host::TOutboxMail& mail) {
    const std::string task = "Task " + Quoted(mail.TaskName) + ": ";
    switch (mail.State) {
    case host::TDeliveryState::Sent:
        FInfo(task + "Sent to " + std::to_string(mail.Mail.Recipients().size()) + " recipient" +
              (mail.Mail.Recipients().size() == 1 ? "" : "s"));
        return;
    case host::TDeliveryState::Queued:
        FInfo(task + "Retrying at " + ClockText(mail.NextAttempt) + " (" +
              std::to_string(mail.Attempts) + "): " + mail.Reason);
        return;
    case host::TDeliveryState::Failed: {
        FError(task + "Not delivered: " + mail.Reason);
        host::TRunRecord failed;
        failed.TaskId = mail.TaskId;
        failed.TaskName = mail.TaskName;
        failed.Result = "Error: Not delivered: " + mail.Reason;
        failed.Outcome = host::TRunOutcome::Failed;
        FFailed(failed);
        return;
    }
    }
}

} // namespace morvid
