#include "scheduler/SchEventList.h"

namespace morvid {

TSchEventList::~TSchEventList() {
    Clear();
}

TScheduledEvent* TSchEventList::Add(const std::string& name) {
    FItems.push_back(std::make_unique<TScheduledEvent>(name));
    TScheduledEvent* event = FItems.back().get();
    if (OnAdd)
        OnAdd(this, event);
    return event;
}

int TSchEventList::IndexOf(const TScheduledEvent* event) const noexcept {
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == event)
            return static_cast<int>(i);
    return -1;
}

int TSchEventList::Remove(TScheduledEvent* event) {
    const int index = IndexOf(event);
    if (index >= 0)
        Delete(index);
    return index;
}

void TSchEventList::Delete(int index) {
    // Out of the list first: the notice and the event's own Stop see a consistent list.
    std::unique_ptr<TScheduledEvent> event = std::move(FItems.at(static_cast<std::size_t>(index)));
    FItems.erase(FItems.begin() + index);
    if (OnDelete)
        OnDelete(this, event.get());
}

void TSchEventList::Clear() {
    while (!FItems.empty())
        Delete(Count() - 1);
}

} // namespace morvid
