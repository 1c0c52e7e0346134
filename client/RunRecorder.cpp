#include "client/RunRecorder.h"

namespace morvid {

TRunRecorder::TRunRecorder(std::string fileName, TErrorLog error)
    : FFileName(std::move(fileName)), FError(std::move(error)) {}

TRunRecorder::~TRunRecorder() {
    Close();
}

void TRunRecorder::Failed(const std::string& why) {
    if (FFailing) {
        return;
    }
    FFailing = true;
    FError(why + "; runs go on without a history until it can be written again");
}

void TRunRecorder::ReportWriteErrors() {
    std::vector<std::string> texts;
    {
        const std::lock_guard<std::mutex> lock(FWriteErrors->Lock);
        texts.swap(FWriteErrors->Texts);
    }
    for (const std::string& text : texts) {
        FError("cannot record a run in the history: " + text);
    }
}

bool TRunRecorder::Open() {
    ReportWriteErrors();
    if (FHistory || FFileName.empty()) {
        return FHistory != nullptr;
    }
    try {
        FWriter = std::make_unique<host::TRunHistoryWriter>(
            FFileName, host::TRunHistoryLimits{}, [errors = FWriteErrors](const std::string& text) {
                const std::lock_guard<std::mutex> lock(errors->Lock);
                errors->Texts.push_back(text);
            });
        FHistory = std::make_unique<host::TRunHistory>(FFileName);
    } catch (const std::exception& e) {
        FHistory.reset();
        FWriter.reset();
        Failed(std::string("cannot open the run history: ") + e.what());
        return false;
    }
    FFailing = false;
    FHistory->FollowWriter(FWriter.get(), ReadWaitMs);
    return true;
}

void TRunRecorder::Record(const host::TRunRecord& run) noexcept {
    try {
        if (!Open()) {
            return;
        }
        host::TRunRecord stored = run;
        const auto stamp = [](host::TRunRecord& written) {
            if (const auto facts = host::RegularFileFacts(written.FileName)) {
                written.FileSize = facts->Size;
                written.FileStamp = facts->Stamp;
            }
        };
        stamp(stored);
        for (host::TRunRecord& part : stored.Parts) {
            stamp(part);
        }
        FWriter->Record(stored);
    } catch (const std::exception& e) {
        Failed(std::string("cannot record the run of task \"") + run.TaskName +
               "\" in the history: " + e.what());
    } catch (...) {
        Failed("cannot record the run of task \"" + run.TaskName + "\" in the history");
    }
}

void TRunRecorder::Write(std::function<void(host::TRunHistory&)> write, std::string what) noexcept {
    try {
        if (Open()) {
            FWriter->Write(std::move(write), std::move(what));
        }
    } catch (const std::exception& e) {
        Failed("cannot write " + what + " into the history: " + e.what());
    }
}

bool TRunRecorder::Flush(int ms) {
    const bool done = FWriter == nullptr || FWriter->WaitIdle(ms);
    ReportWriteErrors();
    return done;
}

void TRunRecorder::Close() noexcept {
    FHistory.reset();
    FWriter.reset(); // writes what is queued
    ReportWriteErrors();
}

} // namespace morvid
