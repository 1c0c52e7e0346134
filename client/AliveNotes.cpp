#include "client/AliveNotes.h"

#include "client/RunRecorder.h"
#include "platform/host/history/ClientLiveness.h"

#include <ctime>
#include <unistd.h>

namespace morvid {

TAliveNotes::TAliveNotes(TRunRecorder& recorder, const std::string& settingsFile)
    : FRecorder(recorder), FSettings(host::AliveKey(settingsFile)) {
    FTimer.setInterval(IntervalMs);
    QObject::connect(&FTimer, &QTimer::timeout, [this] { Note(false); });
}

void TAliveNotes::Start() {
    FRunning = true;
    Note(false);
    FTimer.start();
}

void TAliveNotes::Stop() {
    if (!FRunning) {
        return;
    }
    FRunning = false;
    FTimer.stop();
    Note(true);
}

void TAliveNotes::Note(bool stopping) {
    host::TClientAlive note{FSettings, ::getpid(), std::time(nullptr), std::nullopt};
    if (stopping) {
        note.Stopped = note.Alive;
    }
    FRecorder.Write(
        [note](host::TRunHistory& history) { host::NoteClientAlive(history.Connection(), note); },
        "the note that the client is alive");
}

} // namespace morvid
