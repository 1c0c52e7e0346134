// A delivery's life through the outbox under faults: every write of the history's file failing
// once in turn, for a mail and for a copy to an SFTP folder; two senders on one file, a file
// replaced or removed while its mail waits, the mail that goes with its run, and entries written
// off the window's thread. Against a real
// mail server and a real SFTP server on 127.0.0.1.
#include "platform/host/delivery/DeliveryWorker.h"
#include "platform/host/delivery/OutboxFeeder.h"
#include "platform/host/history/HistoryStatement.h"
#include "platform/host/history/RunHistory.h"
#include "tests/host/delivery/SftpTestServer.h"
#include "tests/host/delivery/SmtpTestServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/VirtualClock.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <thread>

namespace {

using namespace morvid::test;

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

host::TSmtpServer PlainServer(const TSmtpTestServer& server) {
    host::TSmtpServer settings;
    settings.Host = "127.0.0.1";
    settings.Port = server.Port();
    settings.Security = host::TMailSecurity::None;
    return settings;
}

// A run of the task "Doors" that wrote `file`, and its mail with the file attached.
host::TRunRecord DoorsRun(const std::string& file, rtl::TDateTime started) {
    host::TRunRecord run;
    run.TaskId = "{DOORS}";
    run.TaskName = "Doors";
    run.Format = "CSV";
    run.Started = run.Ended = started;
    run.Result = "OK";
    run.FileName = file;
    return run;
}

host::TOutboxEntry DoorsMail(const host::TRunRecord& run, std::int64_t now,
                             const std::string& = {}) {
    host::TOutboxEntry mail;
    mail.RunStarted = run.Started;
    mail.RunFormat = run.Format;
    mail.TaskId = run.TaskId;
    mail.TaskName = run.TaskName;
    mail.Mail.From = {"", "reports@example.org"};
    mail.Mail.To = {{"", "ops@example.org"}};
    mail.Mail.Subject = "Doors";
    mail.Mail.Body = "Attached.";
    mail.Mail.Attachments = {{run.FileName, "doors.csv"}};
    mail.Mail.MessageId = host::NewMessageId("reports@example.org");
    mail.Mail.Date = now;
    return mail;
}

bool Done(const std::optional<host::TOutboxEntry>& mail) {
    return mail && (mail->State == host::TDeliveryState::Sent ||
                    mail->State == host::TDeliveryState::Failed);
}

std::size_t SpoolFolders(const std::string& historyFile) {
    std::error_code error;
    const std::filesystem::directory_iterator folders(historyFile + "-spool", error);
    return error ? 0 : static_cast<std::size_t>(std::distance(begin(folders), end(folders)));
}

// What the sweep delivers: a mail, or a copy of the run's file to an SFTP folder, whose life
// has one more write (the file's final name, before it shows).
struct TSweepKind {
    const char* Name;
    std::function<host::TOutboxEntry(const host::TRunRecord& run, std::int64_t now,
                                     const std::string& tag)>
        Entry;
    // How many copies of the entry arrived.
    std::function<int(const host::TOutboxEntry& entry, const std::string& tag)> Copies;
};

TEST(OutboxFaultTest, EveryWriteOfADeliverysLifeFailingOnceDeliversItOnceAndLosesNoFile) {
    TTempDir dir("morvid-mail");
    const TSmtpTestServer server(FreeLoopbackPort(), dir.File("server"), {.Security = "none"});
    const TSftpTestServer sftp(FreeLoopbackPort(), dir.File("sftp"));
    const TSweepKind kinds[] = {
        {"mail", DoorsMail,
         [&](const host::TOutboxEntry& mail, const std::string&) {
             return server.MessageIds()[mail.Mail.MessageId];
         }},
        // Keeping both names, a second copy would show as "<tag>_2.csv".
        {"SFTP copy",
         [&](const host::TRunRecord& run, std::int64_t now, const std::string& tag) {
             host::TOutboxEntry copy = DoorsMail(run, now);
             copy.Mail.To.clear();
             copy.Mail.Attachments = {{run.FileName, tag + ".csv"}};
             copy.Target = sftp.Url() + " credential=archive exists=keep-both known-hosts=" +
                           sftp.KnownHostsFile();
             return copy;
         },
         [&](const host::TOutboxEntry&, const std::string& tag) {
             int copies = 0;
             for (const auto& file : std::filesystem::directory_iterator(sftp.Folder())) {
                 copies += file.path().filename().string().rfind(tag, 0) == 0 ? 1 : 0;
             }
             return copies;
         }},
    };
    const host::TLoginSource logins = [&](const host::TDeliveryTarget&) {
        return host::TTransferLogin{.User = sftp.User(), .KeyFile = sftp.KeyFile()};
    };
    struct TFault {
        const char* Name;
        int Code;
    };
    for (const TSweepKind& kind : kinds) {
        for (const TFault& fault : {TFault{"busy", SQLITE_BUSY}, TFault{"full", SQLITE_FULL},
                                    TFault{"I/O error", SQLITE_IOERR_WRITE}}) {
            int failed = 0, delivered = 0, duplicates = 0, lost = 0;
            // The clean life counts the writes; then each of them fails once in turn.
            std::int64_t writes = 0;
            for (std::int64_t nth = 0; nth <= writes; ++nth) {
                const std::string tag = std::string(kind.Name).substr(0, 4) + "-" +
                                        std::to_string(fault.Code) + "-" + std::to_string(nth);
                SCOPED_TRACE(std::string(kind.Name) + ", " + fault.Name + ", write " +
                             std::to_string(nth));
                const std::string folder = dir.File(tag);
                std::filesystem::create_directories(folder);
                const std::string historyFile = folder + "/history.db";
                const std::string report = folder + "/doors.csv";
                WriteText(report, "door;opened\n" + std::string(4000, 'x') + "\n");
                host::TRunHistory history(historyFile);
                host::TOutbox outbox(historyFile);
                TVirtualClock clock(UnixMsOfUtc(2026, 12, 8, 6, 0, 0));
                const TClockScope scope(clock);
                host::TRunRecord run = DoorsRun(report, 46364.25 + static_cast<double>(nth));
                host::TOutboxEntry mail = kind.Entry(run, clock.UnixMs() / 1000, tag);

                host::FailSqliteWrite(nth, fault.Code);
                std::string notQueued;
                try {
                    outbox.Add(mail);
                } catch (const host::EOutboxError& e) {
                    notQueued = e.what();
                }
                // The history's writer thread tries a failed record again.
                for (int attempt = 0; attempt < 2 && run.Id == 0; ++attempt) {
                    try {
                        history.Record(run);
                    } catch (const host::ERunHistoryError&) {
                    }
                }
                std::optional<host::TOutboxEntry> ended;
                if (notQueued.empty()) {
                    // The delivery's end is noted on its run, as the client notes it.
                    host::TDeliveryWorker worker(historyFile, PlainServer(server),
                                                 [&](const host::TOutboxEntry& sent) {
                                                     history.AppendNote(sent.RunId, "sent");
                                                 });
                    worker.SetLogins(logins);
                    while (!Done(ended = outbox.Find(mail.Id)) && clock.AwaitWait()) {
                        clock.Elapse();
                    }
                }
                const std::int64_t counted = host::FailSqliteWrite(0, SQLITE_OK);
                if (nth == 0) {
                    writes = counted;
                    continue;
                }
                ++failed;
                const int copies = kind.Copies(mail, tag);
                delivered += copies > 0 ? 1 : 0;
                duplicates += copies > 1 ? copies - 1 : 0;
                const bool fileKept = host::RegularFileFacts(report).has_value();
                lost += fileKept ? 0 : 1;

                EXPECT_TRUE(fileKept);
                EXPECT_EQ(SpoolFolders(historyFile), 0u);
                if (!notQueued.empty()) {
                    // Told to the run as a delivery that failed, with the reason.
                    EXPECT_EQ(copies, 0);
                    EXPECT_NE(notQueued.find(sqlite3_errstr(fault.Code)), std::string::npos)
                        << notQueued;
                    continue;
                }
                ASSERT_TRUE(ended);
                EXPECT_EQ(ended->State, host::TDeliveryState::Sent) << ended->Reason;
                EXPECT_EQ(copies, 1);
                EXPECT_EQ(ended->RunId, run.Id);
            }
            EXPECT_GE(writes, 5);
            std::printf("[ sweep    ] %s, %s: %d writes failed, %d delivered, %d duplicates, %d "
                        "files lost\n",
                        kind.Name, fault.Name, failed, delivered, duplicates, lost);
            EXPECT_EQ(duplicates, 0);
            EXPECT_EQ(lost, 0);
        }
    }
}

TEST(OutboxFaultTest, TwoSendersOnOneHistoryDeliverEachMailOnce) {
    TTempDir dir("morvid-mail");
    const TSmtpTestServer server(FreeLoopbackPort(), dir.File("server"), {.Security = "none"});
    const std::string historyFile = dir.File("history.db");
    const host::TRunHistory history(historyFile);
    host::TOutbox outbox(historyFile);
    WriteText(dir.File("doors.csv"), "door;opened\n");
    std::vector<host::TOutboxEntry> mails;
    for (int i = 0; i < 6; ++i) {
        mails.push_back(DoorsMail(DoorsRun(dir.File("doors.csv"), 46000 + i), std::time(nullptr)));
        outbox.Add(mails.back());
    }

    {
        // Each with its own connection, as two clients with the same history file.
        const host::TDeliveryWorker first(historyFile, PlainServer(server), {});
        const host::TDeliveryWorker second(historyFile, PlainServer(server), {});
        for (int look = 0; look < 3000 && outbox.NextAttemptTime(); ++look) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    const std::map<std::string, int> received = server.MessageIds();
    EXPECT_EQ(server.Received().size(), mails.size());
    for (const host::TOutboxEntry& mail : mails) {
        EXPECT_EQ(received.count(mail.Mail.MessageId) ? received.at(mail.Mail.MessageId) : 0, 1);
        EXPECT_EQ(outbox.Find(mail.Id)->State, host::TDeliveryState::Sent);
        EXPECT_EQ(outbox.Find(mail.Id)->Attempts, 1);
    }
}

TEST(OutboxFaultTest, AQueuedMailCarriesTheFileItWasWrittenForWhateverBecomesOfTheExport) {
    TTempDir dir("morvid-mail");
    const TSmtpTestServer server(FreeLoopbackPort(), dir.File("server"), {.Security = "none"});
    struct TCase {
        const char* Name;
        void (*Meanwhile)(const std::string& report);
    };
    int number = 0;
    for (const TCase& c : {TCase{"removed by retention",
                                 [](const std::string& report) { ::unlink(report.c_str()); }},
                           TCase{"replaced by a later run", [](const std::string& report) {
                                     WriteText(report + ".new", "a later run's report\n");
                                     std::rename((report + ".new").c_str(), report.c_str());
                                 }}}) {
        SCOPED_TRACE(c.Name);
        const std::string folder = dir.File("case" + std::to_string(++number));
        std::filesystem::create_directories(folder);
        const std::string historyFile = folder + "/history.db";
        const std::string report = folder + "/doors.csv";
        WriteText(report, "the run's own report\n");
        const host::TRunHistory history(historyFile);
        host::TOutbox outbox(historyFile);
        host::TOutboxEntry mail = DoorsMail(DoorsRun(report, 46000), std::time(nullptr));
        outbox.Add(mail);
        EXPECT_EQ(host::FilesForQueuedMail(historyFile), std::vector<std::string>{report});

        c.Meanwhile(report);
        {
            const host::TDeliveryWorker worker(historyFile, PlainServer(server), {});
            for (int look = 0; look < 3000 && outbox.NextAttemptTime(); ++look) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }

        ASSERT_EQ(outbox.Find(mail.Id)->State, host::TDeliveryState::Sent);
        const std::vector<std::string> files = Values(server.Received().back(), "attachment");
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(ReadFile(files[0].substr(files[0].find('\t') + 1)), "the run's own report\n");
        EXPECT_TRUE(host::FilesForQueuedMail(historyFile).empty());
        EXPECT_EQ(SpoolFolders(historyFile), 0u);
    }
}

TEST(OutboxFaultTest, AMailKnowsItsRunWhicheverIsRecordedFirstAndGoesWithIt) {
    for (const bool runFirst : {true, false}) {
        SCOPED_TRACE(runFirst ? "run recorded first" : "mail queued first");
        TTempDir dir("morvid-mail");
        const std::string historyFile = dir.File("history.db");
        host::TRunHistory history(historyFile, false, {.RunsPerTask = 1});
        host::TOutbox outbox(historyFile);
        WriteText(dir.File("doors.csv"), "door;opened\n");
        host::TRunRecord run = DoorsRun(dir.File("doors.csv"), 46000);
        host::TOutboxEntry done = DoorsMail(run, 1000);
        host::TOutboxEntry waiting = DoorsMail(run, 1000);
        if (runFirst) {
            history.Record(run);
        }
        outbox.Add(done);
        outbox.Add(waiting);
        if (!runFirst) {
            history.Record(run);
        }
        EXPECT_EQ(outbox.Find(done.Id)->RunId, run.Id);
        ASSERT_TRUE(outbox.Claim(*outbox.Find(done.Id), "test", 1000, 2000));
        outbox.EndAttempt(done.Id, host::TDeliveryState::Sent, {});

        EXPECT_EQ(outbox.Prune(1000), 0) << "its run is still kept";
        host::TRunRecord later = DoorsRun(dir.File("doors.csv"), 46001);
        history.Record(later); // keeps one run a task: the first goes

        EXPECT_EQ(outbox.Prune(1000), 1);
        EXPECT_EQ(outbox.Find(done.Id), std::nullopt);
        EXPECT_EQ(outbox.Find(waiting.Id)->State, host::TDeliveryState::Queued)
            << "a mail not yet sent stays";
    }
}

} // namespace

TEST(OutboxFaultTest, TheFeederWritesEveryEntryHandedOverAndNamesEachItCannotKeep) {
    TTempDir dir("morvid-feeder");
    const std::string historyFile = dir.File("history.db");
    const host::TRunHistory history(historyFile);
    struct TRow {
        const char* Name;
        bool FileThere;
    };
    const std::vector<std::vector<TRow>> handOvers{
        {{"a.csv", true}, {"gone.csv", false}, {"b.csv", true}}, {{"c.csv", true}}};
    std::vector<std::string> queued, faults;
    int written = 0;
    {
        host::TOutboxFeeder feeder(
            historyFile, [&] { ++written; },
            [&](const host::TOutboxEntry& entry, const std::string& reason) {
                faults.push_back(entry.Target + ": " + reason);
            });
        for (const std::vector<TRow>& rows : handOvers) {
            std::vector<host::TOutboxEntry> entries;
            for (const TRow& row : rows) {
                const std::string file = dir.File(row.Name);
                if (row.FileThere) {
                    WriteText(file, row.Name);
                    queued.push_back(file);
                }
                entries.push_back(DoorsMail(DoorsRun(file, 46000), std::time(nullptr)));
                entries.back().Target = std::string("sftp://archive/") + row.Name;
            }
            feeder.Add(std::move(entries));
        }
    } // what is still pending is written before the feeder ends

    EXPECT_EQ(written, 2);
    EXPECT_EQ(host::FilesForQueuedMail(historyFile), queued);
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_NE(faults[0].find("sftp://archive/gone.csv: "), std::string::npos) << faults[0];
    EXPECT_NE(faults[0].find(dir.File("gone.csv")), std::string::npos) << faults[0];
}
