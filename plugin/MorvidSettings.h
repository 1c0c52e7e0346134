// TMorvidSettings: stores the report tasks and the window placement in the host's registry
// settings below the root path the host gives, and creates the tasks again from there.
#pragma once

#include "platform/host/registry/SettingsPaths.h"
#include "plugin/RegKeySnapshot.h"

#include <cstdint>
#include <string>
#include <vector>

namespace host {
class TRegistry;
} // namespace host

namespace morvid {

class TDLGScheduledReports;

using host::MorvidKeyPath;
using host::SchedulesKeyPath;
using host::TaskKeyPath;
using host::WindowKeyPath;

// Of the sub-key names of "Schedules", those that hold a task ("Item" and a decimal number,
// letter case ignored), in the order of their numbers, however many numbers are missing.
std::vector<std::string> TaskKeyNames(const std::vector<std::string>& names);

class TMorvidSettings {
public:
    // Stores the window's rows in row order (Item0, Item1, ...), followed by the stored tasks the
    // last load could not read, then the window's placement. Of a store this object read or
    // wrote, only the tasks that differ from what it holds are written, and nothing when none
    // does; any other store is written whole. The whole save is one registry transaction: when
    // a write fails, the store stays as it was and the error goes to the caller.
    void Save(host::TRegistry& registry, const std::string& rootPath, TDLGScheduledReports& window);

    // Applies the stored placement to the window and appends one task with a row per stored
    // task, reading one registry snapshot (a transaction); arms nothing. A value that is missing or
    // of the wrong type stops the load with the registry's error. The task being read then gets no
    // row, and it and every stored task after it are kept, unread, for the next save, so that a
    // failed load loses nothing.
    void Load(host::TRegistry& registry, const std::string& rootPath, TDLGScheduledReports& window);

    // The stored tasks the last load did not read, in stored order; empty after a full load.
    const std::vector<TRegKeySnapshot>& UnreadTasks() const noexcept { return FUnreadTasks; }

private:
    // The placement, unless it is what the store is known to hold.
    void SaveWindow(host::TRegistry& registry, const std::string& rootPath,
                    TDLGScheduledReports& window, bool storedKnown);
    void LoadWindow(host::TRegistry& registry, const std::string& rootPath,
                    TDLGScheduledReports& window);
    void KeepUnreadTasks(host::TRegistry& registry, const std::string& rootPath,
                         const std::vector<std::string>& keyNames) noexcept;

    std::vector<TRegKeySnapshot> FUnreadTasks;
    // A task's key as the store holds it, and the revision of the row's task that it was built
    // from (0: none, so the next save compares the task).
    struct TStoredTask {
        TRegKeySnapshot Key;
        std::uint64_t Revision = 0;
    };
    // What the store FStoredIn (its file, root path and change stamp) holds of each task, as a
    // save builds it, and of the window; FStoredIn is empty while that is not known.
    std::vector<TStoredTask> FStored;
    TRegKeySnapshot FStoredWindow;
    std::string FStoredIn;
};

} // namespace morvid
