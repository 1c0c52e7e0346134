#include "scheduler/WorkerThread.h"

#include "scheduler/ScheduledEvent.h"

namespace morvid {

TWorkerThread::TWorkerThread(std::shared_ptr<TEventLink> event) : FEvent(std::move(event)) {
    FreeOnTerminate = true;
}

void TWorkerThread::Execute() {
    FEvent->With([](TScheduledEvent& event) { event.DoSchedule(); });
}

} // namespace morvid
