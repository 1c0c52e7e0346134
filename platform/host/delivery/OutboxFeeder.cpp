#include "platform/host/delivery/OutboxFeeder.h"

namespace host {

TOutboxFeeder::TOutboxFeeder(const std::string& historyFile, std::function<void()> written,
                             TFault fault)
    : FOutbox(historyFile), FWritten(std::move(written)), FFault(std::move(fault)) {
    FThread = std::thread([this] { Execute(); });
}

TOutboxFeeder::~TOutboxFeeder() {
    {
        const std::lock_guard<std::mutex> lock(FLock);
        FStopping = true;
    }
    FChanged.notify_one();
    FThread.join();
}

void TOutboxFeeder::Add(std::vector<TOutboxEntry> entries) {
    {
        const std::lock_guard<std::mutex> lock(FLock);
        FPending.push_back(std::move(entries));
    }
    FChanged.notify_one();
}

void TOutboxFeeder::Execute() {
    for (;;) {
        std::vector<TOutboxEntry> entries;
        {
            std::unique_lock<std::mutex> lock(FLock);
            FChanged.wait(lock, [this] { return FStopping || !FPending.empty(); });
            if (FPending.empty()) {
                return;
            }
            entries = std::move(FPending.front());
            FPending.pop_front();
        }
        for (TOutboxEntry& entry : entries) {
            try {
                FOutbox.Add(entry);
            } catch (const std::exception& e) {
                try {
                    if (FFault) {
                        FFault(entry, e.what());
                    }
                } catch (...) {
                    // A listener's fault must not end the thread that later entries need.
                }
            }
        }
        if (FWritten) {
            FWritten();
        }
    }
}

} // namespace host
