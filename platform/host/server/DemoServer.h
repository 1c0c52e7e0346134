// The demo monitoring server: creates the server database with sites, doors, cameras, sensors,
// alarms, access events, the operator log and the report definitions, from a seed and a "now".
#pragma once

#include "platform/host/server/SqliteDatabase.h"
#include "platform/rtl/DateUtils.h"

#include <cstdint>
#include <memory>
#include <string>

namespace host {

struct TDemoServerOptions {
    int Days = 90;                  // history ending at "now"   [1, 3660]
    int AlarmsPerDay = 150;         // exactly this many in every 24 hours   [0, 1000000]
    int AccessEventsPerDay = 400;   // on working days; weekends see a quarter   [0, 1000000]
    int OperatorActionsPerDay = 30; // besides acknowledging and closing alarms   [0, 1000000]
    int Sites = 4;                  // [1, 100]
    std::uint64_t Seed = 20260101;  // the same seed and "now" give the same data
};

// Raises rtl::EConvertError naming the first option out of range.
void CheckDemoServerOptions(const TDemoServerOptions& options);

// Fills an empty database: schema, data and report definitions, in one transaction.
void GenerateDemoServer(TSqliteDatabase& db, rtl::TDateTime now, const TDemoServerOptions& options);

// Creates the server database at `path` when nothing is there yet and returns true; an existing
// file is left as it is (false). The data is written to a temporary file beside `path` that
// takes the name only when complete, so a half-made server never exists under that name, also
// when two processes race to create it.
bool CreateDemoServer(const std::string& path, rtl::TDateTime now,
                      const TDemoServerOptions& options = {});

// CreateDemoServer, then the server opened read-only for its reports.
std::shared_ptr<TSqliteDatabase> OpenDemoServer(const std::string& path, rtl::TDateTime now,
                                                const TDemoServerOptions& options = {});

} // namespace host
