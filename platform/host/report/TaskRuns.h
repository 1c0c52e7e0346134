// TTaskRuns: the one road of a task's run once it is over. The host owns it and lists it among
// its objects; each finished run is told once, as one record, to every listener on it (the log,
// the history, the failure notices, a plug-in's open window), and it hands out the run history.
#pragma once

#include "platform/host/core/HostObject.h"
#include "platform/host/history/RunHistory.h"

#include <functional>
#include <memory>
#include <vector>

namespace host {

class IQuorClient;
struct TMailOrder;

// The name a plug-in asks its client for (IQuorClient::GetObject).
inline constexpr const char* TaskRunsObjectName = "Tasks.Runs";

using TRunListener = std::function<void(const TRunRecord& run)>;

// What became of a run's mail, told as the delivery goes on: "Sent to 3 recipients",
// "Retrying at 06:45 (2): 421 ...", "Not delivered: 550 ...". A delivery that fails for good is
// also told as a failed run of its own.
struct TDeliveryNotice {
    std::string TaskId;
    rtl::TDateTime RunStarted = 0; // the run the mail belongs to; 0 when not known
    std::string Text;
    bool Failed = false; // it will not be delivered
    // The target it tells of, as the row names it; empty for the mail.
    std::string Channel{};
};
using TDeliveryListener = std::function<void(const TDeliveryNotice& notice)>;
// Whoever delivers the host's mail: it queues the order's mail, or tells the run it will not
// arrive.
using TMailTaker = std::function<void(const TMailOrder& order)>;

// A listener's place on the road: it listens while this lives. It may outlive the road.
class TRunSubscription {
public:
    TRunSubscription() = default;
    ~TRunSubscription() { Cancel(); }
    TRunSubscription(TRunSubscription&& other) noexcept = default;
    TRunSubscription& operator=(TRunSubscription&& other) noexcept;
    TRunSubscription(const TRunSubscription&) = delete;
    TRunSubscription& operator=(const TRunSubscription&) = delete;

    // Stops listening at once, also while a run is being told.
    void Cancel() noexcept;

private:
    friend class TTaskRuns;
    struct TListener;
    std::shared_ptr<TListener> FListener;
};

class TTaskRuns final : public THostObject {
public:
    TTaskRuns();
    ~TTaskRuns() override;

    // Listeners hear runs in the order they started listening. Main thread only.
    [[nodiscard]] TRunSubscription Listen(TRunListener listener);
    [[nodiscard]] TRunSubscription ListenDeliveries(TDeliveryListener listener);
    // Tells the run to every listener. What a listener raises is swallowed: no listener may
    // keep the others from hearing, nor reach the task.
    void Tell(const TRunRecord& run) noexcept;
    void TellDelivery(const TDeliveryNotice& notice) noexcept;
    // Hands the mail of a run to the host's mail delivery; what that raises is swallowed. False
    // when the host delivers no mail.
    bool Mail(const TMailOrder& order) noexcept;
    // The host's mail delivery; an empty function: none. Main thread only, as the runs are.
    void SetMailTaker(TMailTaker taker) { FMailTaker = std::move(taker); }

    // The run history the host keeps, while it keeps one; nullptr otherwise.
    TRunHistory* History() const noexcept { return FHistory ? FHistory() : nullptr; }
    // The host's history, asked for each time it is needed, so it is never handed out after
    // its owner closed it.
    void SetHistory(std::function<TRunHistory*()> owner) { FHistory = std::move(owner); }

private:
    TRunSubscription Add(TRunListener run, TDeliveryListener delivery);
    template <typename TCall> void TellEach(const TCall& call) noexcept;

    std::vector<std::shared_ptr<TRunSubscription::TListener>> FListeners;
    std::function<TRunHistory*()> FHistory;
    TMailTaker FMailTaker;
};

// The road of the plug-in's client, or nullptr when its host offers none.
TTaskRuns* TaskRunsOf(IQuorClient& client);

} // namespace host
