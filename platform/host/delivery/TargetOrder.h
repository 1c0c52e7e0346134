// A run's deliveries to its task's targets, as outbox entries: one for each target line, with
// the run's files (for a share or an SFTP folder) or the web hook's message.
#pragma once

#include "platform/host/delivery/MailOrder.h"
#include "platform/host/delivery/Outbox.h"

#include <string>
#include <vector>

namespace host {

// A target line that cannot be delivered to, and why.
struct TTargetFault {
    std::string Target; // as TargetDisplayName names it
    std::string Reason;
};

struct TTargetEntries {
    std::vector<TOutboxEntry> Entries{};
    std::vector<TTargetFault> Faults{};
};

// The entries of `order`'s targets, to be added to the outbox at `now` (seconds since 1970). A
// file target of a run that wrote no file gets none: there is nothing to copy. A web hook hears
// every run.
TTargetEntries TargetEntries(const TMailOrder& order, std::int64_t now);

} // namespace host
