// quor-client as a child process for the tests: started with arguments and environment, its
// standard output and error going to files the test reads while it runs.
#pragma once

#include "tests/support/TempDir.h"

#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace clienttest {

using morvid::test::ListDir;
using morvid::test::ReadFile;
using morvid::test::TTempDir;

// Polls `done` every 100 ms until it holds or `timeoutMs` has passed; returns `done()`.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);

// How the child's world differs from the test's.
struct TChildSetup {
    // RLIMIT_FSIZE in bytes; 0 leaves the limit as it is.
    unsigned long FileSizeLimit = 0;
    // Standard output is a pipe whose reading end is closed: every write to it fails.
    bool StdoutUnread = false;
};

class TClientProcess {
public:
    // Starts `program` with `args`; `env` entries (NAME=value) are added to the environment,
    // in place of an inherited variable of the same name.
    // Output goes to files in `outputDir`.
    TClientProcess(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& env, const std::string& outputDir,
                   const TChildSetup& setup = {});
    // Kills a child still running and reaps it.
    ~TClientProcess();
    TClientProcess(const TClientProcess&) = delete;
    TClientProcess& operator=(const TClientProcess&) = delete;

    void Signal(int signalNumber);
    // The exit code once the child has ended within the time-out; nothing otherwise. A child
    // ended by a signal gives 128 + the signal's number.
    std::optional<int> WaitForExit(int timeoutMs);
    bool Running();
    pid_t Pid() const noexcept { return FPid; }

    std::string Stdout() const { return ReadFile(FStdout); }
    std::string Stderr() const { return ReadFile(FStderr); }

private:
    pid_t FPid = -1;
    std::optional<int> FExitCode;
    std::string FStdout;
    std::string FStderr;
};

} // namespace clienttest
