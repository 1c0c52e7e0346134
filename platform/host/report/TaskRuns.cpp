#include "platform/host/report/TaskRuns.h"

#include "platform/host/core/QuorClient.h"

#include <algorithm>

namespace host {

struct TRunSubscription::TListener {
    TRunListener Call;
    TDeliveryListener Delivery;
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

TRunSubscription TTaskRuns::Add(TRunListener run, TDeliveryListener delivery) {
    // Listeners that stopped are dropped here rather than while a run is being told.
    std::erase_if(FListeners, [](const auto& entry) { return !entry->Active; });
    TRunSubscription subscription;
    subscription.FListener = std::make_shared<TRunSubscription::TListener>(
        TRunSubscription::TListener{std::move(run), std::move(delivery), true});
    FListeners.push_back(subscription.FListener);
    return subscription;
}

TRunSubscription TTaskRuns::Listen(TRunListener listener) {
    return Add(std::move(listener), {});
}

TRunSubscription TTaskRuns::ListenDeliveries(TDeliveryListener listener) {
    return Add({}, std::move(listener));
}

template <typename TCall> void TTaskRuns::TellEach(const TCall& call) noexcept {
    // A copy: a listener may start or stop listening while it hears the run.
    const auto listeners = FListeners;
    for (const auto& listener : listeners) {
        if (!listener->Active) {
            continue;
        }
        try {
            call(*listener);
        } catch (...) {
        }
    }
}

void TTaskRuns::Tell(const TRunRecord& run) noexcept {
    TellEach([&](const TRunSubscription::TListener& listener) {
        if (listener.Call) {
            listener.Call(run);
        }
    });
}

bool TTaskRuns::Mail(const TMailOrder& order) noexcept {
    if (!FMailTaker) {
        return false;
    }
    try {
        FMailTaker(order);
    } catch (...) {
    }
    return true;
}

void TTaskRuns::TellDelivery(const TDeliveryNotice& notice) noexcept {
    TellEach([&](const TRunSubscription::TListener& listener) {
        if (listener.Delivery) {
            listener.Delivery(notice);
        }
    });
}

TTaskRuns* TaskRunsOf(IQuorClient& client) {
    return dynamic_cast<TTaskRuns*>(client.GetObject(TaskRunsObjectName));
}

} // namespace host
