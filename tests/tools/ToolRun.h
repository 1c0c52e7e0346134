// Runs a built command-line program as a monitoring system or an operator's shell would, and
// keeps what it wrote.
#pragma once

#include <string>
#include <vector>

namespace morvid::test {

struct TToolRun {
    int Code = -1; // the exit status; -1 when it ended on a signal
    std::string Out;
    std::string Err;
};

// The program `name` in bin/ of the build ctest runs (MORVID_BINARY_DIR); empty when the test
// was not started through ctest.
std::string BuiltTool(const std::string& name);

// Runs `program` with `args`, `input` on its standard input and the "NAME=value" entries of
// `environment` added to its environment; its input and output files go to `folder`. A run
// that has not ended after a minute is killed, so a hang fails the test instead of stalling it.
TToolRun RunTool(const std::string& program, const std::vector<std::string>& args,
                 const std::string& folder, const std::string& input = "",
                 const std::vector<std::string>& environment = {});

} // namespace morvid::test
