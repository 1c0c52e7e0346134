// The window's answer while a run's large export is copied to its task's targets: each run's file
// is handed to the outbox as the client hands it (the entries of a share and an SFTP folder on
// 127.0.0.1, each with a credential) and copied by the delivery worker, while a 5 ms timer on the
// main thread measures every gap between the event loop's turns, the hand-overs included.
// Usage: bench_targets [--runs N] [--size-mib N] [--export-dir DIR] [--on-loop]
#include "platform/host/delivery/DeliveryWorker.h"
#include "platform/host/delivery/OutboxFeeder.h"
#include "platform/host/delivery/TargetOrder.h"
#include "platform/host/history/RunHistory.h"
#include "platform/rtl/DateUtils.h"
#include "tests/host/delivery/SftpTestServer.h"
#include "tests/host/delivery/SmbTestServer.h"
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
#include <unistd.h>
#include <vector>

namespace {

using namespace morvid::test;
using TClock = std::chrono::steady_clock;

double MsSince(TClock::time_point start) {
    return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

void WriteRandomFile(const std::string& path, int sizeMib) {
    std::mt19937_64 random(7);
    std::vector<std::uint64_t> block(1024 * 1024 / 8);
    std::ofstream out(path, std::ios::binary);
    for (int mib = 0; mib < sizeMib; ++mib) {
        std::generate(block.begin(), block.end(), random);
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(block.size() * 8));
    }
}

} // namespace

int main(int argc, char** argv) {
    int runs = 3;
    int sizeMib = 100;
    std::string exportDir;
    bool onLoop = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--runs" || arg == "--size-mib") && i + 1 < argc) {
            (arg == "--runs" ? runs : sizeMib) = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--on-loop") {
            onLoop = true;
        } else if (arg == "--export-dir" && i + 1 < argc) {
            exportDir = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: %s [--runs N] [--size-mib N] [--export-dir DIR] [--on-loop]\n"
                         "  --export-dir: where the runs' export is written (default: beside "
                         "the run history; another file system makes the outbox copy it)\n"
                         "  --on-loop: the entries are written on the loop's own thread, as "
                         "the client did before its feeder thread\n",
                         argv[0]);
            return arg == "--help" ? 0 : 1;
        }
    }
    if (::geteuid() != 0) {
        std::fprintf(stderr, "bench_targets: smbd serves a user only when started by root\n");
        return 1;
    }
    char pattern[] = "/tmp/morvid-targets-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        return 1;
    }
    const std::string dir = pattern;
    const std::string historyFile = dir + "/history.db";
    const std::string source = (exportDir.empty() ? dir : exportDir) + "/door-report-" +
                               std::to_string(::getpid()) + ".bin";
    WriteRandomFile(source, sizeMib);
    { host::TRunHistory history(historyFile); } // makes the file the outbox lives in

    QCoreApplication app(argc, argv);
    int ended = 0, delivered = 0;
    double totalMs = 0;
    std::vector<double> gaps;
    {
        const TSftpTestServer sftp(FreeLoopbackPort(), dir + "/sftp");
        const TSmbTestServer smb(FreeLoopbackPort(), dir + "/smb");
        const std::vector<std::string> targets{
            smb.Url() + " credential=office",
            sftp.Url() + " credential=archive known-hosts=" + sftp.KnownHostsFile()};
        const int entries = runs * static_cast<int>(targets.size());

        host::TOutbox outbox(historyFile);
        host::TDeliveryWorker worker(historyFile, {}, [&](const host::TOutboxEntry& entry) {
            QMetaObject::invokeMethod(
                &app,
                [&, ok = entry.State == host::TDeliveryState::Sent,
                 final = entry.State != host::TDeliveryState::Queued] {
                    ended += final ? 1 : 0;
                    delivered += ok ? 1 : 0;
                    if (ended == entries) {
                        app.quit();
                    }
                },
                Qt::QueuedConnection);
        });
        host::TOutboxFeeder feeder(
            historyFile, [&worker] { worker.Wake(); },
            [&](const host::TOutboxEntry&, const std::string& reason) {
                std::fprintf(stderr, "bench_targets: %s\n", reason.c_str());
                QMetaObject::invokeMethod(
                    &app,
                    [&] {
                        if (++ended == entries) {
                            app.quit();
                        }
                    },
                    Qt::QueuedConnection);
            });
        const host::TTransferLogin office{.User = smb.User(),
                                          .Password = TSmbTestServer::Password()};
        const host::TTransferLogin archive{.User = sftp.User(), .KeyFile = sftp.KeyFile()};
        worker.SetLogins([&](const host::TDeliveryTarget& target) {
            return target.Credential == "office" ? office : archive;
        });

        // Each run is handed over on the loop, as a run's end reaches the client's main thread.
        int handed = 0;
        TClock::time_point start;
        QTimer handOver;
        QObject::connect(&handOver, &QTimer::timeout, [&] {
            if (handed == runs) {
                handOver.stop();
                return;
            }
            if (handed == 0) {
                start = TClock::now();
            }
            host::TMailOrder order;
            order.WithMail = false;
            order.Targets = targets;
            order.Run.TaskId = "{BENCH}";
            order.Run.TaskName = "Door report";
            order.Run.Format = "Binary";
            order.Run.Started = rtl::Now();
            order.Run.Outcome = host::TRunOutcome::Succeeded;
            order.Run.FileName = source;
            host::TTargetEntries made =
                host::TargetEntries(order, static_cast<std::int64_t>(std::time(nullptr)));
            if (onLoop) {
                for (host::TOutboxEntry& entry : made.Entries) {
                    outbox.Add(entry);
                }
                worker.Wake();
            } else {
                feeder.Add(std::move(made.Entries));
            }
            ++handed;
        });

        auto last = TClock::now();
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            gaps.push_back(MsSince(last));
            last = TClock::now();
        });
        tick.start(5);
        handOver.start(1000);
        app.exec();
        totalMs = MsSince(start);
        worker.Stop();
    } // the servers end before their folders go
    std::sort(gaps.begin(), gaps.end());
    std::printf("%d runs of %d MiB to a share and an SFTP folder: %d of %d delivered in %.1f s; "
                "event loop gaps: longest %.1f ms, median %.1f ms (%zu gaps)\n",
                runs, sizeMib, delivered, runs * 2, totalMs / 1000,
                gaps.empty() ? 0.0 : gaps.back(), gaps.empty() ? 0.0 : gaps[gaps.size() / 2],
                gaps.size());
    std::filesystem::remove(source);
    std::filesystem::remove_all(dir);
    return delivered == runs * 2 ? 0 : 2;
}
