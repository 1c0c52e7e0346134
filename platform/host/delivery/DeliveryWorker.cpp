#include "platform/host/delivery/DeliveryWorker.h"

#include "platform/rtl/Clock.h"

namespace host {

namespace {

// Looked at again after a failed read or write of the outbox: soon enough for a held file to be
// free again, seldom enough not to spin.
constexpr std::int64_t OutboxRetrySeconds = 60;
// A mail the server accepted waits for its record no longer than this between tries.
constexpr std::int64_t AcceptedRetrySeconds = 5;
constexpr std::int64_t PruneEverySeconds = 3600;

std::int64_t UnixNow() {
    return rtl::CurrentClock().UnixMs() / 1000;
}

} // namespace

TDeliveryWorker::TDeliveryWorker(const std::string& historyFile, TSmtpServer server,
                                 TListener listener, TRetryPolicy policy, TProblemLog problem)
    : FOutbox(historyFile), FListener(std::move(listener)), FPolicy(std::move(policy)),
      FProblem(std::move(problem)), FServer(std::move(server)) {
    FThread = std::thread([this] { Execute(); });
}

TDeliveryWorker::~TDeliveryWorker() {
    Stop();
}

void TDeliveryWorker::SetServer(TSmtpServer server) {
    {
        const std::lock_guard<std::mutex> lock(FLock);
        FServer = std::move(server);
    }
    FWake.SetEvent();
}

void TDeliveryWorker::SetLogins(TLoginSource logins) {
    {
        const std::lock_guard<std::mutex> lock(FLock);
        FLogins = std::move(logins);
    }
    FWake.SetEvent();
}

void TDeliveryWorker::Wake() {
    FWake.SetEvent();
}

void TDeliveryWorker::Stop() {
    FStopping = true;
    FWake.SetEvent();
    if (FThread.joinable()) {
        FThread.join();
    }
}

void TDeliveryWorker::Problem(const std::string& text) {
    if (!FFailing && FProblem) {
        try {
            FProblem(text);
        } catch (...) {
        }
    }
    FFailing = true;
}

void TDeliveryWorker::Tell(const TOutboxEntry& mail) const {
    if (FListener) {
        try {
            FListener(mail);
        } catch (...) {
        }
    }
}

void TDeliveryWorker::RecordAccepted() {
    while (!FAccepted.empty()) {
        TOutboxEntry& mail = FAccepted.begin()->second;
        FOutbox.EndAttempt(mail.Id, TDeliveryState::Sent, {});
        mail.State = TDeliveryState::Sent;
        mail.Reason.clear();
        const TOutboxEntry sent = std::move(mail);
        FAccepted.erase(FAccepted.begin());
        Tell(sent);
    }
}

void TDeliveryWorker::Execute() {
    while (!FStopping) {
        std::optional<std::int64_t> due;
        try {
            RecordAccepted();
            const std::int64_t now = UnixNow();
            if (now >= FNextPrune) {
                FNextPrune = now + PruneEverySeconds;
                FOutbox.Prune(now);
            }
            if (std::optional<TOutboxEntry> mail = FOutbox.NextDue(now, FSender)) {
                SendOne(*mail, now);
                FFailing = false;
                continue;
            }
            due = FOutbox.NextAttemptTime();
            FFailing = false;
        } catch (const std::exception& e) {
            Problem(std::string(e.what()) + (FAccepted.empty()
                                                 ? "; looking again in a minute"
                                                 : "; the server accepted the mail, and it is "
                                                   "not sent again: writing it down again soon"));
            due = UnixNow() + (FAccepted.empty() ? OutboxRetrySeconds : AcceptedRetrySeconds);
        }
        if (FStopping) {
            break;
        }
        const std::int64_t wait =
            due ? std::max<std::int64_t>(0, *due - UnixNow()) * 1000 : rtl::INFINITE;
        rtl::CurrentClock().WaitFor(FWake, wait);
    }
    // One more try before the process ends: a mail left claimed but unrecorded is sent again
    // by the next client, with its Message-ID, as after a crash.
    try {
        RecordAccepted();
    } catch (const std::exception& e) {
        Problem(e.what());
    }
}

TSendResult TDeliveryWorker::Deliver(const TOutboxEntry& entry) {
    TSmtpServer server;
    TLoginSource logins;
    {
        const std::lock_guard<std::mutex> lock(FLock);
        server = FServer;
        logins = FLogins;
    }
    if (entry.Target.empty()) {
        return SendMail(server, entry.Mail, &FStopping);
    }
    // Written before the file is visible under the name, so a crash after the rename finds it
    // delivered instead of copying it again; a failed write leaves it under its temporary name.
    const auto placing = [&](std::size_t index, const std::string& name) {
        FOutbox.SetPlaced(entry.Id, index, name);
    };
    return SendToTarget(entry, logins, placing, &FStopping);
}

void TDeliveryWorker::SendOne(TOutboxEntry& mail, std::int64_t now) {
    if (FAccepted.contains(mail.Id)) {
        return; // RecordAccepted writes it
    }
    if (!FOutbox.Claim(mail, FSender, now, now + LeaseSeconds)) {
        return; // another sender was first
    }
    ++mail.Attempts;
    mail.LastAttempt = now;
    const TSendResult result = Deliver(mail);
    mail.Reason = result.Reason;
    if (result.Status == TSendStatus::Sent) {
        // Known before it is written, so no failed write can make it be sent again.
        FAccepted.emplace(mail.Id, mail);
        RecordAccepted();
        return;
    }
    if (FStopping) {
        // Cut short by the stop: due again as soon as the worker runs again.
        FOutbox.EndAttempt(mail.Id, TDeliveryState::Queued, result.Reason, now);
        return;
    }
    mail.NextAttempt = 0;
    mail.State = TDeliveryState::Failed;
    if (result.Status == TSendStatus::Transient) {
        if (const std::optional<std::int64_t> next =
                FPolicy.NextAttempt(mail.Attempts, mail.Mail.Date, UnixNow())) {
            mail.State = TDeliveryState::Queued;
            mail.NextAttempt = *next;
        }
    }
    FOutbox.EndAttempt(mail.Id, mail.State, mail.Reason, mail.NextAttempt);
    Tell(mail);
}

} // namespace host
