#include "platform/host/registry/RegFile.h"

#include "platform/host/registry/Registry.h"
#include "platform/host/registry/SettingsLock.h"
#include "tests/host/registry/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace host;
using regtest::ReadFileBytes;
using regtest::TTempDir;
using regtest::WriteFileBytes;

namespace {

constexpr const char* Sample = R"(Windows Registry Editor Version 5.00

[\]
"Top"="level"

[\Settings]

[\Settings\Morvid]

[\Settings\Morvid\Schedules]

[\Settings\Morvid\Schedules\Item0]
"Name"="Door \"A\" at C:\\site"
"Enabled"=dword:00000001
"ReportId"=dword:ffffffd6
"LastRun"=hex:00,00,00,00,00,e0,e5,40
"LastRunResult"=hex(1):45,72,72,0a,32
@="unnamed"
"Empty"=hex:
"Blank"=""
"Grüße"="äöü"

[\Settings\Morvid\Schedules\Item1]

[\Settings\Morvid\Window]
"Height"=dword:000001e0

)";

void FillSample(TRegistry& reg) {
    reg.WriteString("Top", "level");
    reg.OpenKey("\\Settings\\Morvid\\Window", true);
    reg.WriteInteger("Height", 480);
    reg.OpenKey("\\Settings\\Morvid\\Schedules\\Item1", true);
    reg.OpenKey("\\Settings\\Morvid\\Schedules\\Item0", true);
    reg.WriteString("Name", "Door \"A\" at C:\\site");
    reg.WriteBool("Enabled", true);
    reg.WriteInteger("ReportId", -42);
    reg.WriteDateTime("LastRun", 44800.0);
    reg.WriteString("LastRunResult", "Err\n2");
    reg.WriteString("", "unnamed");
    reg.WriteBinaryData("Empty", {});
    reg.WriteString("Blank", "");
    reg.WriteString("Grüße", "äöü");
}

int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Tool() {
    const char* binary = std::getenv("MORVID_BINARY_DIR");
    return std::string(binary != nullptr ? binary : "..") + "/bin/quor-reg";
}

} // namespace

TEST(RegFile, ExportWritesTheRegTextForm) {
    TTempDir dir;
    TRegistry reg(dir.File("r.db"));
    FillSample(reg);
    EXPECT_EQ(ExportRegText(reg), Sample);
    EXPECT_EQ(ExportRegText(reg, "\\settings\\morvid\\window"),
              "Windows Registry Editor Version 5.00\n\n[\\Settings\\Morvid\\Window]\n"
              "\"Height\"=dword:000001e0\n\n");
    EXPECT_THROW(ExportRegText(reg, "\\Missing"), ERegistryException);
}

TEST(RegFile, ImportThenExportGivesTheSameBytes) {
    TTempDir dir;
    TRegistry reg(dir.File("r.db"));
    const auto count = ImportRegText(reg, Sample, "sample.reg");
    EXPECT_EQ(count.Keys, 7);
    EXPECT_EQ(count.Values, 11);
    EXPECT_EQ(ExportRegText(reg), Sample);
    ImportRegText(reg, Sample, "sample.reg"); // into itself: values are rewritten in place
    EXPECT_EQ(ExportRegText(reg), Sample);
    ASSERT_TRUE(reg.OpenKey("\\Settings\\Morvid\\Schedules\\Item0", false));
    EXPECT_EQ(reg.ReadInteger("ReportId"), -42);
    EXPECT_EQ(reg.ReadDateTime("LastRun"), 44800.0);
    EXPECT_EQ(reg.ReadString("LastRunResult"), "Err\n2");
}

TEST(RegFile, ImportTakesHandEditedFiles) {
    TTempDir dir;
    TRegistry reg(dir.File("r.db"));
    reg.OpenKey("\\Old\\Below", true);
    reg.OpenKey("\\Keep", true);
    reg.WriteString("Gone", "x");
    reg.WriteString("Stays", "y");
    const std::string text = "\xEF\xBB\xBF"
                             "Windows Registry Editor Version 5.00\r\n"
                             "\r\n"
                             "; a comment\r\n"
                             "[-\\Old]\r\n"
                             "[\\Keep]\r\n"
                             "\"Gone\"=-\r\n"
                             "  \"Blob\" = hex:01,02,\\\r\n"
                             "    0A,b\r\n"
                             "\"Short\"=dword:2a\r\n"
                             "[\\Bare\\\\Path\\]\r\n";
    ImportRegText(reg, text, "edited.reg");
    EXPECT_FALSE(reg.KeyExists("\\Old"));
    EXPECT_TRUE(reg.KeyExists("\\Bare\\Path"));
    ASSERT_TRUE(reg.OpenKey("\\Keep", false));
    EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string>{"Stays", "Blob", "Short"}));
    EXPECT_EQ(reg.ReadBinaryData("Blob"), (std::vector<std::uint8_t>{1, 2, 10, 11}));
    EXPECT_EQ(reg.ReadInteger("Short"), 42);
}

