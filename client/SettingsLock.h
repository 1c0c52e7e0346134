// One client per settings file: the client holds an exclusive lock on its settings file while it
// runs. Two clients on one file would each save over the tasks only the other knew, and both
// would run every task, so each export would be written twice.
#pragma once

#include "platform/rtl/SysUtils.h"

#include <string>
#include <sys/types.h>

namespace morvid {

// Another process holds the settings file; the message names the file and, when it can be
// found, the process.
class ESettingsInUse : public rtl::Exception {
public:
    using Exception::Exception;
};

class TSettingsLock {
public:
    // Locks the existing file (flock, which the registry's own locks do not touch). Raises
    // ESettingsInUse when another holds it, unless `wait` is set: then it waits until the other
    // lets go. Raises rtl::Exception when the file cannot be opened or locked.
    explicit TSettingsLock(const std::string& fileName, bool wait = false);
    // Releases the lock. Closing a descriptor of the file drops the process's POSIX locks on it,
    // which the registry holds: destroy the registry first.
    ~TSettingsLock();
    TSettingsLock(const TSettingsLock&) = delete;
    TSettingsLock& operator=(const TSettingsLock&) = delete;

private:
    int FHandle = -1;
};

// The process that holds a flock on the file of `dev`/`inode`, read from /proc/locks; 0 when
// none is listed.
pid_t SettingsLockHolder(dev_t dev, ino_t inode);

} // namespace morvid
