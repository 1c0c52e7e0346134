// The one thread that sends what the outbox holds: the earliest due mail first, a transient
// failure queued again by the retry policy, each attempt's end told to a listener.
#pragma once

#include "platform/host/delivery/Outbox.h"
#include "platform/host/delivery/SmtpTransport.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace host {

class TDeliveryWorker {
public:
    // Called on the worker's thread after each attempt with the mail as the outbox now has it;
    // it must not block for long, and what it raises is swallowed.
    using TListener = std::function<void(const TOutboxMail& mail)>;
    // The worker opens its own connection to the history file (raises EOutboxError).
    TDeliveryWorker(const std::string& historyFile, TSmtpServer server, TListener listener,
                    TRetryPolicy policy = {});
    // Stops: an attempt under way is cut short and its mail stays queued for the next start.
    ~TDeliveryWorker();
    TDeliveryWorker(const TDeliveryWorker&) = delete;
    TDeliveryWorker& operator=(const TDeliveryWorker&) = delete;

    // Takes effect from the next attempt.
    void SetServer(TSmtpServer server);
    // Looks at the outbox again now (a mail was added, the settings changed).
    void Wake();
    void Stop();

private:
    void Execute();
    void SendOne(TOutboxMail& mail, std::int64_t now);

    TOutbox FOutbox;
    TListener FListener;
    TRetryPolicy FPolicy;
    std::mutex FLock;
    std::condition_variable FChanged;
    TSmtpServer FServer; // under FLock
    bool FWoken = false; // under FLock
    std::atomic<bool> FStopping{false};
    std::thread FThread;
};

} // namespace host
