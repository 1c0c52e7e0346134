// Copies to a real SFTP server (sshd) and a real share (smbd) on 127.0.0.1, each table run
// against both.
#include "platform/host/delivery/FileTransfer.h"

#include "tests/host/delivery/SftpTestServer.h"
#include "tests/host/delivery/SmbTestServer.h"
#include "tests/host/delivery/SmtpTestServer.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <unistd.h>

namespace {

using namespace morvid::test;
using host::TNameClash;
using host::TSendStatus;
using TFolder = std::map<std::string, std::string>; // name -> content

enum class TProtocol { Sftp, Smb };

struct TServers {
    TTempDir Dir{"morvid-transfer"};
    std::unique_ptr<TSftpTestServer> Sftp;
    std::unique_ptr<TSmbTestServer> Smb;
};

TServers* Servers = nullptr;

class TransferTest : public testing::TestWithParam<TProtocol> {
public:
    static void SetUpTestSuite() {
        Servers = new TServers;
        Servers->Sftp =
            std::make_unique<TSftpTestServer>(FreeLoopbackPort(), Servers->Dir.File("sftp"));
        if (::geteuid() == 0) {
            Servers->Smb =
                std::make_unique<TSmbTestServer>(FreeLoopbackPort(), Servers->Dir.File("smb"));
        }
    }
    static void TearDownTestSuite() { delete Servers; }

protected:
    void SetUp() override {
        if (!Sftp() && Servers->Smb == nullptr) {
            GTEST_SKIP() << "smbd serves a user only when the tests run as root";
        }
        std::filesystem::remove_all(Folder());
        std::filesystem::create_directories(Folder());
    }
    void TearDown() override {
        if (!IsSkipped()) {
            Start(); // a row that stopped the server leaves it running for the next test
        }
    }

    bool Sftp() const { return GetParam() == TProtocol::Sftp; }
    std::string Folder() const { return Sftp() ? Servers->Sftp->Folder() : Servers->Smb->Folder(); }
    std::string Url() const { return Sftp() ? Servers->Sftp->Url() : Servers->Smb->Url(); }
    void Stop() const { Sftp() ? Servers->Sftp->Stop() : Servers->Smb->Stop(); }
    void Start() const {
        if (Sftp() ? !Servers->Sftp->Running() : !Servers->Smb->Running()) {
            Sftp() ? Servers->Sftp->Start() : Servers->Smb->Start();
        }
    }
    host::TTransferLogin Login() const {
        if (Sftp()) {
            return {.User = Servers->Sftp->User(),
                    .KeyFile = Servers->Sftp->KeyFile(),
                    .KnownHostsFile = Servers->Sftp->KnownHostsFile()};
        }
        return {.User = Servers->Smb->User(), .Password = TSmbTestServer::Password()};
    }
    host::TTransferResult Copy(const std::vector<host::TTransferFile>& files, TNameClash clash,
                               const host::TPlacingListener& placing = {},
                               const host::TTransferLogin* login = nullptr,
                               const std::string& url = {},
                               const std::atomic<bool>* cancel = nullptr) const {
        const auto copy = Sftp() ? &host::CopyOverSftp : &host::CopyToShare;
        return copy(url.empty() ? Url() : url, login != nullptr ? *login : Login(), files, clash,
                    placing, cancel);
    }
    std::string Source(const std::string& content) const {
        const std::string path = Servers->Dir.File("source-" + std::to_string(++FSources));
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    TFolder Listing() const {
        TFolder folder;
        for (const std::string& name : ListDir(Folder())) {
            folder[name] = ReadFile(Folder() + "/" + name);
        }
        return folder;
    }

private:
    mutable int FSources = 0;
};

// The rule for a name that exists, the name an earlier attempt recorded, and what a reader of the
// folder sees under the name while the file is written.
TEST_P(TransferTest, NamesFollowTheClashRuleAndAnEarlierAttempt) {
    const std::string odd = "Türen März 100% #1.csv";
    struct TRow {
        const char* Case;
        TFolder Before;
        TNameClash Clash;
        std::string Name;
        std::string Placed;
        std::string Expected; // the name the file has afterwards
        TFolder After;        // the whole folder afterwards: no temporary or old file left
        // Under `Name` while the new file is written: "-" for no file, "" when nothing is copied.
        std::string WhileCopied;
    };
    const std::string fresh = "new-report";
    using enum TNameClash;
    // clang-format off
    const std::vector<TRow> rows{
        {"a new name", {}, Replace, "r.csv", "", "r.csv", {{"r.csv", fresh}}, "-"},
        {"a name of spaces and signs", {}, KeepBoth, odd, "", odd, {{odd, fresh}}, "-"},
        {"replace", {{"r.csv", "old"}}, Replace, "r.csv", "", "r.csv", {{"r.csv", fresh}}, "old"},
        {"keep both", {{"r.csv", "old"}}, KeepBoth, "r.csv", "", "r_2.csv",
         {{"r.csv", "old"}, {"r_2.csv", fresh}}, "old"},
        {"keep both past _2", {{"r.csv", "a"}, {"r_2.csv", "b"}}, KeepBoth, "r.csv", "", "r_3.csv",
         {{"r.csv", "a"}, {"r_2.csv", "b"}, {"r_3.csv", fresh}}, "a"},
        {"placed with the right size counts", {{"r.csv", "a"}, {"r_2.csv", "same-size!"}},
         KeepBoth, "r.csv", "r_2.csv", "r_2.csv", {{"r.csv", "a"}, {"r_2.csv", "same-size!"}}, ""},
        {"placed with the wrong size is copied again", {{"r.csv", "cut"}}, Replace, "r.csv",
         "r.csv", "r.csv", {{"r.csv", fresh}}, "cut"},
        {"placed but gone is copied again", {}, KeepBoth, "r.csv", "r_2.csv", "r.csv",
         {{"r.csv", fresh}}, "-"},
    };
    // clang-format on
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Case);
        std::filesystem::remove_all(Folder());
        std::filesystem::create_directories(Folder());
        for (const auto& [name, content] : row.Before) {
            std::ofstream(Folder() + "/" + name) << content;
        }
        std::vector<std::string> told;
        std::string seen = "?";
        TFolder hidden;
        const auto placing = [&](std::size_t index, const std::string& name) {
            if (index == 0) {
                return;
            }
            told.push_back(name);
            const bool there = std::filesystem::exists(Folder() + "/" + row.Name);
            seen = there ? ReadFile(Folder() + "/" + row.Name) : "-";
            for (const auto& [file, content] : Listing()) {
                if (row.Before.count(file) == 0 && file != "other.pdf") {
                    hidden[file] = content;
                }
            }
        };
        const host::TTransferResult result =
            Copy({{Source("other"), "other.pdf", ""}, {Source(fresh), row.Name, row.Placed}},
                 row.Clash, placing);

