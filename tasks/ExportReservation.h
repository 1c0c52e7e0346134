// TExportReservation: a run's hold on the file name of one of its exports, from before its report
// is prepared until the run is told, so that no other run, nested in its dialog or in another
// process, writes under the same name meanwhile.
#pragma once

#include <string>
#include <vector>

namespace morvid {

// The hold is a claim: a small hidden file beside the export (".<name>.claim") holding a fixed
// text, locked (flock) while the hold lasts, and moved to its name already locked, so it never
// stands there unlocked. Nothing stands at the export's own name on the run's behalf: a file
// there stays as it is until the finished export is renamed onto it, so a run that fails or is
// killed leaves it byte for byte. A claim whose run was killed is taken over by the next run of
// the name, or removed by a later run in the folder (RemoveAbandonedClaims).
class TExportReservation {
public:
    TExportReservation() = default;
    ~TExportReservation() { Release(); }
    TExportReservation(TExportReservation&& other) noexcept;
    TExportReservation& operator=(TExportReservation&& other) noexcept;
    TExportReservation(const TExportReservation&) = delete;
    TExportReservation& operator=(const TExportReservation&) = delete;

    // Holds `fileName` unless another run holds it. Replacing, a file at the name (a link
    // itself, never what it points to) is left for the export to replace; otherwise only a name
    // where nothing stands is taken. False when the name stays another's; raises rtl::EOSError
    // naming the file when the folder cannot take the claim. A hold this object had before ends
    // first.
    bool Take(const std::string& fileName, bool replace);

    // The export may replace what stands at the name once it is written; false for a name taken
    // because nothing stood there, whose export must then fail rather than replace a newcomer.
    bool Replaces() const noexcept { return FReplaces; }

    // Ends the hold; its claim goes.
    void Release() noexcept;

private:
    std::string FClaim;
    int FHandle = -1;
    bool FReplaces = true;
};

// ".<name>.claim" beside `fileName`.
std::string ExportClaimName(const std::string& fileName);

// Removes from `folder` the claims whose runs were killed (ours by name and content, held by no
// run), each after the abandoned temporary files of its export. Never follows a link and touches
// nothing else. Returns the names removed.
std::vector<std::string> RemoveAbandonedClaims(const std::string& folder);

} // namespace morvid
