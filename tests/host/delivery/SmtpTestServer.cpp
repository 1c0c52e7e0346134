#include "tests/host/delivery/SmtpTestServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace morvid::test {

int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("no free port on 127.0.0.1");
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

std::vector<std::string> Values(const TReceivedMail& mail, const std::string& key) {
    std::vector<std::string> values;
    for (auto [it, end] = mail.equal_range(key); it != end; ++it) {
        values.push_back(it->second);
    }
    return values;
}

std::string Value(const TReceivedMail& mail, const std::string& key) {
    const auto it = mail.find(key);
    return it == mail.end() ? std::string() : it->second;
}

TSmtpTestServer::TSmtpTestServer(int port, std::string folder, TSmtpServerOptions options)
    : FPort(port), FFolder(std::move(folder)) {
    const std::string script =
        std::string(std::getenv("MORVID_SOURCE_DIR")) + "/tests/host/delivery/smtp_test_server.py";
    std::vector<std::string> args{MORVID_SYSTEM_PYTHON, script,           "--port",
                                  std::to_string(port), "--folder",       FFolder,
                                  "--security",         options.Security, "--cert-names",
                                  options.CertNames};
    if (!options.User.empty()) {
        args.insert(args.end(), {"--user", options.User});
    }
    for (const std::string& address : options.Reject) {
        args.insert(args.end(), {"--reject", address});
    }
    if (options.StallFirst) {
        args.emplace_back("--stall-first");
    }
    if (!options.Answer.empty()) {
        std::filesystem::create_directories(FFolder);
        Answer(options.Answer);
    }
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    FPid = ::fork();
    if (FPid == 0) {
        ::dup2(ready[1], STDOUT_FILENO);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(ready[1]);
    char line[16] = {};
    const ssize_t got = ::read(ready[0], line, sizeof line - 1);
    // Kept open while the server runs: a server writing to a closed pipe would be ended by it.
    FReady = ready[0];
    if (got <= 0 || std::string(line).rfind("ready", 0) != 0) {
        ::kill(FPid, SIGTERM);
        ::waitpid(FPid, nullptr, 0);
        ::close(FReady);
        throw std::runtime_error("the test mail server did not start (see its stderr)");
    }
}

TSmtpTestServer::~TSmtpTestServer() {
    if (FPid > 0) {
        ::kill(FPid, SIGTERM);
        int status = 0;
        ::waitpid(FPid, &status, 0);
    }
    ::close(FReady);
}

void TSmtpTestServer::Answer(const std::string& reply) const {
    const std::string file = FFolder + "/answer";
    std::ofstream(file + ".part") << reply << "\n";
    std::rename((file + ".part").c_str(), file.c_str());
}

std::map<std::string, int> TSmtpTestServer::MessageIds() const {
    std::map<std::string, int> counts;
    for (const TReceivedMail& mail : Received()) {
        ++counts[Value(mail, "message-id")];
    }
    return counts;
}

std::vector<TReceivedMail> TSmtpTestServer::Received() const {
    std::vector<TReceivedMail> mails;
    for (int n = 1;; ++n) {
        std::ifstream in(FFolder + "/" + std::to_string(n) + ".txt");
        if (!in) {
            return mails;
        }
        TReceivedMail& mail = mails.emplace_back();
        for (std::string line; std::getline(in, line);) {
            if (const std::size_t colon = line.find(": "); colon != std::string::npos) {
                mail.emplace(line.substr(0, colon), line.substr(colon + 2));
            }
        }
    }
}

bool TSmtpTestServer::WaitForMails(std::size_t count) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (std::chrono::steady_clock::now() < until) {
        if (Received().size() >= count) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

} // namespace morvid::test
