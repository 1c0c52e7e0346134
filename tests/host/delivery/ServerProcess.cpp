#include "tests/host/delivery/ServerProcess.h"

#include "tests/support/TempDir.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <netinet/in.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace morvid::test {

namespace {

pid_t Spawn(const std::vector<std::string>& args, const std::string& log, int input) {
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (std::string& arg : copy) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // A group of its own: a server's helpers end with it.
        ::setpgid(0, 0);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        ::dup2(input, STDIN_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (pid < 0) {
        throw std::runtime_error("cannot start " + args.front());
    }
    return pid;
}

std::vector<pid_t> Descendants(pid_t root) {
    std::multimap<pid_t, pid_t> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        // "pid (name) state ppid ...", the name in parentheses possibly holding blanks
        const std::size_t close = line.rfind(')');
        char state = 0;
        pid_t parent = 0;
        if (close != std::string::npos &&
            std::istringstream(line.substr(close + 1)) >> state >> parent) {
            children.emplace(parent, static_cast<pid_t>(std::atoi(line.c_str())));
        }
    }
    std::vector<pid_t> found{root};
    for (std::size_t i = 0; i < found.size(); ++i) {
        for (auto [it, end] = children.equal_range(found[i]); it != end; ++it) {
            found.push_back(it->second);
        }
    }
    found.erase(found.begin());
    return found;
}

bool Listens(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

} // namespace

void TServerProcess::Start(const std::vector<std::string>& args, const std::string& log, int port) {
    Stop();
    const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    FPid = Spawn(args, log, null);
    ::close(null);
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!Listens(port)) {
        int status = 0;
        if (::waitpid(FPid, &status, WNOHANG) == FPid) {
            FPid = -1;
            throw std::runtime_error(args.front() + " ended at its start: " + ReadFile(log));
        }
        if (std::chrono::steady_clock::now() > until) {
            Stop();
            throw std::runtime_error(args.front() + " does not listen: " + ReadFile(log));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void TServerProcess::Stop() {
    if (FPid <= 0) {
        return;
    }
    // A server's connections are processes of their own (sshd's in sessions of their own): they
    // end with it, so a stopped server cuts what is under way, as a crash would.
    const std::vector<pid_t> descendants = Descendants(FPid);
    ::kill(FPid, SIGTERM);
    for (const pid_t pid : descendants) {
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    ::waitpid(FPid, &status, 0);
    ::kill(-FPid, SIGKILL);
    FPid = -1;
}

void RunTool(const std::vector<std::string>& args, const std::string& input) {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    TTempDir dir("morvid-tool");
    const std::string log = dir.File("log");
    const pid_t pid = Spawn(args, log, pipe[0]);
    ::close(pipe[0]);
    const ssize_t written = ::write(pipe[1], input.data(), input.size());
    ::close(pipe[1]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (written != static_cast<ssize_t>(input.size()) || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        throw std::runtime_error(args.front() + " failed: " + ReadFile(log));
    }
}

} // namespace morvid::test
