// A run's mail as its recipient reads it: subject, text and attachments made from the task's
// order, the media types, and the zip and HTML options through the outbox to a real server.
#include "platform/host/delivery/MailComposition.h"

#include "platform/host/delivery/MediaType.h"
#include "platform/host/delivery/Outbox.h"
#include "platform/host/delivery/SmtpTransport.h"
#include "platform/host/history/RunHistory.h"
#include "tests/host/delivery/SmtpTestServer.h"
#include "tests/support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using namespace morvid::test;

std::string Replaced(std::string text, const std::string& word, const std::string& value) {
    for (std::size_t at = 0; (at = text.find(word, at)) != std::string::npos; at += value.size()) {
        text.replace(at, word.size(), value);
    }
    return text;
}

// "Alarms.pdf" of 2000 bytes and "Alarms.csv" in `dir`, as a run at 06:00 on 7 March wrote
// them, with the report's period from the 6th to the 8th and 42 rows.
host::TMailOrder ScheduledRun(const TTempDir& dir) {
    host::TMailOrder order;
    order.Run.TaskName = "Morning alarm report";
    order.Run.ReportName = "Alarms";
    order.Run.Due = rtl::EncodeDateTime(2026, 3, 7, 6, 0, 0, 0);
    order.Run.Started = rtl::EncodeDateTime(2026, 3, 7, 6, 0, 2, 0);
    order.Run.Result = "Success!";
    order.Run.FileName = dir.File("Alarms.pdf");
    std::ofstream(order.Run.FileName) << std::string(2000, 'p');
    host::TRunRecord csv = order.Run;
    csv.FileName = dir.File("Alarms.csv");
    std::ofstream(csv.FileName) << "Zone;Alarms\nNorth;42\n";
    order.Further = {csv};
    order.PeriodStart = rtl::EncodeDate(2026, 3, 6);
    order.PeriodEnd = rtl::EncodeDate(2026, 3, 8);
    order.Rows = 42;
    return order;
}

struct TCompositionCase {
    const char* Name;
    void (*Change)(host::TMailOrder& order);
    std::int64_t Limit;
    std::string Subject;
    std::string Body; // "{dir}" for the run's folder
    std::vector<std::string> Attached;
};

class MailCompositionTest : public testing::TestWithParam<TCompositionCase> {};

TEST_P(MailCompositionTest, SubjectTextAndAttachmentsTellTheRun) {
    const TCompositionCase& c = GetParam();
    TTempDir dir("morvid-compose");
    host::TMailOrder order = ScheduledRun(dir);
    if (c.Change != nullptr) {
        c.Change(order);
    }

    const host::TComposedMail mail = host::ComposeMail(order, c.Limit, dir.Path());

    EXPECT_EQ(mail.Mail.Subject, c.Subject);
    std::string body = Replaced(c.Body, "{dir}", dir.Path());
    if (const auto zip = host::RegularFileFacts(dir.File("zip"))) {
        body =
            Replaced(body, "{zip}",
                     host::FileSizeText(zip->Size) + ", " +
                         host::FileSizeText(host::EncodedAttachmentSize(zip->Size)) + " encoded");
    }
    EXPECT_EQ(mail.Mail.Body, body);
    std::vector<std::string> attached;
    for (const host::TMailAttachment& file : mail.Mail.Attachments) {
        attached.push_back(file.Name);
    }
    EXPECT_EQ(attached, c.Attached);
    EXPECT_EQ(mail.Notes.size(), c.Body.find("{dir}") != std::string::npos ? 1u : 0u);
}

constexpr std::int64_t Plenty = 10 * 1024 * 1024;