        ASSERT_EQ(result.Status, TSendStatus::Sent) << result.Reason;
        EXPECT_EQ(result.Placed, (std::vector<std::string>{"other.pdf", row.Expected}));
        TFolder after = row.After;
        after["other.pdf"] = "other";
        EXPECT_EQ(Listing(), after);
        const bool copied = !row.WhileCopied.empty();
        EXPECT_EQ(told,
                  copied ? std::vector<std::string>{row.Expected} : std::vector<std::string>{});
        if (copied) {
            EXPECT_EQ(seen, row.WhileCopied);
            // While written, the new file is complete under one hidden name only.
            ASSERT_EQ(hidden.size(), 1u);
            EXPECT_EQ(hidden.begin()->first.front(), '.');
            EXPECT_EQ(hidden.begin()->second, fresh);
        }
    }
}

// A failure for good or for now, and what is left in the folder: never a file under its name.
TEST_P(TransferTest, FailuresAreTransientOrPermanentAsTheCauseSays) {
    struct TRow {
        const char* Case;
        std::optional<TProtocol> Only;
        std::function<void(host::TTransferLogin&, std::string& url, std::string& name)> Break;
        TSendStatus Expected;
        std::string Reason;
    };
    const auto noop = [](host::TTransferLogin&, std::string&, std::string&) {};
    const std::vector<TRow> rows{
        {"the server is down", {}, noop, TSendStatus::Transient, ""},
        {"a wrong password",
         {},
         [](auto& login, auto&, auto&) {
             login.KeyFile.clear();
             login.Password = "wrong";
         },
         TSendStatus::Permanent,
         "refused"},
        {"a missing folder",
         {},
         [](auto&, auto& url, auto&) { url += "/absent"; },
         TSendStatus::Permanent,
         "missing"},
        {"a name with a folder",
         {},
         [](auto&, auto&, auto& name) { name = "../up.csv"; },
         TSendStatus::Permanent,
         "no folder"},
        {"a missing share", TProtocol::Smb,
         [](auto&, auto& url, auto&) { url = url.substr(0, url.find("/reports")) + "/none"; },
         TSendStatus::Permanent, "missing"},
        {"an unknown host key", TProtocol::Sftp,
         [](auto& login, auto&, auto&) {
             login.KnownHostsFile = Servers->Sftp->KnownHostsFile(TKnownHost::Missing);
         },
         TSendStatus::Permanent, "not in"},
        {"a changed host key", TProtocol::Sftp,
         [](auto& login, auto&, auto&) {
             login.KnownHostsFile = Servers->Sftp->KnownHostsFile(TKnownHost::Changed);
         },
         TSendStatus::Permanent, "changed"},
        {"no known_hosts file", TProtocol::Sftp,
         [](auto& login, auto&, auto&) { login.KnownHostsFile.clear(); }, TSendStatus::Permanent,
         "known_hosts"},
        {"a locked key and a wrong passphrase", TProtocol::Sftp,
         [](auto& login, auto&, auto&) {
             login.KeyFile = Servers->Sftp->LockedKeyFile();
             login.Password = "wrong";
         },
         TSendStatus::Permanent, "refused"},
        {"a folder below the home", TProtocol::Sftp,
         [](auto&, auto& url, auto&) {
             url = "sftp://127.0.0.1:" + std::to_string(Servers->Sftp->Port()) + "/~/files";
         },
         TSendStatus::Sent, ""},
        {"a locked key and its passphrase", TProtocol::Sftp,
         [](auto& login, auto&, auto&) {
             login.KeyFile = Servers->Sftp->LockedKeyFile();
             login.Password = "unlock-me";
         },
         TSendStatus::Sent, ""},
    };
    for (const TRow& row : rows) {
        if (row.Only && *row.Only != (Sftp() ? TProtocol::Sftp : TProtocol::Smb)) {
            continue;
        }
        SCOPED_TRACE(row.Case);
        host::TTransferLogin login = Login();
        std::string url = Url();
        std::string name = "r.csv";
        row.Break(login, url, name);
        if (std::string(row.Case) == "the server is down") {
            Stop();
        }
        const host::TTransferResult result =
            Copy({{Source("data"), name, ""}}, TNameClash::Replace, {}, &login, url);
        Start();

        EXPECT_EQ(result.Status, row.Expected) << result.Reason;
        EXPECT_NE(result.Reason.find(row.Reason), std::string::npos) << result.Reason;
        EXPECT_EQ(result.Placed, std::vector<std::string>{
                                     row.Expected == TSendStatus::Sent ? name : std::string()});
        std::filesystem::remove(Folder() + "/r.csv");
        EXPECT_EQ(ListDir(Folder()), std::vector<std::string>{});
    }
}

