#include "tests/host/delivery/SftpTestServer.h"

#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace morvid::test {

namespace {

void MakeKey(const std::string& file, const std::string& passphrase) {
    RunTool({"/usr/bin/ssh-keygen", "-q", "-t", "ed25519", "-N", passphrase, "-C", "morvid-test",
             "-f", file});
}

std::string PublicKey(const std::string& keyFile) {
    std::ifstream in(keyFile + ".pub");
    std::string type;
    std::string key;
    in >> type >> key;
    return type + " " + key;
}

} // namespace

TSftpTestServer::TSftpTestServer(int port, std::string folder)
    : FPort(port), FFolder(std::move(folder)) {
    const passwd* account = ::getpwuid(::geteuid());
    if (account == nullptr) {
        throw std::runtime_error("the tests' user has no account for sshd to log in");
    }
    FUser = account->pw_name;
    std::filesystem::create_directories(Folder());
    MakeKey(FFolder + "/host_key", "");
    MakeKey(FFolder + "/other_host_key", "");
    MakeKey(KeyFile(), "");
    MakeKey(LockedKeyFile(), "unlock-me");
    std::ofstream(FFolder + "/authorized_keys") << PublicKey(KeyFile()) << "\n"
                                                << PublicKey(LockedKeyFile()) << "\n";
    std::ofstream(FFolder + "/sshd_config")
        << "Port " << FPort << "\nListenAddress 127.0.0.1\n"
        << "HostKey " << FFolder << "/host_key\n"
        << "PidFile " << FFolder << "/sshd.pid\n"
        << "AuthorizedKeysFile " << FFolder
        << "/authorized_keys\n"
        // The test's folder lies below /tmp, which sshd's owner checks would refuse.
        << "StrictModes no\nUsePAM no\nPermitRootLogin yes\nPasswordAuthentication yes\n"
        << "KbdInteractiveAuthentication no\nLogLevel ERROR\n"
        // A session starts in the test's folder, which "/~/" in an address then means.
        << "Subsystem sftp internal-sftp -d " << FFolder << "\n";
    for (const TKnownHost kind : {TKnownHost::Right, TKnownHost::Changed, TKnownHost::Missing}) {
        const std::string address = kind == TKnownHost::Missing
                                        ? "[127.0.0.1]:" + std::to_string(FPort + 1)
                                        : "[127.0.0.1]:" + std::to_string(FPort);
        const std::string key = kind == TKnownHost::Changed ? "/other_host_key" : "/host_key";
        std::ofstream(KnownHostsFile(kind)) << address << " " << PublicKey(FFolder + key) << "\n";
    }
    Start();
}

void TSftpTestServer::Start() {
    // sshd started by root separates privileges into an empty folder fixed at its build, which a
    // fresh container may lack; started by anybody else it needs none.
    if (::geteuid() == 0) {
        ::mkdir("/run/sshd", 0755);
    }
    // sshd insists on an absolute path to itself, to start itself again for each connection.
    FProcess.Start({"/usr/sbin/sshd", "-D", "-e", "-f", FFolder + "/sshd_config"},
                   FFolder + "/sshd.log", FPort);
}

std::string TSftpTestServer::KnownHostsFile(TKnownHost kind) const {
    switch (kind) {
    case TKnownHost::Right:
        return FFolder + "/known_hosts";
    case TKnownHost::Changed:
        return FFolder + "/known_hosts_changed";
    case TKnownHost::Missing:
        return FFolder + "/known_hosts_other";
    }
    return {};
}

std::string TSftpTestServer::Url() const {
    return "sftp://127.0.0.1:" + std::to_string(FPort) + Folder();
}

} // namespace morvid::test
