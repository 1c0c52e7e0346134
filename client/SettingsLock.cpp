#include "client/SettingsLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace morvid {

pid_t SettingsLockHolder(dev_t dev, ino_t inode) {
    // Lines as "1: FLOCK  ADVISORY  WRITE 4711 08:01:1234 0 EOF"; waiters carry "->" after
    // the number.
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, file;
        long pid = 0;
        fields >> number >> kind;
        if (kind == "->" || kind != "FLOCK") {
            continue;
        }
        fields >> mode >> access >> pid >> file;
        unsigned major = 0, minor = 0;
        unsigned long long lockedInode = 0;
        if (std::sscanf(file.c_str(), "%x:%x:%llu", &major, &minor, &lockedInode) == 3 &&
            major == ::major(dev) && minor == ::minor(dev) && lockedInode == inode) {
            return static_cast<pid_t>(pid);
        }
    }
    return 0;
}

TSettingsLock::TSettingsLock(const std::string& fileName, bool wait) {
    FHandle = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (FHandle < 0) {
        throw rtl::Exception("cannot open the settings file \"" + fileName +
                             "\" to lock it: " + std::strerror(errno));
    }
    int locked = 0;
    while ((locked = ::flock(FHandle, LOCK_EX | (wait ? 0 : LOCK_NB))) != 0 && errno == EINTR) {
    }
    if (locked == 0) {
        return;
    }
    const int error = errno;
    struct stat file {};
    const pid_t holder =
        ::fstat(FHandle, &file) == 0 ? SettingsLockHolder(file.st_dev, file.st_ino) : 0;
    ::close(FHandle);
    FHandle = -1;
    if (error != EWOULDBLOCK) {
        throw rtl::Exception("cannot lock the settings file \"" + fileName +
                             "\": " + std::strerror(error));
    }
    std::string message = "the settings file \"" + fileName + "\" is in use by another client";
    if (holder > 0) {
        message += " (process " + std::to_string(holder) + ")";
    }
    throw ESettingsInUse(message + "; one settings file serves one client");
}

TSettingsLock::~TSettingsLock() {
    if (FHandle >= 0) {
        ::close(FHandle);
    }
}

} // namespace morvid
