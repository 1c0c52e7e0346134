// The tests' web hook receiver: hook_test_server.py (python3's http.server) on 127.0.0.1 in a
// process of its own, and the bodies it was posted.
#pragma once

#include "tests/host/delivery/ServerProcess.h"

#include <string>
#include <vector>

namespace morvid::test {

class THookTestServer {
public:
    // Starts the receiver on `port`, keeping what it gets in `folder`; returns once it accepts
    // connections.
    THookTestServer(int port, std::string folder);
    THookTestServer(const THookTestServer&) = delete;
    THookTestServer& operator=(const THookTestServer&) = delete;

    std::string Url() const { return "http://127.0.0.1:" + std::to_string(FPort) + "/hook"; }
    // Each POST kept, in order: its Content-Type line, a line end, and its body.
    std::vector<std::string> Received() const;
    // From now on each POST is answered with `status` and not kept; 0 takes them again.
    void Answer(int status) const;

private:
    int FPort;
    std::string FFolder;
    TServerProcess FProcess;
};

} // namespace morvid::test
