#include "tests/client/ClientProcess.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace clienttest {

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return done();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

TClientProcess::TClientProcess(const std::string& program, const std::vector<std::string>& args,
                               const std::vector<std::string>& env, const std::string& outputDir,
                               const TChildSetup& setup)
    : FStdout(outputDir + "/stdout.txt"), FStderr(outputDir + "/stderr.txt") {
    std::vector<std::string> argvText{program};
    argvText.insert(argvText.end(), args.begin(), args.end());
    // A variable given replaces the inherited one: the first of two is the one getenv finds.
    const auto given = [&](std::string_view entry) {
        const std::string_view name = entry.substr(0, entry.find('='));
        return std::any_of(env.begin(), env.end(), [&](const std::string& e) {
            return e.size() > name.size() && e.compare(0, name.size(), name) == 0 &&
                   e[name.size()] == '=';
        });
    };
    std::vector<std::string> envText;
    for (char** e = environ; *e != nullptr; ++e) {
        if (!given(*e)) {
            envText.emplace_back(*e);
        }
    }
    envText.insert(envText.end(), env.begin(), env.end());
    std::vector<char*> argv;
    for (std::string& a : argvText) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : envText) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    int unread[2] = {-1, -1};
    if (setup.StdoutUnread) {
        if (::pipe2(unread, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe failed");
        }
        ::close(unread[0]);
    }
    FPid = ::fork();
    if (FPid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (FPid == 0) {
        const int out = setup.StdoutUnread
                            ? unread[1]
                            : ::open(FStdout.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(FStderr.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) {
            ::_exit(126);
        }
        // As a user's shell leaves them, whatever the test runner ignores.
        ::signal(SIGPIPE, SIG_DFL);
        ::signal(SIGXFSZ, SIG_DFL);
        if (setup.FileSizeLimit > 0) {
            const rlimit limit{setup.FileSizeLimit, setup.FileSizeLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                ::_exit(125);
            }
        }
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    if (setup.StdoutUnread) {
        ::close(unread[1]);
    }
}

TClientProcess::~TClientProcess() {
    if (Running()) {
        ::kill(FPid, SIGKILL);
        int status = 0;
        ::waitpid(FPid, &status, 0);
    }
}

void TClientProcess::Signal(int signalNumber) {
    if (Running()) {
        ::kill(FPid, signalNumber);
    }
}

bool TClientProcess::Running() {
    if (FExitCode || FPid <= 0) {
        return false;
    }
    int status = 0;
    const pid_t done = ::waitpid(FPid, &status, WNOHANG);
    if (done == FPid) {
        FExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }
    return done == 0;
}

std::optional<int> TClientProcess::WaitForExit(int timeoutMs) {
    WaitUntil([this] { return !Running(); }, timeoutMs);
    return FExitCode;
}

} // namespace clienttest
