// TWorkerThread: runs one delivery of a scheduled event on a thread of its own, then frees
// itself. Deliveries may overlap; the event is not freed while one is inside.
#pragma once

#include "platform/rtl/Threads.h"

#include <memory>

namespace morvid {

class TEventLink;

class TWorkerThread : public rtl::TThread {
public:
    explicit TWorkerThread(std::shared_ptr<TEventLink> event);

protected:
    void Execute() override;

private:
    std::shared_ptr<TEventLink> FEvent;
};

} // namespace morvid
