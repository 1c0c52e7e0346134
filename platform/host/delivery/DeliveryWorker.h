// The one thread that delivers what the outbox holds, a mail through SMTP and a target's entry
// through its transport: the earliest due first, each claimed before it is delivered, a transient
// failure queued again by the retry policy, each attempt's end told to a listener. Time is the
// process's clock, so tests let the retries' minutes pass.
#pragma once

#include "platform/host/delivery/Outbox.h"
#include "platform/host/delivery/SmtpTransport.h"
#include "platform/host/delivery/TargetSend.h"
#include "platform/rtl/Events.h"

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace host {

class TDeliveryWorker {
public:
    // Called on the worker's thread after each attempt with the mail as the outbox now has it;
    // it must not block for long, and what it raises is swallowed.
    using TListener = std::function<void(const TOutboxEntry& mail)>;
    // Called on the worker's thread when the outbox cannot be read or written, once for each
    // streak of such failures, naming the file and the cause.
    using TProblemLog = std::function<void(const std::string& text)>;

    // How long a claim keeps other senders away from a mail; a sender of this machine that is
    // gone is taken over at once.
    static constexpr std::int64_t LeaseSeconds = 30 * 60;

    // The worker opens its own connection to the history file (raises EOutboxError).
    TDeliveryWorker(const std::string& historyFile, TSmtpServer server, TListener listener,
                    TRetryPolicy policy = {}, TProblemLog problem = {});
    // Stops: an attempt under way is cut short and its mail stays queued for the next start.
    ~TDeliveryWorker();
    TDeliveryWorker(const TDeliveryWorker&) = delete;
    TDeliveryWorker& operator=(const TDeliveryWorker&) = delete;

    // Takes effect from the next attempt.
    void SetServer(TSmtpServer server);
    // Where the targets' logins come from; none: each target logs in as its URL says.
    void SetLogins(TLoginSource logins);
    // Looks at the outbox again now (a mail was added, the settings changed).
    void Wake();
    void Stop();

private:
    void Execute();
    void SendOne(TOutboxEntry& mail, std::int64_t now);
    TSendResult Deliver(const TOutboxEntry& entry);
    // Writes "sent" for every mail the server accepted whose record failed so far; raises while
    // a write still fails.
    void RecordAccepted();
    void Tell(const TOutboxEntry& mail) const;
    void Problem(const std::string& text);

    TOutbox FOutbox;
    TListener FListener;
    TRetryPolicy FPolicy;
    TProblemLog FProblem;
    const std::string FSender = NewSenderName();
    std::mutex FLock;
    TSmtpServer FServer;  // under FLock
    TLoginSource FLogins; // under FLock
    rtl::TEvent FWake;
    std::atomic<bool> FStopping{false};
    // The worker's thread only: accepted by the server, not yet recorded as sent. Never sent
    // again while the process lives.
    std::map<std::int64_t, TOutboxEntry> FAccepted;
    bool FFailing = false;
    std::int64_t FNextPrune = 0;
    std::thread FThread;
};

} // namespace host
