#include "platform/rtl/Threads.h"

#include "platform/rtl/Messages.h"

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>

namespace rtl {
namespace {

class TLambdaThread : public TThread {
public:
    explicit TLambdaThread(std::function<void(TLambdaThread&)> body,
                           std::atomic<int>* destroyed = nullptr)
        : FBody(std::move(body)), FDestroyed(destroyed) {}
    ~TLambdaThread() override {
        if (FDestroyed != nullptr)
            ++*FDestroyed;
    }
    using TThread::Synchronize;

protected:
    void Execute() override { FBody(*this); }

private:
    std::function<void(TLambdaThread&)> FBody;
    std::atomic<int>* FDestroyed;
};

class ThreadsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetThreadDispatcher(&mainQueue);
        SetMainDispatcher(&mainQueue);
    }
    void TearDown() override {
        EXPECT_TRUE(mainQueue.ProcessUntil([] { return RunningThreadCount() == 0; }, 30'000));
        mainQueue.ProcessMessages();
        SetMainDispatcher(nullptr);
        SetThreadDispatcher(nullptr);
    }
    TQueueDispatcher mainQueue;
};

TEST_F(ThreadsTest, OnTerminateRunsOnTheMainThreadAfterExecute) {
    std::atomic<bool> executed{false};
    auto thread = std::make_shared<TLambdaThread>([&](TLambdaThread&) { executed = true; });
    TThread* sender = nullptr;
    bool executedFirst = false;
    thread->OnTerminate = [&](TThread* s) {
        sender = s;
        executedFirst = executed;
    };
    thread->Start();
    ASSERT_TRUE(thread->WaitFor(10000));
    EXPECT_EQ(sender, nullptr); // only when the main thread processes messages
    ASSERT_TRUE(mainQueue.ProcessUntil([&] { return sender != nullptr; }, 10000));
    EXPECT_EQ(sender, thread.get());
    EXPECT_TRUE(executedFirst);
}

TEST_F(ThreadsTest, ClearedOnTerminateIsNotCalled) {
    int calls = 0;
    auto thread = std::make_shared<TLambdaThread>([](TLambdaThread&) {});
    thread->OnTerminate = [&](TThread*) { ++calls; };
    thread->Start();
    ASSERT_TRUE(thread->WaitFor(10000));
    thread->OnTerminate = nullptr;
    mainQueue.ProcessMessages();
    EXPECT_EQ(calls, 0);
}

TEST_F(ThreadsTest, ExceptionsEscapingExecuteAreCaughtAndTheNoticeStillRuns) {
    struct TCase {
        std::function<void()> Throw;
        std::string Message;
    };
    const TCase cases[] = {
        {[] { throw std::runtime_error("OnSchedule is not defined"); },
         "OnSchedule is not defined"},
        {[] { throw 42; }, "Unknown exception"},
        {[] {}, ""},
    };
    for (const TCase& c : cases) {
        bool notified = false;
        auto thread = std::make_shared<TLambdaThread>([&](TLambdaThread&) { c.Throw(); });
        thread->OnTerminate = [&](TThread*) { notified = true; };
        thread->Start();
        ASSERT_TRUE(thread->WaitFor(10000));
        EXPECT_EQ(thread->FatalMessage(), c.Message);
        EXPECT_TRUE(mainQueue.ProcessUntil([&] { return notified; }, 10000));
    }
}

TEST_F(ThreadsTest, SynchronizeRunsOnTheMainThreadAndWaitsForIt) {
    const auto mainId = std::this_thread::get_id();
    std::thread::id ranOn;
    std::atomic<bool> returned{false};
    bool sawNotReturned = false;
    auto thread = std::make_shared<TLambdaThread>([&](TLambdaThread& self) {
        EXPECT_TRUE(self.Synchronize([&] {
            ranOn = std::this_thread::get_id();
            sawNotReturned = !returned;
        }));
        returned = true;
    });
    thread->Start();
    ASSERT_TRUE(mainQueue.ProcessUntil([&] { return returned.load(); }, 10000));
    EXPECT_EQ(ranOn, mainId);
    EXPECT_TRUE(sawNotReturned);
    EXPECT_TRUE(thread->WaitFor(10000));
}

TEST_F(ThreadsTest, SynchronizeOnTheMainThreadRunsDirectly) {
    auto thread = std::make_shared<TLambdaThread>([](TLambdaThread&) {});
    bool ran = false;
    EXPECT_TRUE(thread->Synchronize([&] { ran = true; }));
    EXPECT_TRUE(ran);
}

TEST_F(ThreadsTest, AbandonReleasesABlockedSynchronizeAndTheMethodNeverRuns) {
    std::atomic<int> destroyed{0};
    std::atomic<bool> ran{false};
    std::atomic<int> result{-1};
    auto thread = std::make_shared<TLambdaThread>(
        [&](TLambdaThread& self) { result = self.Synchronize([&] { ran = true; }) ? 1 : 0; },
        &destroyed);
    thread->Start();
    EXPECT_FALSE(thread->WaitFor(50)); // blocked: the main thread is not processing
    thread->Abandon();
    thread.reset(); // the abandoned thread owns itself now
    // Wait for the thread's own end, then run what it left queued: the method must stay unrun.
    while (destroyed.load() == 0)
        mainQueue.WaitAndProcess(10);
    mainQueue.ProcessMessages();
    EXPECT_EQ(result.load(), 0);
    EXPECT_FALSE(ran.load());
}

TEST_F(ThreadsTest, SelfFreeingThreadGoesWithoutAnOwner) {
    std::atomic<int> destroyed{0};
    {
        auto thread = std::make_shared<TLambdaThread>([](TLambdaThread&) {}, &destroyed);
        thread->FreeOnTerminate = true;
        thread->Start();
    }
    // Its end notice holds the last reference until the main thread has run it.
    EXPECT_TRUE(mainQueue.ProcessUntil([&] { return destroyed.load() == 1; }, 10000));
}

TEST_F(ThreadsTest, EveryPriorityIsAcceptedAndRemembered) {
    for (int level = 0; level <= static_cast<int>(TThreadPriority::tpTimeCritical); ++level) {
        const auto priority = static_cast<TThreadPriority>(level);
        std::atomic<bool> go{false};
        auto thread = std::make_shared<TLambdaThread>([&](TLambdaThread&) {
            while (!go)
                std::this_thread::yield();
        });
        thread->SetPriority(priority);
        thread->Start();
        thread->SetPriority(priority); // also while running
        go = true;
        EXPECT_TRUE(thread->WaitFor(10000));
        EXPECT_EQ(thread->Priority(), priority);
    }
}

TEST_F(ThreadsTest, TerminateOnlySetsTheFlag) {
    auto thread = std::make_shared<TLambdaThread>([](TLambdaThread& self) {
        while (!self.Terminated())
            std::this_thread::yield();
    });
    thread->Start();
    EXPECT_FALSE(thread->Terminated());
    thread->Terminate();
    EXPECT_TRUE(thread->WaitFor(10000));
    EXPECT_TRUE(thread->Terminated());
}

} // namespace
} // namespace rtl
