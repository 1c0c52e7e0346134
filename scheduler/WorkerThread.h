// TWorkerThread: runs one delivery of a scheduled event on a thread of its own, then frees
// itself. Deliveries may overlap; the event is not freed while one is inside.
#pragma once

#include "platform/rtl/DateUtils.h"
#include "platform/rtl/Threads.h"

#include <memory>

namespace morvid {

class TEventLink;

class TWorkerThread : public rtl::TThread {
public:
    TWorkerThread(std::shared_ptr<TEventLink> event, rtl::TDateTime due);

protected:
    void Execute() override;

private:
    std::shared_ptr<TEventLink> FEvent;
    rtl::TDateTime FDue;
};

} // namespace morvid
