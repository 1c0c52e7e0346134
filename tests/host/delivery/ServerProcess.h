// A server program started for a test in a process of its own, in the foreground, and ended with
// the test; ready once its port on 127.0.0.1 takes connections.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace morvid::test {

class TServerProcess {
public:
    TServerProcess() = default;
    ~TServerProcess() { Stop(); }
    TServerProcess(const TServerProcess&) = delete;
    TServerProcess& operator=(const TServerProcess&) = delete;

    // Runs `args` (an absolute program first) with its output in `log`; returns once `port` takes
    // connections. Raises std::runtime_error, quoting the log, when the program ends or does not
    // listen within a minute.
    void Start(const std::vector<std::string>& args, const std::string& log, int port);
    // Ends the program, and the connections it serves, and waits for it; nothing when none runs.
    void Stop();
    bool Running() const noexcept { return FPid > 0; }

private:
    pid_t FPid = -1;
};

// Runs `args` to its end with `input` on its standard input; raises std::runtime_error naming the
// program when it fails.
void RunTool(const std::vector<std::string>& args, const std::string& input = {});

} // namespace morvid::test
