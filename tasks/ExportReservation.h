// TExportReservation: a run's hold on the file name of one of its exports, from before its report
// is prepared until the run is told, so that no other run, nested in its dialog or in another
// process, writes under the same name meanwhile.
#pragma once

#include <string>
#include <sys/types.h>

namespace morvid {

// The hold is a lock (flock) on what stands at the name: first an empty placeholder, which
// appears at the name already locked, then the export renamed onto it (HoldWritten). A name
// whose file another run holds locked is never taken. Ending a hold while its placeholder still
// stands at the name removes the placeholder, so a run that wrote nothing leaves nothing there.
class TExportReservation {
public:
    TExportReservation() = default;
    ~TExportReservation() { Release(); }
    TExportReservation(TExportReservation&& other) noexcept;
    TExportReservation& operator=(TExportReservation&& other) noexcept;
    TExportReservation(const TExportReservation&) = delete;
    TExportReservation& operator=(const TExportReservation&) = delete;

    // Holds `fileName`. Replacing, whatever stands there goes (a link itself, never what it
    // points to) unless another run holds it; otherwise only a name where nothing stands is
    // taken. False when the name stays another's; raises rtl::EOSError naming the file when the
    // folder cannot take it. A hold this object had before ends first.
    bool Take(const std::string& fileName, bool replace);

    // Moves the hold from the placeholder to the export now written at its name.
    void HoldWritten() noexcept;
    // Ends the hold; the placeholder goes unless something was written in its place.
    void Release() noexcept;

private:
    std::string FFileName;
    int FHandle = -1;
    dev_t FDevice = 0; // of the placeholder while it is what the hold is on
    ino_t FInode = 0;
};

} // namespace morvid
