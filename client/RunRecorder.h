// Records each run of a plug-in's task in the run history. A history that cannot be written
// never touches the run: the run's result stands, and the failure is logged once until the
// history can be written again.
#pragma once

#include "platform/host/history/RunHistory.h"

#include <functional>
#include <memory>
#include <string>

namespace morvid {

class TRunRecorder {
public:
    using TErrorLog = std::function<void(const std::string& text)>;

    // An empty file name keeps no history. Nothing is opened before the first Open or Record.
    TRunRecorder(std::string fileName, TErrorLog error);
    ~TRunRecorder();
    TRunRecorder(const TRunRecorder&) = delete;
    TRunRecorder& operator=(const TRunRecorder&) = delete;

    // Opens the history unless it is open; a failure is logged (once) and leaves it closed, to
    // be tried again at the next run. True when open.
    bool Open();
    // Adds the file's size and stamp to the run and stores it. Never raises.
    void Record(const host::TRunRecord& run) noexcept;
    // Closes the history.
    void Close() noexcept;

    host::TRunHistory* History() noexcept { return FHistory.get(); }

private:
    void Failed(const std::string& why);

    std::string FFileName;
    TErrorLog FError;
    std::unique_ptr<host::TRunHistory> FHistory;
    bool FFailing = false;
};

} // namespace morvid
