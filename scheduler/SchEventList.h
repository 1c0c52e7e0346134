// TSchEventList: the owning list of scheduled events. Removing an event, clearing the list or
// freeing it stops and frees the events concerned.
#pragma once

#include "scheduler/ScheduledEvent.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace morvid {

class TSchEventList {
public:
    using TEventNotify = std::function<void(TSchEventList* sender, TScheduledEvent* event)>;

    TSchEventList() = default;
    ~TSchEventList();
    TSchEventList(const TSchEventList&) = delete;
    TSchEventList& operator=(const TSchEventList&) = delete;

    // Creates an event of that name, appends it (the list owns it), then OnAdd.
    TScheduledEvent* Add(const std::string& name);
    // Deletes the entry: OnDelete, then the event is stopped and freed. Returns its former
    // index, or -1 when the list does not hold it (nothing happens then).
    int Remove(TScheduledEvent* event);
    void Delete(int index);
    void Clear();
    int IndexOf(const TScheduledEvent* event) const noexcept;

    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    TScheduledEvent* Items(int index) const {
        return FItems.at(static_cast<std::size_t>(index)).get();
    }

    TEventNotify OnAdd;
    TEventNotify OnDelete;

private:
    std::vector<std::unique_ptr<TScheduledEvent>> FItems;
};

} // namespace morvid
