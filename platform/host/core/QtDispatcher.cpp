#include "platform/host/core/QtDispatcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QtGlobal>

namespace host {

namespace {

const QEvent::Type JobEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class TJobEvent final : public QEvent {
public:
    explicit TJobEvent(std::function<void()> job) : QEvent(JobEventType), Job(std::move(job)) {}
    std::function<void()> Job;
};

} // namespace

// Lives on the dispatcher's thread; Qt hands it the posted jobs there, in posting order.
class TQtJobReceiver final : public QObject {
public:
    explicit TQtJobReceiver(TQtDispatcher& owner) : FOwner(owner) {}

    bool event(QEvent* event) override {
        if (event->type() != JobEventType) {
            return QObject::event(event);
        }
        auto* jobEvent = static_cast<TJobEvent*>(event);
        try {
            if (jobEvent->Job) {
                jobEvent->Job();
            }
        } catch (...) {
            FOwner.HandleException(std::current_exception());
        }
        return true;
    }

private:
    TQtDispatcher& FOwner;
};

TQtDispatcher::TQtDispatcher() : FReceiver(new TQtJobReceiver(*this)) {}

TQtDispatcher::~TQtDispatcher() {
    QObject* receiver = nullptr;
    {
        std::lock_guard<std::mutex> guard(FLock);
        receiver = FReceiver;
        FReceiver = nullptr;
    }
    // Qt removes and frees the events still posted to it.
    delete receiver;
}

void TQtDispatcher::Post(std::function<void()> job) {
    auto event = std::make_unique<TJobEvent>(std::move(job));
    std::lock_guard<std::mutex> guard(FLock);
    if (FReceiver != nullptr) {
        QCoreApplication::postEvent(FReceiver, event.release());
    }
}

void TQtDispatcher::ProcessMessages() {
    QCoreApplication::processEvents();
}

void TQtDispatcher::HandleException(std::exception_ptr error) noexcept {
    try {
        if (OnException) {
            OnException(error);
            return;
        }
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        qWarning("Unhandled error in a posted job: %s", e.what());
    } catch (...) {
        qWarning("Unhandled error in a posted job");
    }
}

TQtDispatcherInstaller::TQtDispatcherInstaller()
    : FDispatcher(std::make_unique<TQtDispatcher>()), FPreviousMain(rtl::MainDispatcher()),
      FPreviousThread(rtl::ThreadDispatcher()) {
    rtl::SetMainDispatcher(FDispatcher.get());
    rtl::SetThreadDispatcher(FDispatcher.get());
}

TQtDispatcherInstaller::~TQtDispatcherInstaller() {
    rtl::SetThreadDispatcher(FPreviousThread);
    rtl::SetMainDispatcher(FPreviousMain);
}

} // namespace host
