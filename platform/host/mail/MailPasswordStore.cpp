#include "platform/host/mail/MailPasswordStore.h"

#include "platform/rtl/SysUtils.h"

#include <QEventLoop>
#include <qt6keychain/keychain.h>

namespace host {

namespace {

// One entry per user and server: a user may have accounts on several servers.
QString EntryKey(const TSmtpServer& server) {
    return QString::fromStdString(server.User + " on " + server.Host);
}

// The jobs answer through the event loop; the callers need the answer before they go on.
void RunJob(QKeychain::Job& job) {
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    bool done = false;
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        done = true;
        loop.quit();
    });
    job.start();
    if (!done) {
        loop.exec();
    }
}

} // namespace

std::optional<std::string> ReadStoredSecret(const char* service, const std::string& key,
                                            const std::string& whose) {
    QKeychain::ReadPasswordJob job(QString::fromLatin1(service));
    job.setKey(QString::fromStdString(key));
    RunJob(job);
    if (job.error() == QKeychain::EntryNotFound) {
        return std::nullopt;
    }
    if (job.error() != QKeychain::NoError) {
        throw rtl::Exception("Cannot read " + whose + " from the desktop's secret store: " +
                             job.errorString().toStdString());
    }
    return job.textData().toStdString();
}

void StoreSecret(const char* service, const std::string& key, const std::string& secret,
                 const std::string& whose) {
    QKeychain::WritePasswordJob job(QString::fromLatin1(service));
    job.setKey(QString::fromStdString(key));
    job.setTextData(QString::fromStdString(secret));
    RunJob(job);
    if (job.error() != QKeychain::NoError) {
        throw rtl::Exception("Cannot keep " + whose +
                             " in the desktop's secret store: " + job.errorString().toStdString());
    }
}

std::optional<std::string> ReadStoredMailPassword(const TSmtpServer& server) {
    return ReadStoredSecret(MailPasswordService, EntryKey(server).toStdString(),
                            "the mail password of \"" + server.User + "\"");
}

void StoreMailPassword(const TSmtpServer& server, const std::string& password) {
    StoreSecret(MailPasswordService, EntryKey(server).toStdString(), password,
                "the mail password of \"" + server.User + "\"");
}

} // namespace host
