// What the editor tells of a typed export path before the task keeps it: `~` expanded, a relative
// path refused, a folder still to be made or one the client cannot write to named with the cause.
#pragma once

#include <cstdint>
#include <string>

namespace morvid {

enum class TExportPathState : std::uint8_t {
    Usable,
    // Not a full path: where it pointed would depend on the folder the client started in.
    Relative,
    // Nothing stands at the path; creating it is offered when Ok is pressed.
    Missing,
    // Something stands in the way; Reason says what.
    Unusable,
};

struct TExportPathCheck {
    // The path as the task will keep it.
    std::string Path;
    TExportPathState State = TExportPathState::Usable;
    // Why the client cannot export there, as the system says it ("Permission denied").
    std::string Reason;
};

// `~` alone and `~/...` become the home folder and a path in it; any other text is returned as
// it stands (`~user` as well: only the client's own home is meant).
std::string ExpandHome(const std::string& text, const std::string& home);

// Looks at the expanded path as the client's run will: a folder it can search and write into.
TExportPathCheck CheckExportPath(const std::string& text, const std::string& home);

// What the editor says of a path it refuses: one that is not a full path once `~` is expanded.
// Empty for a path a task may keep (a folder still missing or not writable is the run's to meet).
std::string ExportPathFault(const std::string& text, const std::string& home);

// Makes the folder and the folders above it that are missing; empty on success, else the
// system's reason.
std::string CreateExportFolder(const std::string& path);

} // namespace morvid
