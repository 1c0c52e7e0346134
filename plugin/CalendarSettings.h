// The client's calendars of excluded dates in its settings: one subkey each below the
// scheduler's "Calendars" key, with "Name" and "Dates".
#pragma once

#include "tasks/ExcludeCalendars.h"

#include <string>
#include <vector>

namespace host {
class TRegistry;
} // namespace host

namespace morvid {

// The stored calendars, in their keys' order. A calendar whose dates do not read keeps the
// ones that do not fail, so one mistyped date excludes no fewer days than it names.
std::vector<TExcludeCalendar> LoadCalendars(host::TRegistry& registry, const std::string& rootPath);

// Replaces the stored calendars with `calendars`. With none, a client that never had any
// stores nothing at all.
void SaveCalendars(host::TRegistry& registry, const std::string& rootPath,
                   const std::vector<TExcludeCalendar>& calendars);

} // namespace morvid