// What the outbox does with a transient failure: the same call again, once the cause is gone,
// delivers; a cancelled attempt and a listener that cannot record the name leave the file hidden.
TEST_P(TransferTest, AnAttemptAfterATransientFailureDelivers) {
    const std::string source = Source("report");
    struct TRow {
        const char* Case;
        std::function<host::TTransferResult()> Fail;
    };
    const std::atomic<bool> cancelled{true};
    const std::vector<TRow> rows{
        {"the server was down",
         [&] {
             Stop();
             return Copy({{source, "r.csv", ""}}, TNameClash::Replace);
         }},
        {"the attempt was cancelled",
         [&] {
             return Copy({{source, "r.csv", ""}}, TNameClash::Replace, {}, nullptr, {}, &cancelled);
         }},
        {"the name could not be recorded",
         [&] {
             return Copy({{source, "r.csv", ""}}, TNameClash::Replace,
                         [](std::size_t, const std::string&) { throw std::runtime_error("full"); });
         }},
        {"the server went away before the rename",
         [&] {
             return Copy({{source, "r.csv", ""}}, TNameClash::Replace,
                         [&](std::size_t, const std::string&) { Stop(); });
         }},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Case);
        const host::TTransferResult failed = row.Fail();
        Start();
        EXPECT_EQ(failed.Status, TSendStatus::Transient) << failed.Reason;
        EXPECT_FALSE(std::filesystem::exists(Folder() + "/r.csv"));

        const host::TTransferResult again = Copy({{source, "r.csv", ""}}, TNameClash::Replace);

        ASSERT_EQ(again.Status, TSendStatus::Sent) << again.Reason;
        EXPECT_EQ(Listing(), (TFolder{{"r.csv", "report"}}));
        std::filesystem::remove(Folder() + "/r.csv");
    }
}

INSTANTIATE_TEST_SUITE_P(Protocols, TransferTest, testing::Values(TProtocol::Sftp, TProtocol::Smb),
                         [](const auto& info) {
                             return info.param == TProtocol::Sftp ? "Sftp" : "Smb";
                         });

} // namespace
