// The client's notes that it is alive, in the run history (host/history/ClientLiveness): at its
// start, every minute and at a clean stop, through the history's writer thread, so the window
// never waits for the disk.
#pragma once

#include <QTimer>
#include <string>

namespace morvid {

class TRunRecorder;

class TAliveNotes {
public:
    // How often a running client notes it; a watch allows a few of these to be missed.
    static constexpr int IntervalMs = 60'000;

    TAliveNotes(TRunRecorder& recorder, const std::string& settingsFile);
    // Notes the start and then every minute.
    void Start();
    // Notes the clean stop; no more notes after it.
    void Stop();

private:
    void Note(bool stopping);

    TRunRecorder& FRecorder;
    std::string FSettings;
    QTimer FTimer;
    bool FRunning = false;
};

} // namespace morvid