TEST(RegFile, MalformedLinesNameFileAndLineAndImportNothing) {
    const std::string header = "Windows Registry Editor Version 5.00\n\n";
    struct Case {
        std::string text;
        std::string message;
    } cases[] = {
        {"", "in.reg:1: expected the header line \"Windows Registry Editor Version 5.00\""},
        {"REGEDIT4\n",
         "in.reg:1: expected the header line \"Windows Registry Editor Version 5.00\""},
        {header + "\"A\"=\"x\"\n", "in.reg:3: a value outside a key section"},
        {header + "[\\K\n", "in.reg:3: a key line must end with ']'"},
        {header + "[\\K]\n\"A\"=\"x\"\n[-\\]\n", "in.reg:5: an empty key path"},
        {header + "[-\\K]\n\"A\"=\"x\"\n", "in.reg:4: a value outside a key section"},
        {header + "[\\K]\nA=\"x\"\n",
         "in.reg:4: expected a key line '[...]' or a value line '\"Name\"=...'"},
        {header + "[\\K]\n\"A\"\n", "in.reg:4: expected '=' after the value name"},
        {header + "[\\K]\n\"A=\"x\"\n", "in.reg:4: expected '=' after the value name"},
        {header + "[\\K]\n\"A\\n\"=\"x\"\n", "in.reg:4: unknown escape '\\n' in value name"},
        {header + "[\\K]\n\"A\"=\"x\n", "in.reg:4: unterminated string"},
        {header + "[\\K]\n\"A\"=\"x\" y\n", "in.reg:4: unexpected text after the string"},
        {header + "[\\K]\n\"A\"=dword:123456789\n", "in.reg:4: a dword needs 1 to 8 hex digits"},
        {header + "[\\K]\n\"A\"=dword:-1\n", "in.reg:4: invalid dword '-1'"},
        {header + "[\\K]\n\"A\"=hex:01,,02\n", "in.reg:4: invalid hex byte ''"},
        {header + "[\\K]\n\"A\"=hex:100\n", "in.reg:4: invalid hex byte '100'"},
        {header + "[\\K]\n\"A\"=hex:01,\\\n",
         "in.reg:4: the hex data goes on past the end of the file"},
        {header + "[\\K]\n\"A\"=hex(7):00\n", "in.reg:4: unsupported value type 'hex(7)'"},
        {header + "[\\K]\n\"A\"=42\n", "in.reg:4: expected a value: \"text\", dword:, hex: or -"},
        {header + "[\\K]\n\"A\"=\"x\"\n[\\K\tTab]\n",
         "in.reg:5: a key name with a control character"},
        {header + "[\\K]\n\"A\"=\"x\"\n\"B\tC\"=\"y\"\n",
         "in.reg:5: Failed to set data for 'B\tC' in key '\\K': the name contains control "
         "characters"},
    };
    TTempDir dir;
    TRegistry reg(dir.File("r.db"));
    reg.OpenKey("\\Before", true);
    reg.WriteString("Name", "kept");
    const std::string before = ExportRegText(reg);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            ImportRegText(reg, c.text, "in.reg");
            ADD_FAILURE() << "imported";
        } catch (const ERegFileError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_EQ(ExportRegText(reg), before);
        EXPECT_FALSE(reg.InTransaction());
    }
}

