// TSchedule: a parsed schedule string with its next due time and the outcome of the due test.
// The scheduler thread moves it on; the main thread reads NextTime and State for display.
#pragma once

#include "platform/rtl/DateUtils.h"
#include "scheduler/ChronSchedule.h"
#include "scheduler/DueRules.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <string>

namespace morvid {

enum TScheduleState : std::uint8_t { ssWaiting, ssDue, ssLastRun, ssExpired };

// A field one thread writes while another reads it, usable like the plain value it holds.
template <typename T> class TSharedField {
public:
    TSharedField(T value = T{}) noexcept : FValue(value) {}
    TSharedField(const TSharedField& other) noexcept : FValue(other.Get()) {}
    TSharedField& operator=(const TSharedField& other) noexcept { return *this = other.Get(); }
    TSharedField& operator=(T value) noexcept {
        FValue.store(value, std::memory_order_release);
        return *this;
    }
    operator T() const noexcept { return Get(); }
    T Get() const noexcept { return FValue.load(std::memory_order_acquire); }
    bool CompareExchange(T& expected, T desired) noexcept {
        return FValue.compare_exchange_weak(expected, desired, std::memory_order_acq_rel);
    }

private:
    std::atomic<T> FValue;
};

class TSchedule {
public:
    TSchedule();

    // Parses and takes `value`, then Reset. The same text again does nothing; a malformed one
    // raises EScheduleError and leaves everything as it was.
    void SetScheduleText(const std::string& value);
    // NextTime := now, then Advance.
    bool Reset();
    // PrevTime := NextTime; NextTime := the occurrence after it (0 when none); true if one.
    bool Advance();
    // The due test: sets State, may move NextTime on and clears `fireAtStart`. When the search
    // for the time after a due one raises, that due time still stands (State ssDue, PrevTime
    // holds it) and the error is kept for RaiseKeptFailure, to be raised after the delivery.
    void CheckDue(bool& fireAtStart);
    // Raises, once, the error the due test kept; nothing when it kept none.
    void RaiseKeptFailure();

    const std::string& ScheduleText() const noexcept { return FScheduleText; }

    rtl::TDateTime EndTime = 0;
    TSharedField<rtl::TDateTime> NextTime;
    TSharedField<rtl::TDateTime> PrevTime;
    rtl::TDateTime StartTime = 0;
    TChronSchedule Entries;
    // The task's zone and excluded days; changed only while no thread searches, then Reset.
    TDueRules Rules;
    TSharedField<TScheduleState> State = ssWaiting;

private:
    std::string FScheduleText;
    // Set and raised by the scheduler thread only.
    std::exception_ptr FKeptFailure;
};

} // namespace morvid
