// Mail delivery's throughput and the window's answer while it sends: 100 mails with a 1 MiB
// attachment each go through the outbox and its worker to the local aiosmtpd server, while a
// 5 ms timer on the main thread measures every gap between the event loop's turns.
// Usage: bench_mail [--mails N] [--size-kib K]
#include "platform/host/delivery/DeliveryWorker.h"
#include "platform/host/history/RunHistory.h"
#include "tests/host/delivery/SmtpTestServer.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

using TClock = std::chrono::steady_clock;

double MsSince(TClock::time_point start) {
    return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    int mails = 100;
    int sizeKib = 1024;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--mails" || arg == "--size-kib") && i + 1 < argc) {
            (arg == "--mails" ? mails : sizeKib) = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--mails N] [--size-kib K]\n", argv[0]);
            return arg == "--help" ? 0 : 1;
        }
    }
    // The test server's script is found below the sources, as the tests find it.
    ::setenv("MORVID_SOURCE_DIR", MORVID_SOURCE_DIR, 0);
    char dirPattern[] = "/tmp/morvid-mail-bench-XXXXXX";
    if (::mkdtemp(dirPattern) == nullptr) {
        return 1;
    }
    const std::string dir = dirPattern;
    const std::string historyFile = dir + "/history.db";
    const std::string attachment = dir + "/report.bin";
    {
        std::mt19937 random(7);
        std::string bytes(static_cast<std::size_t>(sizeKib) * 1024, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(random());
        }
        std::ofstream(attachment, std::ios::binary) << bytes;
        host::TRunHistory history(historyFile); // makes the file the outbox lives in
    }
    QCoreApplication app(argc, argv);
    const morvid::test::TSmtpTestServer server(morvid::test::FreeLoopbackPort(), dir + "/mail",
                                               {.User = "bench:secret"});
    host::TSmtpServer smtp;
    smtp.Host = "127.0.0.1";
    smtp.Port = server.Port();
    smtp.Security = host::TMailSecurity::StartTls;
    smtp.User = "bench";
    smtp.Password = "secret";
    smtp.ExtraCaFile = server.CaFile();

    host::TOutbox outbox(historyFile);
    int ended = 0, sent = 0;
    const auto start = TClock::now();
    host::TDeliveryWorker worker(historyFile, smtp, [&](const host::TOutboxEntry& mail) {
        QMetaObject::invokeMethod(
            &app,
            [&, ok = mail.State == host::TDeliveryState::Sent] {
                ++ended;
                sent += ok ? 1 : 0;
                if (ended == mails) {
                    app.quit();
                }
            },
            Qt::QueuedConnection);
    });
    double longestAddMs = 0;
    for (int i = 0; i < mails; ++i) {
        const auto added = TClock::now();
        host::TOutboxEntry mail;
        mail.RunId = i + 1;
        mail.TaskId = "{BENCH}";
        mail.TaskName = "Door report";
        mail.Mail.From = {"Reports", "reports@example.org"};
        mail.Mail.To = {{"Night Shift", "night@example.org"}};
        mail.Mail.Subject = "Door report " + std::to_string(i);
        mail.Mail.Body = "The report is attached.";
        mail.Mail.Attachments = {{attachment, "report.bin"}};
        mail.Mail.MessageId = host::NewMessageId("reports@example.org");
        mail.Mail.Date = static_cast<std::int64_t>(std::time(nullptr));
        outbox.Add(mail);
        worker.Wake();
        longestAddMs = std::max(longestAddMs, MsSince(added));
    }
    auto last = TClock::now();
    double longestGapMs = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestGapMs = std::max(longestGapMs, MsSince(last));
        last = TClock::now();
    });
    tick.start(5);
    app.exec();
    const double totalMs = MsSince(start);
    worker.Stop();
    std::printf("%d mails of %d KiB: %d sent in %.1f s, %.2f mails/s; longest event loop gap "
                "%.1f ms; longest outbox write %.1f ms\n",
                mails, sizeKib, sent, totalMs / 1000, sent / (totalMs / 1000), longestGapMs,
                longestAddMs);
    std::filesystem::remove_all(dir);
    return sent == mails ? 0 : 2;
}
