#include "scheduler/SchEventList.h"
#include "tests/scheduler/EngineFixture.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace morvid::test {
namespace {

class ScheduledEventTest : public EngineFixture {};

TEST_F(ScheduledEventTest, AFreshEventIsStoppedWithTheMessageKind) {
    TScheduledEvent fresh("New task");
    EXPECT_EQ(fresh.Name, "New task");
    EXPECT_EQ(fresh.SignalingType(), stMessage);
    EXPECT_EQ(fresh.RunCount, 0);
    EXPECT_EQ(fresh.MaxRunCount, 0);
    EXPECT_FALSE(fresh.Running);
    EXPECT_EQ(fresh.Thread(), nullptr);
    EXPECT_EQ(fresh.MsgWindow(), nullptr);
    EXPECT_EQ(fresh.StopEvent(), nullptr);
}

TEST_F(ScheduledEventTest, StartWithoutAFurtherOccurrenceDoesNothing) {
    int started = 0;
    MakeEvent("0 0 12 1 6 * 2025");
    auto reset = ResetEventAtExit();
    event->OnStart = [&](TScheduledEvent*) { ++started; };
    EXPECT_FALSE(event->Start(false));
    EXPECT_FALSE(event->Running);
    EXPECT_EQ(started, 0);
    EXPECT_EQ(event->Thread(), nullptr);
    EXPECT_EQ(event->MsgWindow(), nullptr);
}

TEST_F(ScheduledEventTest, StartAndStopArmAndDisarmWithTheirNotices) {
    struct TCase {
        TSignalingType Kind;
        bool Window;
    };
    for (const TCase c :
         {TCase{stMessage, true}, TCase{stSynchronize, false}, TCase{stWorkerThread, false}}) {
        SCOPED_TRACE(static_cast<int>(c.Kind));
        std::vector<std::string> notices;
        MakeEvent("0 * * * * * *", c.Kind);
        auto reset = ResetEventAtExit();
        event->OnStart = [&](TScheduledEvent* sender) {
            EXPECT_EQ(sender, event.get());
            notices.push_back("start");
        };
        event->OnStop = [&](TScheduledEvent*) { notices.push_back("stop"); };
        event->Stop(); // stopped: nothing, no notice
        EXPECT_TRUE(notices.empty());
        ASSERT_TRUE(event->Start(false));
        EXPECT_TRUE(event->Running);
        EXPECT_NE(event->Thread(), nullptr);
        EXPECT_NE(event->StopEvent(), nullptr);
        EXPECT_EQ(event->MsgWindow() != nullptr, c.Window);
        const rtl::HWND window = event->MsgWindow();
        event->Stop();
        EXPECT_FALSE(event->Running);
        EXPECT_EQ(event->Thread(), nullptr);
        EXPECT_EQ(event->StopEvent(), nullptr);
        EXPECT_EQ(event->MsgWindow(), nullptr);
        if (window != nullptr) {
            EXPECT_FALSE(rtl::PostMessage(window, WM_SCHEDULE, 0, 0));
        }
        event->Stop();
        EXPECT_EQ(notices, (std::vector<std::string>{"start", "stop"}));
    }
}

TEST_F(ScheduledEventTest, TheKindCannotChangeWhileRunning) {
    MakeEvent("0 * * * * * *", stSynchronize);
    ASSERT_TRUE(event->Start(false));
    for (TSignalingType kind : {stWorkerThread, stSynchronize, stMessage}) {
        try {
            event->SetSignalingType(kind);
            ADD_FAILURE() << "no exception";
        } catch (const rtl::Exception& error) {
            EXPECT_EQ(error.Message(), "Cannot change signaling type while running");
        }
        EXPECT_EQ(event->SignalingType(), stSynchronize);
    }
    event->Stop();
    event->SetSignalingType(stWorkerThread);
    EXPECT_EQ(event->SignalingType(), stWorkerThread);
}

TEST_F(ScheduledEventTest, EachKindDeliversOnItsThread) {
    struct TCase {
        TSignalingType Kind;
        bool OnMain;
    };
    const auto mainId = std::this_thread::get_id();
    for (const TCase c :
         {TCase{stMessage, true}, TCase{stSynchronize, true}, TCase{stWorkerThread, false}}) {
        SCOPED_TRACE(static_cast<int>(c.Kind));
        std::atomic<int> calls{0};
        std::thread::id ranOn;
        MakeEvent("0 * * * * * *", c.Kind);
        auto reset = ResetEventAtExit();
        event->OnSchedule = [&](TScheduledEvent* sender) {
            EXPECT_EQ(sender, event.get());
            ranOn = std::this_thread::get_id();
            ++calls;
        };
        ASSERT_TRUE(event->Start(false));
        ASSERT_TRUE(ElapseUntil([&] { return calls.load() == 1; }));
        EXPECT_EQ(ranOn == mainId, c.OnMain);
        EXPECT_EQ(event->RunCount, 1);
        event.reset();
    }
}

TEST_F(ScheduledEventTest, MaxRunCountStopsTheEventAndIsNotReset) {
    std::vector<std::string> notices;
    MakeEvent("0 * * * * * *");
    auto reset = ResetEventAtExit();
    event->MaxRunCount = 2;
    event->OnSchedule = [&](TScheduledEvent*) { notices.push_back("schedule"); };
    event->OnMaxRunCount = [&](TScheduledEvent*) { notices.push_back("max"); };
    event->OnStop = [&](TScheduledEvent*) { notices.push_back("stop"); };
    event->OnFinished = [&](TScheduledEvent*) { notices.push_back("finished"); };
    ASSERT_TRUE(event->Start(false));
    ASSERT_TRUE(ElapseUntil([&] { return !event->Running; }));
    mainQueue.ProcessMessages();
    EXPECT_EQ(notices, (std::vector<std::string>{"schedule", "schedule", "max", "stop"}));
    EXPECT_EQ(event->RunCount, 2);
    event->DoSchedule(); // a delivery arriving late does nothing
    EXPECT_EQ(event->RunCount, 2);

    // Started again, the count is still at the limit: the handler is never called.
    notices.clear();
    ASSERT_TRUE(event->Start(false));
    ASSERT_TRUE(ElapseUntil([&] { return clock.PerformanceCounter() > 5 * 60'000; }));
    EXPECT_TRUE(notices.empty());
    event->MaxRunCount = 0;
    const std::int64_t before = clock.PerformanceCounter();
    ASSERT_TRUE(ElapseUntil([&] { return notices.size() == 1; }));
    EXPECT_LE(clock.PerformanceCounter() - before, 60'150);
}

TEST_F(ScheduledEventTest, ARequestedStopCallsNeitherOnFinishedNorOnExpired) {
    int ends = 0;
    MakeEvent("0 0 12 1 6 * 2026"); // one occurrence left
    auto reset = ResetEventAtExit();
    event->OnFinished = [&](TScheduledEvent*) { ++ends; };
    event->OnExpired = [&](TScheduledEvent*) { ++ends; };
    ASSERT_TRUE(event->Start(false));
    // Let the thread end by itself, but stop before its end notice reaches the main thread.
    while (!event->Thread()->Finished()) {
        if (clock.AwaitWait(10))
            clock.Elapse();
    }
    EXPECT_EQ(event->Schedule->State, ssLastRun);
    event->Stop();
    mainQueue.ProcessMessages();
    EXPECT_EQ(ends, 0);
}

TEST_F(ScheduledEventTest, MessagesStillQueuedAtStopAreDropped) {
    MakeEvent("0 * * * * * *");
    ASSERT_TRUE(event->Start(true)); // the first pass posts at once
    ASSERT_TRUE(clock.AwaitWait());  // posted, and waiting again
    ASSERT_GE(mainQueue.Pending(), 1u);
    event->Stop();
    mainQueue.ProcessMessages();
    EXPECT_TRUE(delivered.empty());
    EXPECT_EQ(event->RunCount, 0);
}

TEST_F(ScheduledEventTest, StartWithoutADispatcherFailsForTheMessageKindOnly) {
    MakeEvent("0 * * * * * *");
    std::string message;
    bool running = true;
    std::thread([&] {
        try {
            event->Start(false);
        } catch (const rtl::Exception& error) {
            message = error.Message();
        }
        running = event->Running;
    }).join();
    EXPECT_EQ(message, "AllocateHWND failed");
    EXPECT_FALSE(running);
    EXPECT_EQ(event->Thread(), nullptr);
    EXPECT_EQ(event->StopEvent(), nullptr);
}

TEST_F(ScheduledEventTest, StopInsideASynchronizedHandlerReturnsAfterTheTimeOut) {
    std::weak_ptr<TScheduleThread> thread;
    bool stopped = false;
    MakeEvent("0 * * * * * *", stSynchronize);
    auto reset = ResetEventAtExit();
    event->OnSchedule = [&](TScheduledEvent* sender) {
        thread = sender->Thread();
        sender->Stop(); // the scheduler thread waits for this handler: Stop must give up on it
        stopped = !sender->Running;
        sender->Schedule->NextTime = 0; // whatever the handler does to the event after Stop
    };
    ASSERT_TRUE(event->Start(false));
    ASSERT_TRUE(ElapseUntil([&] { return stopped; }, 30'000));
    event.reset(); // the given-up thread must not touch the event any more
    EXPECT_TRUE(mainQueue.ProcessUntil([&] { return thread.expired(); }, 30'000));
}

TEST_F(ScheduledEventTest, AnEventIsNotFreedUnderARunningWorker) {
    rtl::TEvent release;
    std::atomic<bool> inside{false};
    std::atomic<bool> sawAlive{false};
    MakeEvent("0 * * * * * *", stWorkerThread);
    struct TReleaseAtExit {
        rtl::TEvent& Release;
        ~TReleaseAtExit() { Release.SetEvent(); }
    } releaseAtExit{release};
    auto reset = ResetEventAtExit();
    event->OnSchedule = [&](TScheduledEvent* sender) {
        inside = true;
        release.WaitFor(rtl::INFINITE);
        sawAlive = sender->Name == "test"; // freed memory here would be a use after free
    };
    ASSERT_TRUE(event->Start(false));
    ASSERT_TRUE(ElapseUntil([&] { return inside.load(); }));
    const std::shared_ptr<TEventLink> link = event->Link();
    std::thread destroyer([&] { event.reset(); });
    // Once the link refuses, the destructor has begun; it must now wait for the handler.
    ASSERT_TRUE(
        mainQueue.ProcessUntil([&] { return !link->With([](TScheduledEvent&) {}); }, 10'000));
    release.SetEvent();
    destroyer.join();
    EXPECT_TRUE(sawAlive);
}

TEST_F(ScheduledEventTest, AWorkerReachingTheLimitStopsTheEventOnItsThread) {
    std::atomic<int> maxCalls{0};
    std::atomic<int> stops{0};
    MakeEvent("0 * * * * * *", stWorkerThread);
    auto reset = ResetEventAtExit();
    event->MaxRunCount = 1;
    event->OnMaxRunCount = [&](TScheduledEvent*) { ++maxCalls; };
    event->OnStop = [&](TScheduledEvent*) { ++stops; };
    ASSERT_TRUE(event->Start(false));
    ASSERT_TRUE(ElapseUntil([&] { return stops.load() == 1; }));
    event->Stop(); // the owner's own Stop afterwards changes nothing
    EXPECT_FALSE(event->Running);
    EXPECT_EQ(event->Thread(), nullptr);
    EXPECT_EQ(event->RunCount, 1);
    EXPECT_EQ(maxCalls.load(), 1);
    EXPECT_EQ(stops.load(), 1);
}

TEST_F(ScheduledEventTest, TheListOwnsItsEvents) {
    auto list = std::make_unique<TSchEventList>();
    std::vector<std::string> notices;
    list->OnAdd = [&](TSchEventList* sender, TScheduledEvent* added) {
        EXPECT_EQ(sender, list.get());
        notices.push_back("add " + added->Name);
    };
    list->OnDelete = [&](TSchEventList*, TScheduledEvent* deleted) {
        notices.push_back("delete " + deleted->Name + (deleted->Running ? " running" : ""));
    };
    TScheduledEvent* a = list->Add("a");
    TScheduledEvent* b = list->Add("b");
    list->Add("c");
    ASSERT_EQ(list->Count(), 3);
    EXPECT_EQ(list->Items(1), b);
    b->Schedule->SetScheduleText("0 * * * * * *");
    ASSERT_TRUE(b->Start(false));
    std::weak_ptr<TScheduleThread> thread = b->Thread();
    bool stopped = false;
    b->OnStop = [&](TScheduledEvent*) { stopped = true; };
    EXPECT_EQ(list->Remove(b), 1);
    EXPECT_TRUE(stopped);
    // The thread lets go of itself only as it ends, just after the stop has seen it finish.
    EXPECT_TRUE(mainQueue.ProcessUntil([&] { return thread.expired(); }, 30'000));
    EXPECT_EQ(list->Count(), 2);
    EXPECT_EQ(list->Remove(b), -1);
    EXPECT_EQ(list->Items(0), a);
    list.reset();
    EXPECT_EQ(notices, (std::vector<std::string>{"add a", "add b", "add c", "delete b running",
                                                 "delete c", "delete a"}));
}

TEST_F(ScheduledEventTest, AHandlerMayFreeItsOwnEvent) {
    auto list = std::make_unique<TSchEventList>();
    TScheduledEvent* self = list->Add("self");
    self->Schedule->SetScheduleText("0 * * * * * *");
    self->MaxRunCount = 1; // the limit is read after the handler: it must not be
    self->OnSchedule = [&](TScheduledEvent* sender) { list->Remove(sender); };
    ASSERT_TRUE(self->Start(false));
    self->DoSchedule();
    mainQueue.ProcessMessages();
    EXPECT_EQ(list->Count(), 0);
}

} // namespace
} // namespace morvid::test
