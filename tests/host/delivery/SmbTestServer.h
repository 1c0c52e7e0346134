// The tests' real share: Samba's smbd on 127.0.0.1 with an smb.conf of its own (SMB2 and later
// only), its state, locks and user database in the test's folder, and one share on a folder there.
#pragma once

#include "tests/host/delivery/ServerProcess.h"

#include <string>

namespace morvid::test {

class TSmbTestServer {
public:
    // Starts smbd on `port` with everything in `folder`. smbd serves a user only when started by
    // root; raises std::runtime_error when it does not start.
    TSmbTestServer(int port, std::string folder);

    void Start();
    void Stop() { FProcess.Stop(); }
    bool Running() const noexcept { return FProcess.Running(); }

    int Port() const noexcept { return FPort; }
    // The share's user (an account of this machine, as smbd requires) and password.
    const std::string& User() const noexcept { return FUser; }
    static std::string Password() { return "Share-Secret-1"; }
    // The folder the share "reports" serves, and the address of its folder "daily".
    std::string Folder() const { return FFolder + "/share/daily"; }
    std::string Url() const;
    std::string ConfigFile() const { return FFolder + "/smb.conf"; }

private:
    int FPort;
    std::string FFolder;
    std::string FUser;
    TServerProcess FProcess;
};

} // namespace morvid::test
