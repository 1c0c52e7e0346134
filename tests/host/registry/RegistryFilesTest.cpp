// The registry file on disk: creation, refusal of files that are not ours, and processes sharing
// it.
#include "platform/host/registry/RegFile.h"
#include "platform/host/registry/Registry.h"
#include "platform/rtl/SysUtils.h"
#include "tests/host/registry/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace host;
using regtest::FileMode;
using regtest::ReadFileBytes;
using regtest::TTempDir;
using regtest::WriteFileBytes;

namespace {

void MakeSqliteFile(const std::string& fileName, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(fileName.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

// Restores the environment variable when the test ends.
class TEnvVar {
public:
    explicit TEnvVar(const char* name) : FName(name) {
        const char* value = std::getenv(name);
        FHad = value != nullptr;
        FValue = FHad ? value : "";
    }
    ~TEnvVar() {
        if (FHad) {
            ::setenv(FName, FValue.c_str(), 1);
        } else {
            ::unsetenv(FName);
        }
    }
    void Set(const char* value) {
        if (value == nullptr) {
            ::unsetenv(FName);
        } else {
            ::setenv(FName, value, 1);
        }
    }

private:
    const char* FName;
    bool FHad = false;
    std::string FValue;
};

} // namespace

TEST(RegistryFile, IsCreatedOwnerOnlyWithItsFolders) {
    TTempDir dir;
    const mode_t oldMask = ::umask(0);
    const std::string file = dir.File("a/b/registry.db");
    {
        TRegistry reg(file);
        reg.WriteString("Name", "x");
    }
    ::umask(oldMask);
    EXPECT_EQ(FileMode(file), 0600);
    EXPECT_EQ(FileMode(dir.File("a")), 0700);
    EXPECT_EQ(FileMode(dir.File("a/b")), 0700);
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        const int mode = FileMode(file + suffix);
        EXPECT_TRUE(mode == -1 || mode == 0600) << suffix << " " << std::oct << mode;
    }
}

TEST(RegistryFile, AnEmptyFileBecomesANewRegistry) {
    TTempDir dir;
    WriteFileBytes(dir.File("r.db"), "");
    TRegistry reg(dir.File("r.db"));
    reg.WriteInteger("X", 1);
    EXPECT_EQ(TRegistry(dir.File("r.db"), true).ReadInteger("X"), 1);
}

TEST(RegistryFile, ForeignAndDamagedFilesAreRefusedAndLeftAlone) {
    TTempDir dir;
    std::string damaged;
    {
        const std::string good = dir.File("good.db");
        {
            TRegistry reg(good);
            for (int i = 0; i < 200; ++i) {
                reg.OpenKey(rtl::Format("\\K%d", i), true);
                reg.WriteString("Name", std::string(100, 'x'));
            }
        }
        damaged = ReadFileBytes(good);
        ASSERT_GT(damaged.size(), 3 * 4096u);
        for (std::size_t i = 4096 + 8; i < 3 * 4096; ++i) {
            damaged[i] = static_cast<char>(0xA5); // b-tree pages, not the header
        }
    }
    struct Case {
        const char* name;
        std::function<void(const std::string&)> make;
        const char* reason;
    } cases[] = {
        {"text", [](const std::string& f) { WriteFileBytes(f, "[settings]\nname=x\n"); },
         "is not an SQLite database"},
        {"short", [](const std::string& f) { WriteFileBytes(f, "SQLite format 3"); },
         "is not an SQLite database"},
        {"foreign", [](const std::string& f) { MakeSqliteFile(f, "CREATE TABLE t(x)"); },
         "of another program"},
        {"foreignWal",
         [](const std::string& f) {
             MakeSqliteFile(f,
                            "PRAGMA journal_mode=WAL; CREATE TABLE t(x); INSERT INTO t VALUES(1)");
         },
         "of another program"},
        {"ourIdNoTables",
         [](const std::string& f) {
             MakeSqliteFile(f, "PRAGMA application_id = 1364346183; CREATE TABLE t(x)");
         },
         "is damaged or not a registry"},
        {"damaged", [&](const std::string& f) { WriteFileBytes(f, damaged); },
         "is damaged or not a registry"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir.File(std::string(c.name) + ".db");
        c.make(file);
        const std::string before = ReadFileBytes(file);
        for (const bool readOnly : {false, true}) {
            try {
                TRegistry reg(file, readOnly);
                ADD_FAILURE() << "opened";
            } catch (const ERegistryException& e) {
                EXPECT_NE(e.Message().find("'" + file + "'"), std::string::npos) << e.Message();
                EXPECT_NE(e.Message().find(c.reason), std::string::npos) << e.Message();
            }
        }
        EXPECT_EQ(ReadFileBytes(file), before);
    }
}

TEST(RegistryFile, DefaultPathFollowsTheXdgRules) {
    TEnvVar xdg("XDG_CONFIG_HOME");
    TEnvVar home("HOME");
    struct Case {
        const char* xdg;
        const char* home;
        const char* path;
    } cases[] = {
        {"/cfg", "/home/op", "/cfg/quor-client/registry.db"},
        {nullptr, "/home/op", "/home/op/.config/quor-client/registry.db"},
        {"", "/home/op", "/home/op/.config/quor-client/registry.db"},
        {"relative/cfg", "/home/op", "/home/op/.config/quor-client/registry.db"},
    };
    for (const auto& c : cases) {
        xdg.Set(c.xdg);
        home.Set(c.home);
        EXPECT_EQ(DefaultRegistryPath(), c.path);
    }
}

namespace {

// Runs body in a child process; the exit code tells the parent whether it held.
pid_t RunChild(const std::function<void()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        int code = 0;
        try {
            body();
        } catch (...) {
            code = 1;
        }
        ::_exit(code);
    }
    return pid;
}

int WaitChild(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

} // namespace

TEST(RegistryFile, TwoProcessesSavingAtOnceEachCommitWhole) {
    TTempDir dir;
    const std::string file = dir.File("shared.db");
    { TRegistry create(file); }
    constexpr int Rounds = 40;
    constexpr int Values = 15;
    auto writer = [&](const std::string& tag) {
        TRegistry reg(file);
        for (int round = 0; round < Rounds; ++round) {
            TRegistryTransaction transaction(reg);
            reg.DeleteKey("\\Shared");
            reg.OpenKey("\\Shared", true);
            for (int v = 0; v < Values; ++v) {
                reg.WriteString(rtl::Format("V%d", v), tag + std::to_string(round));
            }
            reg.OpenKey("\\Own\\" + tag + rtl::Format("\\R%d", round), true);
            reg.WriteInteger("Round", round);
            transaction.Commit();
        }
    };
    const pid_t first = RunChild([&] { writer("a"); });
    const pid_t second = RunChild([&] { writer("b"); });
    ASSERT_EQ(WaitChild(first), 0);
    ASSERT_EQ(WaitChild(second), 0);

    TRegistry reg(file, true);
    ASSERT_TRUE(reg.OpenKey("\\Shared", false));
    const auto names = reg.GetValueNames();
    ASSERT_EQ(names.size(), static_cast<std::size_t>(Values));
    const std::string last = reg.ReadString("V0");
    for (const auto& name : names) {
        EXPECT_EQ(reg.ReadString(name), last) << "values of two saves mixed";
    }
    for (const char* tag : {"a", "b"}) {
        ASSERT_TRUE(reg.OpenKey(std::string("\\Own\\") + tag, false));
        EXPECT_EQ(reg.GetKeyNames().size(), static_cast<std::size_t>(Rounds));
    }
}

TEST(RegistryFile, AProcessDyingInsideASaveLeavesTheOldSettings) {
    TTempDir dir;
    const std::string file = dir.File("r.db");
    {
        TRegistry reg(file);
        reg.OpenKey("\\Settings", true);
        reg.WriteString("Name", "old");
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        TRegistry* reg = new TRegistry(file); // never closed: the process just ends
        reg->BeginTransaction();
        reg->OpenKey("\\Settings", true);
        reg->WriteString("Name", "new");
        reg->OpenKey("\\Settings\\Half", true);
        ::_exit(0);
    }
    ASSERT_EQ(WaitChild(pid), 0);
    TRegistry reg(file);
    ASSERT_TRUE(reg.OpenKey("\\Settings", false));
    EXPECT_EQ(reg.ReadString("Name"), "old");
    EXPECT_FALSE(reg.HasSubKeys());
    reg.WriteString("Name", "after"); // the dead writer's lock is gone
    EXPECT_EQ(reg.ReadString("Name"), "after");
}
