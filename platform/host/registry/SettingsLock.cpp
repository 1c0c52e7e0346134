#include "platform/host/registry/SettingsLock.h"

#include "platform/rtl/Words.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace host {

namespace {

std::string ReadProcFile(pid_t pid, const char* name) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The unit a process runs in, from its cgroup path: ".../user@1000.service/app.slice/
// quor-client.service" (cgroup v2, or v1's systemd hierarchy). The user manager's own unit
// "user@1000.service" is no service of ours.
void ReadService(pid_t pid, TSettingsHolder& holder) {
    std::istringstream lines(ReadProcFile(pid, "cgroup"));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("0::", 0) != 0 && line.find(":name=systemd:") == std::string::npos) {
            continue;
        }
        const std::string path = line.substr(line.find(':', line.find(':') + 1) + 1);
        const std::string unit = path.substr(path.rfind('/') + 1);
        if (unit.size() > 8 && unit.ends_with(".service") && !unit.starts_with("user@")) {
            holder.Service = unit;
            holder.UserService = path.find("/user@") != std::string::npos;
        }
        return;
    }
}

} // namespace

TSettingsHolder DescribeHolder(pid_t pid) {
    TSettingsHolder holder;
    holder.Pid = pid;
    if (pid <= 0) {
        return holder;
    }
    holder.Program = ReadProcFile(pid, "comm");
    while (!holder.Program.empty() && holder.Program.back() == '\n') {
        holder.Program.pop_back();
    }
    const std::string arguments = ReadProcFile(pid, "cmdline");
    holder.Headless = arguments.find(std::string("--headless\0", 11)) != std::string::npos;
    holder.Waits = arguments.find(std::string("--wait-for-settings\0", 20)) != std::string::npos;
    ReadService(pid, holder);
    return holder;
}

// Whole sentences, so a language keeps its own order around the program and its process.
std::string TSettingsHolder::Text() const {
    const std::string pid = std::to_string(Pid);
    if (Pid <= 0) {
        return rtl::Words(MORVID_WORDS("SettingsHolder", "another client"));
    }
    if (!Service.empty()) {
        return rtl::Words(MORVID_WORDS("SettingsHolder", "the service %1 (process %2)"),
                          {Service, pid});
    }
    if (Program == "quor-client") {
        return Headless
                   ? rtl::Words(MORVID_WORDS("SettingsHolder", "a headless client (process %1)"),
                                {pid})
                   : rtl::Words(
                         MORVID_WORDS("SettingsHolder", "a client with its window (process %1)"),
                         {pid});
    }
    return Program.empty()
               ? rtl::Words(MORVID_WORDS("SettingsHolder", "another program (process %1)"), {pid})
               : rtl::Words(MORVID_WORDS("SettingsHolder", "%1 (process %2)"), {Program, pid});
}

std::string TSettingsHolder::Advice() const {
    if (!Service.empty()) {
        const std::string systemctl = UserService ? "systemctl --user" : "sudo systemctl";
        return rtl::Words(
            MORVID_WORDS("SettingsHolder",
                         "The service runs the report tasks. To change them in the window, stop "
                         "it first (\"%1 stop %2\") and start it again when the window is closed; "
                         "or give this client a settings file of its own with --settings."),
            {systemctl, Service});
    }
    if (Pid <= 0) {
        return rtl::Words(MORVID_WORDS(
            "SettingsHolder", "End the other client and start again, or give this client a "
                              "settings file of its own with --settings."));
    }
    if (Program == "quor-client") {
        return Headless
                   ? rtl::Words(MORVID_WORDS("SettingsHolder",
                                             "End it first (\"kill %1\", which saves its "
                                             "settings) and start again, or give this "
                                             "client a settings file of its own with "
                                             "--settings."),
                                {std::to_string(Pid)})
                   : rtl::Words(MORVID_WORDS("SettingsHolder",
                                             "Use the window that is already open, or close it and "
                                             "start again."));
    }
    return rtl::Words(MORVID_WORDS("SettingsHolder", "Start again when it has ended."));
}

ESettingsInUse::ESettingsInUse(const std::string& fileName, TSettingsHolder holder)
    : Exception(
          rtl::Words(MORVID_WORDS("SettingsHolder", "the settings file \"%1\" is in use by "
                                                    "%2; one settings file serves one client"),
                     {fileName, holder.Text()})),
      FHolder(std::move(holder)) {}

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
    throw ESettingsInUse(fileName, DescribeHolder(holder));
}

TSettingsLock::~TSettingsLock() {
    if (FHandle >= 0) {
        ::close(FHandle);
    }
}

} // namespace host
