#include "platform/host/delivery/DeliveryWorker.h"

#include <chrono>
#include <ctime>

namespace host {

namespace {

std::int64_t UnixNow() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

} // namespace

TDeliveryWorker::TDeliveryWorker(const std::string& historyFile, TSmtpServer server,
                                 TListener listener, TRetryPolicy policy)
    : FOutbox(historyFile), FListener(std::move(listener)), FPolicy(std::move(policy)),
      FServer(std::move(server)) {
    FThread = std::thread([this] { Execute(); });
}

TDeliveryWorker::~TDeliveryWorker() {
    Stop();
}

void TDeliveryWorker::SetServer(TSmtpServer server) {
    {
        const std::lock_guard<std::mutex> lock(FLock);
        FServer = std::move(server);
        FWoken = true;
    }
    FChanged.notify_one();
}

void TDeliveryWorker::Wake() {
    {
        const std::lock_guard<std::mutex> lock(FLock);
        FWoken = true;
    }
    FChanged.notify_one();
}

void TDeliveryWorker::Stop() {
    {
        const std::lock_guard<std::mutex> lock(FLock);
        FStopping = true;
    }
    FChanged.notify_one();
    if (FThread.joinable()) {
        FThread.join();
    }
}

void TDeliveryWorker::Execute() {
    while (!FStopping) {
        std::optional<std::int64_t> due;
        try {
            const std::int64_t now = UnixNow();
            if (std::optional<TOutboxMail> mail = FOutbox.NextDue(now)) {
                SendOne(*mail, now);
                continue;
            }
            due = FOutbox.NextAttemptTime();
        } catch (const std::exception&) {
            // The history file is busy or failing: look again in a minute rather than spin.
            due = UnixNow() + 60;
        }
        std::unique_lock<std::mutex> lock(FLock);
        const auto wake = [this] { return FWoken || FStopping; };
        if (due) {
            const auto until =
                std::chrono::system_clock::from_time_t(static_cast<std::time_t>(*due));
            FChanged.wait_until(lock, until, wake);
        } else {
            FChanged.wait(lock, wake);
        }
        FWoken = false;
    }
}

void TDeliveryWorker::SendOne(TOutboxMail& mail, std::int64_t now) {
    TSmtpServer server;
    {
        const std::lock_guard<std::mutex> lock(FLock);
        server = FServer;
    }
    FOutbox.BeginAttempt(mail.Id, now);
    const TSendResult result = SendMail(server, mail.Mail, &FStopping);
    if (result.Status == TSendStatus::Sent) {
        FOutbox.EndAttempt(mail.Id, TDeliveryState::Sent, {});
    } else if (FStopping) {
        // Cut short by the stop: due again as soon as the worker runs again.
        FOutbox.EndAttempt(mail.Id, TDeliveryState::Queued, result.Reason, now);
        return;
    } else if (result.Status == TSendStatus::Transient) {
        const std::optional<std::int64_t> next =
            FPolicy.NextAttempt(mail.Attempts + 1, mail.Mail.Date, UnixNow());
        FOutbox.EndAttempt(mail.Id, next ? TDeliveryState::Queued : TDeliveryState::Failed,
                           result.Reason, next.value_or(0));
    } else {
        FOutbox.EndAttempt(mail.Id, TDeliveryState::Failed, result.Reason);
    }
    if (FListener) {
        try {
            if (const std::optional<TOutboxMail> ended = FOutbox.Find(mail.Id)) {
                FListener(*ended);
            }
        } catch (...) {
        }
    }
}

} // namespace host
