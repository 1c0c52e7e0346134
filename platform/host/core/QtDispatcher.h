// TQtDispatcher: delivers the runtime's posted jobs and window messages through Qt's event
// loop, so scheduler threads reach the client's main thread while Qt runs it.
#pragma once

#include "platform/host/core/Export.h"
#include "platform/rtl/Messages.h"

#include <exception>
#include <functional>
#include <memory>
#include <mutex>

class QObject;

namespace host {

class QUOR_EXPORT TQtDispatcher final : public rtl::TDispatcher {
public:
    // Serves the calling thread, whose Qt event loop runs the jobs: the main thread, or a
    // QThread. Destroy it on that thread; jobs still queued are then dropped unrun.
    TQtDispatcher();
    ~TQtDispatcher() override;
    TQtDispatcher(const TQtDispatcher&) = delete;
    TQtDispatcher& operator=(const TQtDispatcher&) = delete;

    // Thread-safe. After the dispatcher is gone the job is dropped.
    void Post(std::function<void()> job) override;
    // QCoreApplication::processEvents on the calling thread.
    void ProcessMessages() override;

    // Receives what a job raises: Qt's event loop cannot carry exceptions, and one failing
    // job must not take the following ones with it. Without a handler it goes to qWarning.
    std::function<void(std::exception_ptr)> OnException;

private:
    friend class TQtJobReceiver;
    void HandleException(std::exception_ptr error) noexcept;

    std::mutex FLock; // guards FReceiver against Post from other threads during destruction
    QObject* FReceiver;
};

// Installs a TQtDispatcher as the main and the calling thread's dispatcher for its lifetime,
// and puts back what was installed before. Made on the main thread once Qt's application
// object exists.
class QUOR_EXPORT TQtDispatcherInstaller {
public:
    TQtDispatcherInstaller();
    ~TQtDispatcherInstaller();
    TQtDispatcherInstaller(const TQtDispatcherInstaller&) = delete;
    TQtDispatcherInstaller& operator=(const TQtDispatcherInstaller&) = delete;

    TQtDispatcher& Dispatcher() noexcept { return *FDispatcher; }

private:
    std::unique_ptr<TQtDispatcher> FDispatcher;
    rtl::TDispatcher* FPreviousMain;
    rtl::TDispatcher* FPreviousThread;
};

} // namespace host
