#include "tests/host/delivery/HookTestServer.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace morvid::test {

THookTestServer::THookTestServer(int port, std::string folder)
    : FPort(port), FFolder(std::move(folder)) {
    std::filesystem::create_directories(FFolder);
    const std::string script =
        std::string(std::getenv("MORVID_SOURCE_DIR")) + "/tests/host/delivery/hook_test_server.py";
    FProcess.Start({MORVID_SYSTEM_PYTHON, script, std::to_string(port), FFolder},
                   FFolder + "/receiver.log", port);
}

std::vector<std::string> THookTestServer::Received() const {
    std::vector<std::string> bodies;
    for (int n = 1;; ++n) {
        std::ifstream in(FFolder + "/" + std::to_string(n) + ".json", std::ios::binary);
        if (!in) {
            return bodies;
        }
        std::ostringstream text;
        text << in.rdbuf();
        bodies.push_back(text.str());
    }
}

void THookTestServer::Answer(int status) const {
    const std::string file = FFolder + "/answer";
    if (status == 0) {
        std::remove(file.c_str());
        return;
    }
    std::ofstream(file + ".part") << status << "\n";
    std::rename((file + ".part").c_str(), file.c_str());
}

} // namespace morvid::test
