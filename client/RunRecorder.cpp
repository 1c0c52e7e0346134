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

bool TRunRecorder::Open() {
    if (FHistory || FFileName.empty()) {
        return FHistory != nullptr;
    }
    try {
        FHistory = std::make_unique<host::TRunHistory>(FFileName);
    } catch (const std::exception& e) {
        Failed(std::string("cannot open the run history: ") + e.what());
        return false;
    }
    return true;
}

void TRunRecorder::Record(const host::TRunRecord& run) noexcept {
    try {
        if (!Open()) {
            return;
        }
        host::TRunRecord stored = run;
        if (const auto facts = host::RegularFileFacts(stored.FileName)) {
            stored.FileSize = facts->Size;
            stored.FileStamp = facts->Stamp;
        }
        FHistory->Record(stored);
        FFailing = false;
    } catch (const std::exception& e) {
        Failed(std::string("cannot record the run of task \"") + run.TaskName +
               "\" in the history: " + e.what());
    } catch (...) {
        Failed("cannot record the run of task \"" + run.TaskName + "\" in the history");
    }
}

void TRunRecorder::Close() noexcept {
    FHistory.reset();
}

} // namespace morvid
