// Mail delivery against a real mail server on 127.0.0.1, read back with a real MIME parser.
#include "platform/host/delivery/DeliveryWorker.h"
#include "platform/host/history/RunHistory.h"
#include "tests/host/delivery/SmtpTestServer.h"
#include "tests/support/TempDir.h"

#include <condition_variable>
#include <curl/curl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>

namespace {

using namespace morvid::test;

std::string WriteBytes(const std::string& path, std::size_t size) {
    std::ofstream out(path, std::ios::binary);
    for (std::size_t i = 0; i < size; ++i) {
        out.put(static_cast<char>((i * 7919) % 256)); // every byte value, CR and LF included
    }
    return path;
}

host::TMailMessage ReportMail(const TTempDir& dir) {
    host::TMailMessage mail;
    mail.From = {"Berichte Zentrale", "reports@example.org"};
    mail.To = {{"Jürgen Möller", "jm@example.de"}, {"Smith, Ann", "ann@example.org"}};
    mail.Cc = {{"", "cc@example.org"}};
    mail.Bcc = {{"", "hidden@example.org"}};
    mail.Subject = "Tagesbericht Türen für März – a long subject that needs more than one "
                   "encoded word to stay within the line limit";
    mail.Body = "Guten Morgen,\nthe report is attached.\n.\nA line with a lone dot above.";
    mail.Attachments = {{WriteBytes(dir.File("r.xlsx"), 70'000), "Türen März.xlsx"},
                        {WriteBytes(dir.File("r.csv"), 10), "doors.csv"}};
    mail.MessageId = host::NewMessageId(mail.From.AddrSpec);
    mail.Date = 1'800'000'000;
    return mail;
}

host::TSmtpServer ServerFor(const TSmtpTestServer& server, const std::string& security,
                            const std::string& password = "secret") {
    host::TSmtpServer out;
    out.Host = "127.0.0.1";
    out.Port = server.Port();
    out.Security = *host::MailSecurityFromText(security);
    out.User = "morvid";
    out.Password = password;
    out.ExtraCaFile = security == "none" ? "" : server.CaFile();
    return out;
}

class DeliveryTest : public testing::TestWithParam<const char*> {};

TEST_P(DeliveryTest, MailArrivesAsReadersDecodeIt) {
    TTempDir dir("morvid-mail");
    const TSmtpTestServer server(FreeLoopbackPort(), dir.Path(),
                                 {.Security = GetParam(), .User = "morvid:secret"});
    const host::TMailMessage mail = ReportMail(dir);

    const host::TSendResult result = host::SendMail(ServerFor(server, GetParam()), mail);

    ASSERT_EQ(result.Status, host::TSendStatus::Sent) << result.Reason;
    const std::vector<TReceivedMail> received = server.Received();
    ASSERT_EQ(received.size(), 1u);
    const TReceivedMail& got = received.front();
    EXPECT_EQ(Values(got, "envelope-to"),
              (std::vector<std::string>{"jm@example.de", "ann@example.org", "cc@example.org",
                                        "hidden@example.org"}));
    EXPECT_EQ(Value(got, "from"), "Berichte Zentrale <reports@example.org>");
    EXPECT_EQ(Value(got, "to"), "Jürgen Möller <jm@example.de>, \"Smith, Ann\" <ann@example.org>");
    EXPECT_EQ(Value(got, "cc"), "cc@example.org");
    EXPECT_EQ(Value(got, "bcc"), "");
    EXPECT_EQ(Value(got, "subject"), mail.Subject);
    EXPECT_EQ(Value(got, "message-id"), mail.MessageId);
    EXPECT_EQ(Values(got, "body"),
              (std::vector<std::string>{"Guten Morgen,", "the report is attached.", ".",
                                        "A line with a lone dot above."}));
    const std::vector<std::string> files = Values(got, "attachment");
    ASSERT_EQ(files.size(), 2u);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::size_t tab = files[i].find('\t');
        EXPECT_EQ(files[i].substr(0, tab), mail.Attachments[i].Name);
        EXPECT_EQ(ReadFile(files[i].substr(tab + 1)), ReadFile(mail.Attachments[i].Path));
    }
}

INSTANTIATE_TEST_SUITE_P(Security, DeliveryTest, testing::Values("starttls", "tls", "none"));

struct TRefusalCase {
    const char* Name;
    TSmtpServerOptions Server;
    std::string Password;
    std::string HostOverride; // empty: 127.0.0.1
    std::string Security;
    host::TSendStatus Status;
    std::string ReasonPart;
    // What else differs from a mail through good settings; nullptr: nothing.
    void (*Change)(host::TSmtpServer& settings, host::TMailMessage& mail) = nullptr;
};

class RefusalTest : public testing::TestWithParam<TRefusalCase> {};

TEST_P(RefusalTest, FailsWithTheServersOrTheTransportsReason) {
    const TRefusalCase& c = GetParam();
    TTempDir dir("morvid-mail");
    const TSmtpTestServer server(FreeLoopbackPort(), dir.Path(), c.Server);
    host::TSmtpServer settings = ServerFor(server, c.Security, c.Password);
    if (!c.HostOverride.empty()) {
        settings.Host = c.HostOverride;
    }
    host::TMailMessage mail = ReportMail(dir);
    mail.Bcc = {{"", "gone@example.org"}};
    if (c.Change != nullptr) {
        c.Change(settings, mail);
    }

    const host::TSendResult result = host::SendMail(settings, mail);

    EXPECT_EQ(result.Status, c.Status) << result.Reason;
    EXPECT_NE(result.Reason.find(c.ReasonPart), std::string::npos) << result.Reason;
    EXPECT_TRUE(server.Received().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusalTest,
    testing::Values(TRefusalCase{"UnknownRecipient",
                                 {.User = "morvid:secret", .Reject = {"gone@example.org"}},
                                 "secret",
                                 "",
                                 "starttls",
                                 host::TSendStatus::Permanent,
                                 "550 5.1.1 No such user here"},
                    TRefusalCase{"WrongPassword",
                                 {.User = "morvid:secret"},
                                 "guess",
                                 "",
                                 "starttls",
                                 host::TSendStatus::Permanent,
                                 "535"},
                    TRefusalCase{"CertificateForAnotherName",
                                 {.Security = "tls",
                                  .CertNames = "DNS:mail.example.org",
                                  .User = "morvid:secret"},
                                 "secret",
                                 "",
                                 "tls",
                                 host::TSendStatus::Permanent,
                                 "certificate"},
                    TRefusalCase{"PlainToAnotherMachine",
                                 {.Security = "none"},
                                 "secret",
                                 "192.0.2.1",
                                 "none",
                                 host::TSendStatus::Permanent,
                                 "not on this machine"},
                    TRefusalCase{"ServerClosing",
                                 {.User = "morvid:secret", .Answer = "421 4.3.2 Closing down"},
                                 "secret",
                                 "",
                                 "starttls",
                                 host::TSendStatus::Transient,
                                 "421 4.3.2 Closing down"},
                    TRefusalCase{"ServerBusy",
                                 {.User = "morvid:secret", .Answer = "451 4.3.0 Try again later"},
                                 "secret",
                                 "",
                                 "starttls",
                                 host::TSendStatus::Transient,
                                 "451 4.3.0 Try again later"},
                    TRefusalCase{"ServerRefusesTheMail",
                                 {.User = "morvid:secret", .Answer = "550 5.7.1 Refused"},
                                 "secret",
                                 "",
                                 "starttls",
                                 host::TSendStatus::Permanent,
                                 "550 5.7.1 Refused"},
                    TRefusalCase{"PasswordUnreadable",
                                 {.User = "morvid:secret"},
                                 "secret",
                                 "",
                                 "starttls",
                                 host::TSendStatus::Transient,
                                 "keyring is locked",
                                 [](host::TSmtpServer& settings, host::TMailMessage&) {
                                     settings.Unusable = "keyring is locked";
                                 }},
                    TRefusalCase{"NoServerSet",
                                 {},
                                 "secret",
                                 "",
                                 "starttls",
                                 host::TSendStatus::Transient,
                                 "No mail server is set",
                                 [](host::TSmtpServer& settings, host::TMailMessage&) {
                                     settings.Host.clear();
                                 }},
                    TRefusalCase{"AttachmentGone",
                                 {.User = "morvid:secret"},
                                 "secret",
                                 "",
                                 "starttls",
                                 host::TSendStatus::Permanent,
                                 "The attachment \"doors.csv\" is missing: ",
                                 [](host::TSmtpServer&, host::TMailMessage& mail) {
                                     ::unlink(mail.Attachments[1].Path.c_str());
                                 }}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(DeliveryTest, ServerRefusingTemporarilyOrAbsentIsTransient) {
    struct TCase {
        int CurlCode;
        long Reply;
        host::TSendStatus Status;
    };
    for (const TCase& c : {TCase{CURLE_COULDNT_CONNECT, 0, host::TSendStatus::Transient},
                           TCase{CURLE_OPERATION_TIMEDOUT, 0, host::TSendStatus::Transient},
                           TCase{CURLE_RECV_ERROR, 0, host::TSendStatus::Transient},
                           TCase{CURLE_SEND_ERROR, 421, host::TSendStatus::Transient},
                           TCase{CURLE_LOGIN_DENIED, 454, host::TSendStatus::Transient},
                           TCase{CURLE_LOGIN_DENIED, 535, host::TSendStatus::Permanent},
                           TCase{CURLE_SEND_ERROR, 550, host::TSendStatus::Permanent},
                           TCase{CURLE_PEER_FAILED_VERIFICATION, 0, host::TSendStatus::Permanent},
                           TCase{CURLE_READ_ERROR, 0, host::TSendStatus::Permanent}}) {
        EXPECT_EQ(host::ClassifyFailure(c.CurlCode, c.Reply), c.Status)
            << c.CurlCode << " " << c.Reply;
    }
}

TEST(DeliveryTest, AttachmentOverTheLimitStaysHomeAndTheMailSaysWhere) {
    TTempDir dir("morvid-mail");
    const TSmtpTestServer server(FreeLoopbackPort(), dir.Path(), {.User = "morvid:secret"});
    // The limit counts the file as the mail carries it: base64 makes 2.5 MiB into 3.4.
    struct TCase {
        std::int64_t Size;
        std::string Note;
    };
    for (const TCase& c :
         {TCase{3 * 1024 * 1024 + 1,
                "\"big.pdf\" (3.0 MiB, 4.1 MiB encoded) was not attached: larger than 3.0 MiB"},
          TCase{5 * 512 * 1024,
                "\"big.pdf\" (2.5 MiB, 3.4 MiB encoded) was not attached: larger than 3.0 MiB"},
          TCase{2 * 1024 * 1024, ""}}) {
        host::TMailMessage mail = ReportMail(dir);
        mail.Attachments.clear();
        const std::string big = WriteBytes(dir.File("big.pdf"), static_cast<std::size_t>(c.Size));

        const std::string note =
            host::AttachWithinLimit(mail, {big, "big.pdf"}, c.Size, 3 * 1024 * 1024);
        ASSERT_EQ(host::SendMail(ServerFor(server, "starttls"), mail).Status,
                  host::TSendStatus::Sent);

        EXPECT_EQ(note, c.Note);
        const TReceivedMail got = server.Received().back();
        EXPECT_EQ(Values(got, "attachment").size(), c.Note.empty() ? 1u : 0u) << c.Size;
        const std::vector<std::string> body = Values(got, "body");
        EXPECT_EQ(std::find(body.begin(), body.end(), big) != body.end(), !c.Note.empty());
    }
}

std::string NewHistory(const std::string& file) {
    const host::TRunHistory history(file);
    return file;
}

// The outbox's worker, on an outbox in a history file of its own, hearing each attempt's end.
class DeliveryWorkerTest : public testing::Test {
protected:
    DeliveryWorkerTest() {
        FSettings.Host = "127.0.0.1";
        FSettings.Port = FPort;
        FSettings.User = "morvid";
        FSettings.Password = "secret";
        FSettings.ExtraCaFile = FDir.File("ca.pem"); // made when the server starts
    }

    host::TOutboxEntry Queue(std::int64_t runId, std::vector<host::TMailAddress> to) {
        host::TOutboxEntry queued{.RunId = runId, .TaskId = "{t}", .TaskName = "Doors"};
        queued.Mail = ReportMail(FDir);
        queued.Mail.To = std::move(to);
        queued.Mail.Date = std::time(nullptr);
        FOutbox.Add(queued);
        return queued;
    }

    void StartWorker() {
        FWorker = std::make_unique<host::TDeliveryWorker>(
            FHistoryFile, FSettings,
            [this](const host::TOutboxEntry& mail) {
                const std::lock_guard<std::mutex> guard(FLock);
                FHeard.push_back(mail);
                FChanged.notify_all();
            },
            host::TRetryPolicy{.Waits = {1}, .ThenEvery = 1});
    }

    // The attempt `count` ended (a minute at most).
    // A process of its own that sends what is queued and ends when nothing is left.
    pid_t StartSender() {
        const pid_t pid = ::fork();
        if (pid == 0) {
            host::TOutbox outbox(FHistoryFile);
            host::TDeliveryWorker worker(FHistoryFile, FSettings, {});
            while (outbox.NextAttemptTime()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            ::_exit(0);
        }
        return pid;
    }

    const host::TOutboxEntry& Heard(std::size_t count) {
        std::unique_lock<std::mutex> guard(FLock);
        EXPECT_TRUE(FChanged.wait_for(guard, std::chrono::minutes(1),
                                      [&] { return FHeard.size() >= count; }));
        return FHeard.at(count - 1);
    }

    // The first attempt's end that is not a retry (a minute at most).
    host::TOutboxEntry HeardEnd() {
        std::unique_lock<std::mutex> guard(FLock);
        const auto ended = [&] {
            return std::find_if(FHeard.begin(), FHeard.end(), [](const host::TOutboxEntry& mail) {
                return mail.State != host::TDeliveryState::Queued;
            });
        };
        EXPECT_TRUE(FChanged.wait_for(guard, std::chrono::minutes(1),
                                      [&] { return ended() != FHeard.end(); }));
        return ended() != FHeard.end() ? *ended() : host::TOutboxEntry{};
    }

    TTempDir FDir{"morvid-mail"};
    std::string FHistoryFile = FDir.File("history.db");
    int FPort = FreeLoopbackPort();
    host::TSmtpServer FSettings;
    host::TOutbox FOutbox{NewHistory(FHistoryFile)};
    std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<host::TOutboxEntry> FHeard;
    std::unique_ptr<host::TDeliveryWorker> FWorker;
};

TEST_F(DeliveryWorkerTest, ServerDownAtFirstGetsTheMailOnceItIsUp) {
    const host::TOutboxEntry queued = Queue(7, {{"", "ops@example.org"}});
    StartWorker();

    const host::TOutboxEntry first = Heard(1);
    EXPECT_EQ(first.State, host::TDeliveryState::Queued);
    EXPECT_GT(first.NextAttempt, 0);
    EXPECT_NE(first.Reason.find("onnect"), std::string::npos) << first.Reason;
    const TSmtpTestServer server(FPort, FDir.Path(), {.User = "morvid:secret"});
    const host::TOutboxEntry sent = HeardEnd();

    EXPECT_EQ(sent.State, host::TDeliveryState::Sent);
    EXPECT_GE(sent.Attempts, 2);
    EXPECT_EQ(FOutbox.ForRun(7).at(0).Attempts, sent.Attempts);
    ASSERT_EQ(server.Received().size(), 1u);
    EXPECT_EQ(Value(server.Received()[0], "message-id"), queued.Mail.MessageId);
}

TEST_F(DeliveryWorkerTest, RefusedRecipientFailsAtOnceAndIsNotTriedAgain) {
    const TSmtpTestServer server(FPort, FDir.Path(),
                                 {.User = "morvid:secret", .Reject = {"nobody@example.org"}});
    Queue(8, {{"", "nobody@example.org"}});
    StartWorker();

    const host::TOutboxEntry ended = Heard(1);

    EXPECT_EQ(ended.State, host::TDeliveryState::Failed);
    EXPECT_EQ(ended.Attempts, 1);
    EXPECT_EQ(ended.Reason, "550 5.1.1 No such user here");
    EXPECT_EQ(FOutbox.NextAttemptTime(), std::nullopt);
    EXPECT_TRUE(server.Received().empty());
}

TEST_F(DeliveryWorkerTest, SenderKilledWhileSendingSendsAgainAfterRestartWithTheSameMessageId) {
    const TSmtpTestServer server(FPort, FDir.Path(), {.User = "morvid:secret", .StallFirst = true});
    const host::TOutboxEntry queued = Queue(9, {{"", "ops@example.org"}});

    const pid_t killed = StartSender();
    ASSERT_TRUE(server.WaitForMails(1)); // the server has it, the sender has no answer yet
    ::kill(killed, SIGKILL);
    ::waitpid(killed, nullptr, 0);
    // Still claimed by the sender that is gone: its successor takes the claim over at once.
    EXPECT_EQ(FOutbox.Find(queued.Id)->State, host::TDeliveryState::Sending);
    const pid_t restarted = StartSender();
    int status = -1;
    ::waitpid(restarted, &status, 0);

    EXPECT_EQ(status, 0);
    const host::TOutboxEntry ended = *FOutbox.Find(queued.Id);
    EXPECT_EQ(ended.State, host::TDeliveryState::Sent);
    EXPECT_EQ(ended.Attempts, 2);
    const std::vector<TReceivedMail> received = server.Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(Value(received[0], "message-id"), queued.Mail.MessageId);
    EXPECT_EQ(Value(received[1], "message-id"), queued.Mail.MessageId);
}

} // namespace