INSTANTIATE_TEST_SUITE_P(
    Runs, MailCompositionTest,
    testing::Values(
        TCompositionCase{"ScheduledWithAPeriod",
                         nullptr,
                         Plenty,
                         "Morning alarm report: 2026-03-06 – 2026-03-08 — Success!",
                         "Period: 2026-03-06 – 2026-03-08\nDue: 2026-03-07 06:00\n"
                         "Result: Success!\nRows: 42\nAttached: Alarms.pdf, Alarms.csv\n",
                         {"Alarms.pdf", "Alarms.csv"}},
        TCompositionCase{"ByHandWithoutDateParameters",
                         [](host::TMailOrder& order) {
                             order.Run.Trigger = host::TRunTrigger::Manual;
                             order.Run.Due = 0;
                             order.Run.Started = rtl::EncodeDateTime(2026, 3, 7, 9, 15, 0, 0);
                             order.PeriodStart = order.PeriodEnd = rtl::EncodeDate(2026, 3, 7);
                         },
                         Plenty,
                         "Morning alarm report: 2026-03-07 — Success!",
                         "Period: 2026-03-07\n"
                         "Result: Success!\nRows: 42\nAttached: Alarms.pdf, Alarms.csv\n",
                         {"Alarms.pdf", "Alarms.csv"}},
        TCompositionCase{"FailedBeforeItFoundItsReport",
                         [](host::TMailOrder& order) {
                             order.Run.ReportName.clear();
                             order.Run.Result = "Error: Client is offline";
                             order.Run.Outcome = host::TRunOutcome::Failed;
                             order.Run.FileName.clear();
                             order.Further.clear();
                             order.PeriodStart = order.PeriodEnd = 0;
                             order.Rows = -1;
                         },
                         Plenty,
                         "Morning alarm report: 2026-03-07 — Error: Client is offline",
                         "Period: 2026-03-07\n"
                         "Due: 2026-03-07 06:00\nResult: Error: Client is offline\n",
                         {}},
        TCompositionCase{"OneFileOverTheLimitStaysHome",
                         nullptr,
                         1024,
                         "Morning alarm report: 2026-03-06 – 2026-03-08 — Success!",
                         "Period: 2026-03-06 – 2026-03-08\nDue: 2026-03-07 06:00\n"
                         "Result: Success!\nRows: 42\nAttached: Alarms.csv\n\n"
                         "The file Alarms.pdf (2.0 KiB, 2.7 KiB encoded) is larger than the mail "
                         "may carry (1.0 KiB); it was not attached. It is at:\n{dir}/Alarms.pdf\n",
                         {"Alarms.csv"}},
        TCompositionCase{"TheTasksOwnTemplatesKeepTheirWords",
                         [](host::TMailOrder& order) {
                             order.Run.Trigger = host::TRunTrigger::Manual;
                             order.Run.Due = 0;
                             order.Subject = "{report} to {period-end}: {rows} rows";
                             order.Body = "{files}\nDue: {due}\n{name} ({size})";
                         },
                         Plenty,
                         "Alarms to 2026-03-08: 42 rows",
                         "Alarms.pdf, Alarms.csv\nDue: -\nAlarms.pdf (2.0 KiB)",
                         {"Alarms.pdf", "Alarms.csv"}},
        TCompositionCase{"ZippedTheMailNamesWhatTheZipHolds",
                         [](host::TMailOrder& order) { order.Zip = true; },
                         Plenty,
                         "Morning alarm report: 2026-03-06 – 2026-03-08 — Success!",
                         "Period: 2026-03-06 – 2026-03-08\nDue: 2026-03-07 06:00\n"
                         "Result: Success!\nRows: 42\nAttached: Morning alarm report 2026-03-07 "
                         "0600.zip (Alarms.pdf, Alarms.csv)\n",
                         {"Morning alarm report 2026-03-07 0600.zip"}},
        TCompositionCase{"AZipOverTheLimitLeavesEveryFileHome",
                         [](host::TMailOrder& order) {
                             order.Zip = true;
                             order.Run.TaskName = "Doors/Gates: daily";
                         },
                         100,
                         "Doors/Gates: daily: 2026-03-06 – 2026-03-08 — Success!",
                         "Period: 2026-03-06 – 2026-03-08\nDue: 2026-03-07 06:00\n"
                         "Result: Success!\nRows: 42\n\nThe zip of this run's files, "
                         "Doors_Gates_ daily 2026-03-07 0600.zip ({zip}), is larger than the "
                         "mail may carry (100 bytes); it was not attached. The files are at:\n"
                         "{dir}/Alarms.pdf\n{dir}/Alarms.csv\n",
                         {}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(MediaTypeTest, AFilesTypeFollowsItsExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"r.pdf", "application/pdf"},
        {"r.XLSX", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
        {"r.docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
        {"r.pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
        {"r.ods", "application/vnd.oasis.opendocument.spreadsheet"},
        {"r.odt", "application/vnd.oasis.opendocument.text"},
        {"Türen März.csv", "text/csv; charset=utf-8"},
        {"r.txt", "text/plain; charset=utf-8"},
        {"r.rtf", "application/rtf"},
        {"r.zip", "application/zip"},
        {"r.prn", "application/octet-stream"},
        {"README", "application/octet-stream"},
        {"old.pdf/report", "application/octet-stream"},
        {"r.pdf.", "application/octet-stream"},
    };
    for (const auto& [name, type] : cases) {
        EXPECT_EQ(host::MediaTypeOf(name), type) << name;
    }
}

const std::string Zipped = "Doors _b_&__b_ 2026-03-07 0600.zip";

// Each with the HTML summary: once beside the run's files, once beside their zip.
struct TOptionCase {
    const char* Name;
    bool Zip;
    std::string Structure;
};

class MailOptionTest : public testing::TestWithParam<TOptionCase> {};

// The zip and the HTML summary are made before the mail is queued: what the server gets is what
// the outbox kept, the run's files and the folder they were made in long gone.
TEST_P(MailOptionTest, TheOutboxCarriesTheZipAndTheSummaryToTheReader) {
    const TOptionCase& c = GetParam();
    TTempDir dir("morvid-options");
    const TSmtpTestServer server(FreeLoopbackPort(), dir.File("server"), {.Security = "none"});
    const std::string historyFile = dir.File("history.db");
    { const host::TRunHistory history(historyFile); }
    host::TOutbox outbox(historyFile);
    host::TMailOrder order = ScheduledRun(dir);
    order.Run.TaskName = "Doors <b>&</b>";
    order.Zip = c.Zip;
    order.Html = true;
    host::TOutboxEntry queued;
    {
        const host::TStagingFolder staging(historyFile + "-spool", host::MakesFiles(order));
        queued.Mail = host::ComposeMail(order, Plenty, staging.Path()).Mail;
        queued.Mail.From = {"Reports", "reports@example.org"};
        queued.Mail.To = {{"", "ops@example.org"}};
        queued.Mail.MessageId = host::NewMessageId("reports@example.org");
        queued.Mail.Date = 1'800'000'000;
        outbox.Add(queued);
    }
    ::unlink(order.Run.FileName.c_str());
    ::unlink(order.Further[0].FileName.c_str());
    host::TSmtpServer settings;
    settings.Host = "127.0.0.1";
    settings.Port = server.Port();
    settings.Security = host::TMailSecurity::None;

    const host::TSendResult result = host::SendMail(settings, outbox.Find(queued.Id)->Mail);

    ASSERT_EQ(result.Status, host::TSendStatus::Sent) << result.Reason;
    const TReceivedMail got = server.Received().at(0);
    EXPECT_EQ(Value(got, "subject"), queued.Mail.Subject);
    EXPECT_EQ(Value(got, "structure"), c.Structure);
    const std::vector<std::string> received = Values(got, "attachment");
    const std::vector<std::string> types = Values(got, "attachment-type");
    std::vector<std::string> attachments;
    for (std::size_t i = 0; i < received.size() && i < types.size(); ++i) {
        attachments.push_back(received[i].substr(0, received[i].find('\t')) + "\t" + types[i]);
    }
    const std::vector<std::string> files =
        c.Zip ? std::vector<std::string>{Zipped + "\tapplication/zip"}
              : std::vector<std::string>{"Alarms.pdf\tapplication/pdf",
                                         "Alarms.csv\ttext/csv; charset=utf-8"};
    EXPECT_EQ(attachments, files);
    const std::vector<std::string> entries =
        c.Zip ? std::vector<std::string>{"Alarms.pdf\t2000", "Alarms.csv\t21"}
              : std::vector<std::string>{};
    EXPECT_EQ(Values(got, "zip-entry"), entries);
    std::string html;
    for (const std::string& line : Values(got, "html")) {
        html += line + "\n";
    }
    EXPECT_NE(html.find(">Doors &lt;b&gt;&amp;&lt;/b&gt;<"), std::string::npos) << html;
    EXPECT_NE(html.find(">2026-03-06 – 2026-03-08<"), std::string::npos) << html;
    EXPECT_NE(html.find(">42<"), std::string::npos) << html;
    EXPECT_EQ(html.find("<b>"), std::string::npos) << html;
    EXPECT_EQ(Values(got, "body").size(), 5u);
}

INSTANTIATE_TEST_SUITE_P(
    Options, MailOptionTest,
    testing::Values(TOptionCase{"BesideTheFiles", false,
                                "multipart/mixed(multipart/alternative(text/plain,text/html),"
                                "application/pdf,text/csv)"},
                    TOptionCase{"BesideTheZip", true,
                                "multipart/mixed(multipart/alternative(text/plain,text/html),"
                                "application/zip)"}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
