#include "platform/host/core/QtDispatcher.h"

#include "platform/rtl/Messages.h"
#include "platform/rtl/Threads.h"

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace host {
namespace {

// The dispatcher needs no widgets: a plain QCoreApplication, as a headless client has.
class TCoreApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { FApp = std::make_unique<QCoreApplication>(FArgc, FArgv); }
    void TearDown() override { FApp.reset(); }

private:
    int FArgc = 1;
    char FName[16] = "dispatcher-test";
    char* FArgv[2] = {FName, nullptr};
    std::unique_ptr<QCoreApplication> FApp;
};

::testing::Environment* const coreApplication =
    ::testing::AddGlobalTestEnvironment(new TCoreApplicationEnvironment);

// Runs Qt's event loop until something calls quit, or fails the test after a generous limit.
bool RunEventLoop() {
    bool timedOut = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        timedOut = true;
        QCoreApplication::quit();
    });
    guard.start(60000);
    QCoreApplication::exec();
    return !timedOut;
}

// Each poster thread sends its numbers 0..n-1; delivery must keep every thread's order.
struct TDelivery {
    int Thread;
    int Sequence;
    bool OnMain;
};

TEST(QtDispatcher, DeliversFromManyThreadsIntoTheEventLoop) {
    constexpr int threadCount = 8;
    constexpr int perThread = 400;
    enum TRoute { viaMainDispatcher, viaMessageWindow };

    for (TRoute route : {viaMainDispatcher, viaMessageWindow}) {
        SCOPED_TRACE(route == viaMainDispatcher ? "main dispatcher" : "message window");
        TQtDispatcherInstaller installer;
        const auto mainThread = std::this_thread::get_id();
        std::vector<TDelivery> deliveries;
        auto deliver = [&](int thread, int sequence) {
            deliveries.push_back({thread, sequence, std::this_thread::get_id() == mainThread});
            if (deliveries.size() == threadCount * perThread) {
                QCoreApplication::quit();
            }
        };
        rtl::HWND wnd = rtl::AllocateHWnd([&](rtl::TMessage& message) {
            deliver(static_cast<int>(message.WParam), static_cast<int>(message.LParam));
        });
        ASSERT_NE(wnd, nullptr);

        std::atomic<int> refused{0};
        std::vector<std::thread> posters;
        for (int t = 0; t < threadCount; ++t) {
            posters.emplace_back([&, t] {
                for (int i = 0; i < perThread; ++i) {
                    if (route == viaMainDispatcher) {
                        rtl::MainDispatcher()->Post([&deliver, t, i] { deliver(t, i); });
                    } else if (!rtl::PostMessage(wnd, rtl::WM_USER + 1, rtl::WPARAM(t), i)) {
                        ++refused;
                    }
                }
            });
        }
        const bool finished = RunEventLoop();
        for (std::thread& poster : posters) {
            poster.join();
        }
        rtl::DeallocateHWnd(wnd);

        ASSERT_TRUE(finished) << deliveries.size() << " of " << threadCount * perThread;
        EXPECT_EQ(refused.load(), 0);
        std::vector<int> next(threadCount, 0);
        for (const TDelivery& d : deliveries) {
            EXPECT_TRUE(d.OnMain);
            EXPECT_EQ(d.Sequence, next[std::size_t(d.Thread)]) << "thread " << d.Thread;
            next[std::size_t(d.Thread)] = d.Sequence + 1;
        }
    }
}

TEST(QtDispatcher, MessagesQueuedForADestroyedWindowAreDropped) {
    TQtDispatcherInstaller installer;
    int delivered = 0;
    rtl::HWND doomed = rtl::AllocateHWnd([&](rtl::TMessage&) { ++delivered; });
    int survivorDelivered = 0;
    rtl::HWND survivor = rtl::AllocateHWnd([&](rtl::TMessage&) { ++survivorDelivered; });

    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t) {
        posters.emplace_back([&] {
            for (int i = 0; i < 100; ++i) {
                rtl::PostMessage(doomed, rtl::WM_USER + 1, 0, 0);
                rtl::PostMessage(survivor, rtl::WM_USER + 1, 0, 0);
            }
        });
    }
    for (std::thread& poster : posters) {
        poster.join();
    }
    rtl::DeallocateHWnd(doomed);
    EXPECT_FALSE(rtl::PostMessage(doomed, rtl::WM_USER + 1, 0, 0));
    // Posted after everything above, so it runs after it.
    installer.Dispatcher().Post([] { QCoreApplication::quit(); });
    ASSERT_TRUE(RunEventLoop());

    EXPECT_EQ(delivered, 0);
    EXPECT_EQ(survivorDelivered, 400);
    rtl::DeallocateHWnd(survivor);
}

