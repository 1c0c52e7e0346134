#include "scheduler/WorkerThread.h"

#include "scheduler/ScheduledEvent.h"

namespace morvid {

TWorkerThread::TWorkerThread(std::shared_ptr<TEventLink> event, rtl::TDateTime due)
    : FEvent(std::move(event)), FDue(due) {
    FreeOnTerminate = true;
}

void TWorkerThread::Execute() {
    FEvent->With([this](TScheduledEvent& event) { event.DoSchedule(FDue); });
}

} // namespace morvid
