// One attempt to deliver an outbox entry of a target: the run's files copied to a share or an
// SFTP folder, or its message posted to a web hook.
#pragma once

#include "platform/host/delivery/DeliveryTarget.h"
#include "platform/host/delivery/FileTransfer.h"
#include "platform/host/delivery/Outbox.h"

#include <atomic>
#include <functional>

namespace host {

// The login of a target's credential (user, domain, secret, key file). Raises rtl::Exception
// saying why there is none for now (a locked store, a missing file): the entry then waits on
// the transient schedule.
using TLoginSource = std::function<TTransferLogin(const TDeliveryTarget& target)>;

// Delivers `entry` (whose Target is set). `placing` is told each file's final name before it is
// visible; the entry's Placed names from an earlier attempt go along. A target line that no
// longer parses is final.
TTransferResult SendToTarget(const TOutboxEntry& entry, const TLoginSource& logins,
                             const TPlacingListener& placing,
                             const std::atomic<bool>* cancel = nullptr);

} // namespace host
