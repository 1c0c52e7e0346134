// Turns the ending signals (SIGINT, SIGTERM, SIGHUP) into a call on the main thread's event loop
// (a self-pipe read by a QSocketNotifier), so whatever a signal ends - saving settings above all -
// runs outside the signal handler.
#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace morvid {

class TSignalNotifier {
public:
    // Installs handlers for the signals; `onSignal` runs on this thread's event loop, once per
    // signal received. One notifier at a time per process. Raises std::system_error when the
    // pipe cannot be made.
    TSignalNotifier(std::initializer_list<int> signalNumbers, std::function<void(int)> onSignal);
    // Puts the earlier handlers back and closes the pipe.
    ~TSignalNotifier();
    TSignalNotifier(const TSignalNotifier&) = delete;
    TSignalNotifier& operator=(const TSignalNotifier&) = delete;

    // While on (during the start), a signal that the start has not come back to act on within
    // StartGraceSeconds ends the process with the signal's own default action: the start may be
    // blocked in a system call that the signal only restarts, and it has nothing to save yet.
    // Turning it off cancels that end.
    static void SetStarting(bool value) noexcept;
    static constexpr unsigned StartGraceSeconds = 5;

private:
    struct TPrevious;
    void ReadSignals();

    int FReadEnd = -1;
    int FWriteEnd = -1;
    std::unique_ptr<QSocketNotifier> FNotifier;
    std::function<void(int)> FOnSignal;
    std::vector<TPrevious> FPrevious;
};

} // namespace morvid
