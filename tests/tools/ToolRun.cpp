#include "tests/tools/ToolRun.h"

#include "tests/support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <sys/wait.h>

namespace morvid::test {

std::string BuiltTool(const std::string& name) {
    const char* binaryDir = std::getenv("MORVID_BINARY_DIR");
    return binaryDir == nullptr ? std::string() : std::string(binaryDir) + "/bin/" + name;
}

namespace {

// `text` in single quotes for the shell, a quote inside it included.
std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

} // namespace

TToolRun RunTool(const std::string& program, const std::vector<std::string>& args,
                 const std::string& folder, const std::string& input,
                 const std::vector<std::string>& environment) {
    const std::string in = folder + "/in";
    const std::string out = folder + "/out";
    const std::string err = folder + "/err";
    std::ofstream(in, std::ios::binary) << input;
    std::string command;
    if (!environment.empty()) {
        command = "env";
        for (const std::string& variable : environment) {
            command += " " + ShellQuote(variable);
        }
        command += " ";
    }
    command += "timeout -k 5 60 " + ShellQuote(program);
    for (const std::string& arg : args) {
        command += " " + ShellQuote(arg);
    }
    command += " <" + ShellQuote(in) + " >" + ShellQuote(out) + " 2>" + ShellQuote(err);
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
}

} // namespace morvid::test
