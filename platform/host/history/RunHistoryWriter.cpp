#include "platform/host/history/RunHistoryWriter.h"

#include "platform/rtl/Clock.h"

#include <algorithm>
#include <chrono>

namespace host {

TRunHistoryWriter::TRunHistoryWriter(const std::string& fileName, TRunHistoryLimits limits,
                                     TErrorLog error)
    : FHistory(fileName, false, limits), FError(std::move(error)), FThread([this] { Execute(); }) {}

TRunHistoryWriter::~TRunHistoryWriter() {
    {
        const std::lock_guard<std::mutex> lock(FLock);
        FStopping = true;
    }
    FChanged.notify_all();
    FThread.join();
}

void TRunHistoryWriter::Push(TWrite write) {
    {
        const std::lock_guard<std::mutex> lock(FLock);
        if (FQueue.empty()) {
            FFrontSince = std::chrono::steady_clock::now(); // the writer starts on it now
        }
        FQueue.push_back(std::move(write));
    }
    FChanged.notify_all();
}

void TRunHistoryWriter::Record(const TRunRecord& run) {
    TWrite write;
    write.Run = run;
    // The zone the run started in, not the one in force when the writer gets to it.
    if (!write.Run->UtcOffset) {
        write.Run->UtcOffset = rtl::UtcOffsetAt(run.Started);
    }
    Push(std::move(write));
}

void TRunHistoryWriter::MarkFileRemoved(std::int64_t runId, rtl::TDateTime when) {
    TWrite write;
    write.RunId = runId;
    write.When = when;
    Push(std::move(write));
}

void TRunHistoryWriter::AppendNote(std::int64_t runId, std::string text) {
    TWrite write;
    write.RunId = runId;
    write.Note = std::move(text);
    Push(std::move(write));
}

void TRunHistoryWriter::Write(std::function<void(TRunHistory&)> write, std::string what) {
    TWrite other;
    other.Other = std::move(write);
    other.Note = std::move(what);
    Push(std::move(other));
}

bool TRunHistoryWriter::WaitIdle(int ms) const {
    std::unique_lock<std::mutex> lock(FLock);
    if (FQueue.empty()) {
        return true;
    }
    const auto wait = std::chrono::milliseconds(ms);
    const auto deadline = std::min(std::chrono::steady_clock::now(), FFrontSince) + wait;
    return FChanged.wait_until(lock, deadline, [this] { return FQueue.empty(); });
}

std::optional<TRunRecord> TRunHistoryWriter::PendingWriterOf(const std::string& fileName,
                                                             rtl::TDateTime since) const {
    const std::lock_guard<std::mutex> lock(FLock);
    for (auto write = FQueue.rbegin(); write != FQueue.rend(); ++write) {
        if (!write->Run || fileName.empty() || write->Run->Started < since) {
            continue;
        }
        for (const TRunRecord& part : write->Run->Parts) {
            if (part.FileName == fileName) {
                return part;
            }
        }
        if (write->Run->FileName == fileName) {
            return write->Run;
        }
    }
    return std::nullopt;
}

void TRunHistoryWriter::Failed(const std::string& text) {
    if (!FFailing || FGaveUp) {
        FError(text);
    }
    FFailing = true;
}

void TRunHistoryWriter::Write(TWrite& write, bool lastTry) {
    if (FGaveUp) {
        Failed("History \"" + FHistory.FileName() + "\": " +
               (write.Run ? "the run of task \"" + write.Run->TaskName + "\" started " +
                                rtl::FormatDateTimeISO(write.Run->Started)
                : write.Other ? write.Note
                              : std::string(write.Note.empty() ? "a removed file" : "a note")) +
               " was not recorded: the history stayed locked at exit");
        return;
    }
    for (;;) {
        try {
            if (write.Other) {
                write.Other(FHistory);
            } else if (write.Run) {
                TRunRecord run = *write.Run;
                FHistory.Record(run);
            } else if (!write.Note.empty()) {
                FHistory.AppendNote(write.RunId, write.Note);
            } else {
                FHistory.MarkFileRemoved(write.RunId, write.When);
            }
            FFailing = false;
            return;
        } catch (const ERunHistoryBusy& e) {
            // Held by another process beyond the busy timeout: try again, unless the program
            // is ending and this was the write's last chance; then the writes after it wait
            // no longer either.
            if (lastTry) {
                FGaveUp = true;
                Failed(std::string(e.what()) + "; given up at exit");
                return;
            }
            const std::lock_guard<std::mutex> lock(FLock);
            lastTry = FStopping;
        } catch (const std::exception& e) {
            Failed(e.what());
            return;
        }
    }
}

void TRunHistoryWriter::Execute() {
    std::unique_lock<std::mutex> lock(FLock);
    for (;;) {
        FChanged.wait(lock, [this] { return FStopping || !FQueue.empty(); });
        if (FQueue.empty()) {
            return; // stopping, and everything is written
        }
        TWrite& write = FQueue.front();
        const bool stopping = FStopping;
        FFrontSince = std::chrono::steady_clock::now();
        lock.unlock();
        // Only this thread touches the front entry while it is queued; others only append.
        Write(write, stopping);
        lock.lock();
        FQueue.pop_front();
        FChanged.notify_all();
    }
}

} // namespace host
