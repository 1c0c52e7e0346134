#include "tests/host/delivery/SmbTestServer.h"

#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <stdexcept>
#include <unistd.h>

namespace morvid::test {

TSmbTestServer::TSmbTestServer(int port, std::string folder)
    : FPort(port), FFolder(std::move(folder)) {
    const passwd* account = ::getpwuid(::geteuid());
    if (account == nullptr) {
        throw std::runtime_error("the tests' user has no account for smbd to serve");
    }
    FUser = account->pw_name;
    for (const char* sub : {"lock", "state", "cache", "pid", "private", "ncalrpc"}) {
        std::filesystem::create_directories(FFolder + "/" + sub);
    }
    std::filesystem::create_directories(Folder());
    const std::string& d = FFolder;
    std::ofstream(ConfigFile())
        << "[global]\n"
        << "server role = standalone server\n"
        << "smb ports = " << FPort << "\n"
        << "interfaces = 127.0.0.1\nbind interfaces only = yes\n"
        << "lock directory = " << d << "/lock\nstate directory = " << d << "/state\n"
        << "cache directory = " << d << "/cache\npid directory = " << d << "/pid\n"
        << "private dir = " << d << "/private\nbinddns dir = " << d << "/private\n"
        << "ncalrpc dir = " << d << "/ncalrpc\nlog file = " << d << "/smbd.log\n"
        << "passdb backend = tdbsam:" << d << "/private/passdb.tdb\n"
        << "server min protocol = SMB2\n"
        << "disable netbios = yes\nload printers = no\nprintcap name = /dev/null\n"
        << "disable spoolss = yes\nmap to guest = never\nusershare path =\n"
        << "[reports]\npath = " << d << "/share\nread only = no\n";
    RunTool({"/usr/bin/smbpasswd", "-c", ConfigFile(), "-a", "-s", FUser},
            Password() + "\n" + Password() + "\n");
    Start();
}

void TSmbTestServer::Start() {
    FProcess.Start({"/usr/sbin/smbd", "--foreground", "--no-process-group", "--debug-stdout",
                    "--configfile=" + ConfigFile()},
                   FFolder + "/smbd.out", FPort);
}

std::string TSmbTestServer::Url() const {
    return "smb://127.0.0.1:" + std::to_string(FPort) + "/reports/daily";
}

} // namespace morvid::test