TEST(QtDispatcher, SynchronizeAndTheEndNoticeRunOnTheMainThread) {
    TQtDispatcherInstaller installer;
    const auto mainThread = std::this_thread::get_id();

    class TWorker : public rtl::TThread {
    public:
        std::thread::id SyncThread;
        bool SyncRan = false;

    protected:
        void Execute() override {
            SyncRan = Synchronize([this] { SyncThread = std::this_thread::get_id(); });
        }
    };
    auto worker = std::make_shared<TWorker>();
    std::thread::id noticeThread;
    worker->OnTerminate = [&](rtl::TThread*) {
        noticeThread = std::this_thread::get_id();
        QCoreApplication::quit();
    };
    worker->Start();
    ASSERT_TRUE(RunEventLoop());
    ASSERT_TRUE(worker->WaitFor(10000));
    EXPECT_TRUE(worker->SyncRan);
    EXPECT_EQ(worker->SyncThread, mainThread);
    EXPECT_EQ(noticeThread, mainThread);
}

TEST(QtDispatcher, ProcessMessagesRunsWhatIsQueued) {
    TQtDispatcherInstaller installer;
    std::vector<int> ran;
    std::thread([&] {
        for (int i = 0; i < 3; ++i) {
            rtl::MainDispatcher()->Post([&ran, i] { ran.push_back(i); });
        }
    }).join();
    EXPECT_TRUE(ran.empty()); // nothing runs before the main thread processes messages
    rtl::ProcessMessages();
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));
}

TEST(QtDispatcher, JobsStillQueuedWhenItGoesAreDroppedAndFreed) {
    auto dispatcher = std::make_unique<TQtDispatcher>();
    auto token = std::make_shared<int>(0);
    bool ran = false;
    dispatcher->Post([token, &ran] { ran = true; });
    EXPECT_EQ(token.use_count(), 2);
    dispatcher.reset();
    EXPECT_EQ(token.use_count(), 1);
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

TEST(QtDispatcher, AFailingJobDoesNotStopTheOthers) {
    TQtDispatcher dispatcher;
    std::vector<std::string> seen;
    dispatcher.OnException = [&](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            seen.push_back(std::string("error ") + e.what());
        } catch (...) {
            seen.push_back("unknown error");
        }
    };
    dispatcher.Post([] { throw std::runtime_error("first"); });
    dispatcher.Post([&] { seen.push_back("second"); });
    dispatcher.Post([] { throw 42; });
    dispatcher.Post({}); // an empty job is skipped
    dispatcher.Post([&] { seen.push_back("last"); });
    dispatcher.ProcessMessages();
    EXPECT_EQ(seen, (std::vector<std::string>{"error first", "second", "unknown error", "last"}));

    // Without a handler the error is only reported.
    dispatcher.OnException = nullptr;
    dispatcher.Post([] { throw std::runtime_error("unhandled"); });
    dispatcher.Post([&] { seen.push_back("after"); });
    dispatcher.ProcessMessages();
    EXPECT_EQ(seen.back(), "after");
}

TEST(QtDispatcherInstaller, PutsBackWhatWasInstalledBefore) {
    rtl::TQueueDispatcher previous;
    rtl::SetMainDispatcher(&previous);
    rtl::SetThreadDispatcher(&previous);
    {
        TQtDispatcherInstaller installer;
        EXPECT_EQ(rtl::MainDispatcher(), &installer.Dispatcher());
        EXPECT_EQ(rtl::ThreadDispatcher(), &installer.Dispatcher());
        // Another thread has a dispatcher of its own, not the main one.
        rtl::TDispatcher* seenThere = &previous;
        std::thread([&] { seenThere = rtl::ThreadDispatcher(); }).join();
        EXPECT_EQ(seenThere, nullptr);
    }
    EXPECT_EQ(rtl::MainDispatcher(), &previous);
    EXPECT_EQ(rtl::ThreadDispatcher(), &previous);
    rtl::SetMainDispatcher(nullptr);
    rtl::SetThreadDispatcher(nullptr);
}

} // namespace
} // namespace host
