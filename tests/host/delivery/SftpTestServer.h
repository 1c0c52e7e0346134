// The tests' real SFTP server: OpenSSH's sshd on 127.0.0.1 with its internal SFTP server, a host
// key made at start, and a client key it accepts; everything in the test's folder.
#pragma once

#include "tests/host/delivery/ServerProcess.h"

#include <string>

namespace morvid::test {

// Which key a known_hosts file lists for the server.
enum class TKnownHost { Right, Changed, Missing };

class TSftpTestServer {
public:
    // Starts sshd on `port` with its files in `folder`. Raises std::runtime_error when it does not
    // start.
    TSftpTestServer(int port, std::string folder);

    void Start();
    void Stop() { FProcess.Stop(); }
    bool Running() const noexcept { return FProcess.Running(); }

    int Port() const noexcept { return FPort; }
    // The account that logs in: the one the tests run as.
    const std::string& User() const noexcept { return FUser; }
    // A private key the server accepts, without a passphrase, and one locked by "unlock-me".
    std::string KeyFile() const { return FFolder + "/client_key"; }
    std::string LockedKeyFile() const { return FFolder + "/locked_key"; }
    // A known_hosts file with the server's key, another key for its address, or none for it.
    std::string KnownHostsFile(TKnownHost kind = TKnownHost::Right) const;
    // The folder uploads land in, and its address. A session starts in the folder above it.
    std::string Folder() const { return FFolder + "/files"; }
    std::string Url() const;

private:
    int FPort;
    std::string FFolder;
    std::string FUser;
    TServerProcess FProcess;
};

} // namespace morvid::test
