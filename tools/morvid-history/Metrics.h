// The run history as metrics in the text format a monitoring system's file collector reads:
// per task its latest run, latest success, latest duration and its runs by outcome; the outbox.
#pragma once

#include "platform/host/delivery/Outbox.h"
#include "platform/host/history/ClientLiveness.h"
#include "platform/host/history/RunHistory.h"

#include <ostream>
#include <string>
#include <vector>

namespace morvid::history {

// Writes the metrics of the runs (newest first, as TRunHistory::Runs gives them). Times are
// Unix seconds; a task that never succeeded has a last success time of 0, so an alert on its
// age fires rather than finding no sample. The outbox's mails only where there is an outbox;
// each client's last sign of life only where clients noted one.
void PrintMetrics(const std::vector<host::TRunRecord>& runs,
                  const std::optional<host::TOutboxSize>& outbox, std::ostream& out,
                  const std::vector<host::TClientAlive>& alive = {});

// Writes the metrics into `fileName` atomically: a temporary file beside it, synced, readable by
// everyone (the collector runs as another user) and renamed onto it, so a collector never reads
// half a file. Raises rtl::Exception naming the file and the system's cause.
void WriteMetricsFile(const std::vector<host::TRunRecord>& runs,
                      const std::optional<host::TOutboxSize>& outbox, const std::string& fileName,
                      const std::vector<host::TClientAlive>& alive = {});

} // namespace morvid::history
