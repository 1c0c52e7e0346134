#include "platform/host/report/TaskRuns.h"

#include "platform/host/core/QuorClient.h"

#include <algorithm>

namespace host {

struct TRunSubscription::TListener {
    TRunListener Call;
    bool Active = true;
};

TRunSubscription& TRunSubscription::operator=(TRunSubscription&& other) noexcept {
    if (this != &other) {
        Cancel();
        FListener = std::move(other.FListener);
    }
    return *this;
}

void TRunSubscription::Cancel() noexcept {
    if (FListener) {
        FListener->Active = false;
        FListener.reset();
    }
}

TTaskRuns::TTaskRuns() = default;

TTaskRuns::~TTaskRuns() = default;

TRunSubscription TTaskRuns::Listen(TRunListener listener) {
    // Listeners that stopped are dropped here rather than while a run is being told.
    std::erase_if(FListeners, [](const auto& entry) { return !entry->Active; });
    TRunSubscription subscription;
    subscription.FListener = std::make_shared<TRunSubscription::TListener>(
        TRunSubscription::TListener{std::move(listener), true});
    FListeners.push_back(subscription.FListener);
    return subscription;
}

void TTaskRuns::Tell(const TRunRecord& run) noexcept {
    // A copy: a listener may start or stop listening while it hears the run.
    const auto listeners = FListeners;
    for (const auto& listener : listeners) {
        if (!listener->Active || !listener->Call) {
            continue;
        }
        try {
            listener->Call(run);
        } catch (...) {
        }
    }
}

TTaskRuns* TaskRunsOf(IQuorClient& client) {
    return dynamic_cast<TTaskRuns*>(client.GetObject(TaskRunsObjectName));
}

} // namespace host
