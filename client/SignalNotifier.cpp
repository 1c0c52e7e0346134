#include "client/SignalNotifier.h"

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace morvid {

namespace {

std::atomic<int> WriteEnd{-1};
std::atomic<bool> Starting{false};
std::atomic<int> StartEndingSignal{0};

// The start did not come back in time after a signal: it is blocked, end as the signal would.
extern "C" void OnStartGraceOver(int) {
    constexpr char message[] = "quor-client: a signal ended the start\n";
    [[maybe_unused]] const ssize_t written = ::write(2, message, sizeof message - 1);
    const int signalNumber = StartEndingSignal.load();
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

// Only async-signal-safe calls here: one byte into the pipe, errno left as it was.
extern "C" void OnSignal(int signalNumber) {
    const int savedErrno = errno;
    int none = 0;
    if (Starting.load() && StartEndingSignal.compare_exchange_strong(none, signalNumber)) {
        ::alarm(TSignalNotifier::StartGraceSeconds);
    }
    const int fd = WriteEnd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

struct TSignalNotifier::TPrevious {
    int Signal;
    struct sigaction Action;
};

TSignalNotifier::TSignalNotifier(std::initializer_list<int> signalNumbers,
                                 std::function<void(int)> onSignal)
    : FOnSignal(std::move(onSignal)) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::system_error(errno, std::generic_category(), "cannot make the signal pipe");
    }
    FReadEnd = fds[0];
    FWriteEnd = fds[1];
    WriteEnd.store(FWriteEnd);
    FNotifier = std::make_unique<QSocketNotifier>(FReadEnd, QSocketNotifier::Read);
    QObject::connect(FNotifier.get(), &QSocketNotifier::activated, [this] { ReadSignals(); });
    for (const int signalNumber : signalNumbers) {
        struct sigaction action = {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        TPrevious previous{signalNumber, {}};
        if (::sigaction(signalNumber, &action, &previous.Action) == 0) {
            FPrevious.push_back(previous);
        }
    }
}

TSignalNotifier::~TSignalNotifier() {
    for (auto it = FPrevious.rbegin(); it != FPrevious.rend(); ++it) {
        ::sigaction(it->Signal, &it->Action, nullptr);
    }
    WriteEnd.store(-1);
    FNotifier.reset();
    ::close(FReadEnd);
    ::close(FWriteEnd);
}

void TSignalNotifier::SetStarting(bool value) noexcept {
    if (value) {
        StartEndingSignal.store(0);
        ::signal(SIGALRM, OnStartGraceOver);
        Starting.store(true);
    } else {
        Starting.store(false);
        ::alarm(0);
        ::signal(SIGALRM, SIG_DFL);
    }
}

void TSignalNotifier::ReadSignals() {
    unsigned char buffer[16];
    ssize_t count;
    while ((count = ::read(FReadEnd, buffer, sizeof buffer)) > 0) {
        for (ssize_t i = 0; i < count; ++i) {
            if (FOnSignal) {
                FOnSignal(buffer[i]);
            }
        }
    }
}

} // namespace morvid
