// One client per settings file: the client holds an exclusive lock on its settings file while it
// runs, and quor-reg while it imports. Two clients on one file would each save over the tasks
// only the other knew, and both would run every task, so each export would be written twice.
#pragma once

#include "platform/rtl/SysUtils.h"

#include <string>
#include <sys/types.h>

namespace host {

// Who holds the lock, as far as /proc tells: the process, its program, and the systemd unit it
// runs in when that is a service.
struct TSettingsHolder {
    pid_t Pid = 0;           // 0: not found
    std::string Program;     // "quor-client", "quor-reg", ...
    std::string Service;     // the unit, "quor-client.service"; empty outside a service
    bool UserService = true; // a unit of the user's service manager (systemctl --user)
    bool Headless = false;   // a client started with --headless
    bool Waits = false;      // a client started with --wait-for-settings

    // "the service quor-client.service (process 4711)", "a client with its window (process
    // 4711)", "a headless client (process 4711)", "quor-reg (process 4711)", "another client".
    std::string Text() const;
    // What the person who started the refused program can do about it, in one or two sentences.
    std::string Advice() const;
};

// Another process holds the settings file; the message names the file and the holder.
class ESettingsInUse : public rtl::Exception {
public:
    ESettingsInUse(const std::string& fileName, TSettingsHolder holder);
    const TSettingsHolder& Holder() const noexcept { return FHolder; }

private:
    TSettingsHolder FHolder;
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

// What /proc tells of process `pid`; only Pid is set when it tells nothing.
TSettingsHolder DescribeHolder(pid_t pid);

} // namespace host