TEST(RegFile, ToolRoundTripsAndRefusesMalformedFiles) {
    TTempDir dir;
    const std::string tool = Tool();
    WriteFileBytes(dir.File("in.reg"), Sample);
    const std::string first = dir.File("first.db");
    const std::string second = dir.File("second.db");
    ASSERT_EQ(
        Shell(tool + " --settings " + first + " import " + dir.File("in.reg") + " >/dev/null"), 0);
    ASSERT_EQ(Shell(tool + " --settings " + first + " export > " + dir.File("out1.reg")), 0);
    EXPECT_EQ(ReadFileBytes(dir.File("out1.reg")), Sample);
    ASSERT_EQ(Shell(tool + " --settings=" + second + " import - < " + dir.File("out1.reg") +
                    " >/dev/null"),
              0);
    ASSERT_EQ(Shell(tool + " export --settings " + second + " > " + dir.File("out2.reg")), 0);
    EXPECT_EQ(ReadFileBytes(dir.File("out2.reg")), Sample);

    const std::string before = ReadFileBytes(dir.File("out1.reg"));
    WriteFileBytes(dir.File("bad.reg"), std::string(Sample) + "[\\New]\n\"X\"=dword:zz\n");
    EXPECT_EQ(Shell(tool + " --settings " + first + " import " + dir.File("bad.reg") + " 2> " +
                    dir.File("err.txt")),
              1);
    EXPECT_NE(
        ReadFileBytes(dir.File("err.txt")).find(dir.File("bad.reg") + ":29: invalid dword 'zz'"),
        std::string::npos)
        << ReadFileBytes(dir.File("err.txt"));
    ASSERT_EQ(Shell(tool + " --settings " + first + " export > " + dir.File("out3.reg")), 0);
    EXPECT_EQ(ReadFileBytes(dir.File("out3.reg")), before);

    EXPECT_EQ(Shell(tool + " --settings " + dir.File("none.db") + " import " + dir.File("bad.reg") +
                    " 2>/dev/null"),
              1);
    EXPECT_EQ(regtest::FileMode(dir.File("none.db")), -1) << "no registry made for a bad file";
    // A new installation has no settings yet: the whole registry exports as empty.
    EXPECT_EQ(Shell(tool + " --settings " + dir.File("none.db") + " export > " +
                    dir.File("none.reg") + " 2>/dev/null"),
              0);
    EXPECT_EQ(ReadFileBytes(dir.File("none.reg")), std::string(RegFileHeader) + "\n\n");
    EXPECT_EQ(regtest::FileMode(dir.File("none.db")), -1) << "an export makes no registry";
    WriteFileBytes(dir.File("foreign.db"), "not a registry");
    EXPECT_EQ(Shell(tool + " --settings " + dir.File("foreign.db") + " export 2>/dev/null"), 1);
    EXPECT_EQ(ReadFileBytes(dir.File("foreign.db")), "not a registry");
    EXPECT_EQ(Shell(tool + " --settings " + first + " export \\\\Missing 2>/dev/null"), 1);

    // While a client holds the settings its next save would undo an import: refused, naming it.
    // An export only reads.
    WriteFileBytes(dir.File("more.reg"), std::string(Sample) + "[\\New]\n\"X\"=dword:00000001\n");
    host::TSettingsLock client(first);
    EXPECT_EQ(Shell(tool + " --settings " + first + " import " + dir.File("more.reg") + " 2> " +
                    dir.File("err.txt")),
              1);
    EXPECT_NE(
        ReadFileBytes(dir.File("err.txt"))
            .find("is in use by test_host_regfi (process " + std::to_string(::getpid()) + ")"),
        std::string::npos)
        << ReadFileBytes(dir.File("err.txt"));
    EXPECT_EQ(Shell(tool + " --settings " + first + " export > " + dir.File("out4.reg")), 0);
    EXPECT_EQ(ReadFileBytes(dir.File("out4.reg")), before);
}

// A key thousands of levels deep exports to hundreds of megabytes of text (every section names
// its full path); the tool writes it as it goes, so its memory stays a small part of that.
TEST(RegFile, ToolExportOfADeepKeyStreamsInLittleMemory) {
    TTempDir dir;
    constexpr int Depth = 2000;
    const std::string name(200, 'k');
    {
        TRegistry reg(dir.File("deep.db"));
        host::TRegistryTransaction transaction(reg);
        for (int level = 0; level < Depth; ++level) {
            ASSERT_TRUE(reg.OpenKey(name, true)); // relative: one level further down
        }
        reg.WriteString("Bottom", "reached");
        transaction.Commit();
    }
    // About 400 MB of text; only its end is kept.
    const std::string tail = dir.File("tail.txt");
    ASSERT_EQ(
        Shell(Tool() + " --settings " + dir.File("deep.db") + " export | tail -c 22 > " + tail), 0);
    EXPECT_EQ(ReadFileBytes(tail), "]\n\"Bottom\"=\"reached\"\n\n");
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP()
        << "AddressSanitizer's allocator keeps freed memory: the tool's own peak is not seen";
#endif
    rusage usage{};
    ASSERT_EQ(::getrusage(RUSAGE_CHILDREN, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 100 * 1024) << "largest child's peak resident memory, in KiB";
}

TEST(RegFile, ToolHelpAndDefaultSettings) {
    TTempDir dir;
    const std::string tool = Tool();
    struct Case {
        std::string arguments;
        int exitCode;
        const char* expected; // in the output
    } cases[] = {
        {"--help", 0, "Usage: quor-reg [--settings FILE] COMMAND"},
        {"export --help", 0, "Usage: quor-reg [--settings FILE] export [KEY]"},
        {"import --help", 0, "Usage: quor-reg [--settings FILE] import FILE"},
        {"", 2, "Usage: quor-reg"},
        {"frobnicate", 2, "unknown command 'frobnicate'"},
        {"--verbose export", 2, "unknown option '--verbose'"},
        {"import", 2, "import takes one file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        EXPECT_EQ(Shell(tool + " " + c.arguments + " > " + dir.File("out.txt") + " 2>&1"),
                  c.exitCode);
        EXPECT_NE(ReadFileBytes(dir.File("out.txt")).find(c.expected), std::string::npos);
    }
    WriteFileBytes(dir.File("in.reg"), Sample);
    ASSERT_EQ(Shell("XDG_CONFIG_HOME=" + dir.File("cfg") + " " + tool + " import " +
                    dir.File("in.reg") + " >/dev/null"),
              0);
    TRegistry reg(dir.File("cfg/quor-client/registry.db"), true);
    EXPECT_EQ(ExportRegText(reg), Sample);
}
