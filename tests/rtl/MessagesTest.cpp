#include "platform/rtl/Messages.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace rtl {
namespace {

class MessagesTest : public ::testing::Test {
protected:
    void SetUp() override { SetThreadDispatcher(&dispatcher); }
    void TearDown() override { SetThreadDispatcher(nullptr); }
    TQueueDispatcher dispatcher;
};

TEST_F(MessagesTest, WindowNeedsADispatcherOnTheCallingThread) {
    HWND fromOtherThread = reinterpret_cast<HWND>(1);
    std::thread([&] { fromOtherThread = AllocateHWnd([](TMessage&) {}); }).join();
    EXPECT_EQ(fromOtherThread, nullptr);
    HWND wnd = AllocateHWnd([](TMessage&) {});
    EXPECT_NE(wnd, nullptr);
    DeallocateHWnd(wnd);
}

TEST_F(MessagesTest, PostedMessagesArriveInOrderOnTheOwningThread) {
    std::vector<TMessage> got;
    const auto owner = std::this_thread::get_id();
    bool onOwner = true;
    HWND wnd = AllocateHWnd([&](TMessage& m) {
        onOwner = onOwner && std::this_thread::get_id() == owner;
        got.push_back(m);
    });
    std::thread poster([&] {
        for (std::uint32_t i = 0; i < 3; ++i)
            EXPECT_TRUE(PostMessage(wnd, WM_USER + 1 + i, i, -static_cast<LPARAM>(i)));
    });
    poster.join();
    EXPECT_TRUE(got.empty()); // nothing runs before the owner processes messages
    ProcessMessages();
    ASSERT_EQ(got.size(), 3u);
    for (std::uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(got[i].Msg, WM_USER + 1 + i);
        EXPECT_EQ(got[i].WParam, i);
        EXPECT_EQ(got[i].LParam, -static_cast<LPARAM>(i));
    }
    EXPECT_TRUE(onOwner);
    DeallocateHWnd(wnd);
}

TEST_F(MessagesTest, DestroyingAWindowDropsWhatIsQueuedAndRefusesNewPosts) {
    int delivered = 0;
    HWND wnd = AllocateHWnd([&](TMessage&) { ++delivered; });
    ASSERT_TRUE(PostMessage(wnd, WM_USER, 0, 0));
    DeallocateHWnd(wnd);
    EXPECT_FALSE(PostMessage(wnd, WM_USER, 0, 0));
    ProcessMessages();
    EXPECT_EQ(delivered, 0);
    DeallocateHWnd(wnd); // a second time is harmless
    // A later window never takes over the dead handle.
    HWND other = AllocateHWnd([&](TMessage&) { ++delivered; });
    EXPECT_NE(other, wnd);
    EXPECT_FALSE(PostMessage(wnd, WM_USER, 0, 0));
    DeallocateHWnd(other);
}

TEST_F(MessagesTest, AWindowMayDestroyItselfWhileHandlingAMessage) {
    int delivered = 0;
    HWND wnd = nullptr;
    wnd = AllocateHWnd([&](TMessage&) {
        ++delivered;
        DeallocateHWnd(wnd);
    });
    PostMessage(wnd, WM_USER, 0, 0);
    PostMessage(wnd, WM_USER, 0, 0);
    ProcessMessages();
    EXPECT_EQ(delivered, 1);
}

TEST_F(MessagesTest, ProcessMessagesRunsOnlyWhatWasQueuedWhenCalled) {
    int runs = 0;
    std::function<void()> again = [&] {
        ++runs;
        dispatcher.Post(again);
    };
    dispatcher.Post(again);
    dispatcher.ProcessMessages();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(dispatcher.Pending(), 1u);
    dispatcher.ProcessMessages();
    EXPECT_EQ(runs, 2);
}

TEST_F(MessagesTest, WaitAndProcessWakesForAPostFromAnotherThread) {
    std::atomic<bool> ran{false};
    std::thread poster([&] { dispatcher.Post([&] { ran = true; }); });
    EXPECT_TRUE(dispatcher.ProcessUntil([&] { return ran.load(); }, 10000));
    poster.join();
    EXPECT_EQ(dispatcher.WaitAndProcess(0), 0);
}

TEST_F(MessagesTest, MainDispatcherIsProcessWideThreadDispatcherIsNot) {
    SetMainDispatcher(&dispatcher);
    TDispatcher* seenMain = nullptr;
    TDispatcher* seenThread = &dispatcher;
    std::thread([&] {
        seenMain = MainDispatcher();
        seenThread = ThreadDispatcher();
        ProcessMessages(); // no dispatcher here: does nothing
    }).join();
    SetMainDispatcher(nullptr);
    EXPECT_EQ(seenMain, &dispatcher);
    EXPECT_EQ(seenThread, nullptr);
}

} // namespace
} // namespace rtl
