// How long the window's event loop goes unanswered while another process (the sqlite3 shell)
// holds the run history for 5 s: a Qt event loop runs tasks' history work every 50 ms (record a
// run, the look-ups a run and the task list make) and a 5 ms timer measures every gap between its
// turns. Usage: bench_history_lock [--direct] [--readers-too]
//   --direct       record on the event loop's own connection, as before the writer thread
//   --readers-too  the other process locks readers out as well (locking_mode = EXCLUSIVE)
#include "platform/host/history/RunHistory.h"
#include "platform/host/history/RunHistoryWriter.h"
#include "platform/rtl/Clock.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using TClock = std::chrono::steady_clock;

constexpr int HoldMs = 5000;

host::TRunRecord MakeRun(int n) {
    host::TRunRecord run;
    run.TaskId = "{BENCH-" + std::to_string(n % 10) + "}";
    run.TaskName = "Door report " + std::to_string(n % 10);
    run.Started = rtl::Now();
    run.Ended = run.Started;
    run.Result = "Success!";
    run.FileName = "/srv/reports/" + std::to_string(n) + "_Door_log.csv";
    return run;
}

} // namespace

int main(int argc, char** argv) {
    bool direct = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--direct") {
            direct = true;
        } else {
            std::fprintf(stderr, "usage: %s [--direct]\n", argv[0]);
            return arg == "--help" ? 0 : 1;
        }
    }
    char dirPattern[] = "/tmp/morvid-lock-bench-XXXXXX";
    if (::mkdtemp(dirPattern) == nullptr) {
        return 1;
    }
    const std::string file = std::string(dirPattern) + "/history.db";
    {
        host::TRunHistory history(file);
        host::TRunRecord run = MakeRun(0);
        history.Record(run);
    }
    QCoreApplication app(argc, argv);
    std::unique_ptr<host::TRunHistoryWriter> writer;
    std::unique_ptr<host::TRunHistory> opened;
    const auto openStart = TClock::now();
    try {
        if (!direct) {
            writer = std::make_unique<host::TRunHistoryWriter>(
                file, host::TRunHistoryLimits{}, [](const std::string& text) {
                    std::fprintf(stderr, "writer: %s\n", text.c_str());
                });
        }
        opened = std::make_unique<host::TRunHistory>(file);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cannot open the history: %s\n", e.what());
        return 1;
    }
    const double openMs =
        std::chrono::duration<double, std::milli>(TClock::now() - openStart).count();
    host::TRunHistory& history = *opened;
    if (writer) {
        history.FollowWriter(writer.get(), 20);
    }
    // The other process: the sqlite3 shell holds the history's write lock for HoldMs and says when
    // it holds it, through a shell of its own, whose output is not held back in the sqlite3 shell's
    // buffer.
    QProcess holder;
    QStringList commands{QString::fromStdString(file)};
    commands << "BEGIN EXCLUSIVE"
             << "UPDATE runs SET note = note WHERE id = 1"
             << ".shell echo held" << QString(".shell sleep %1").arg(HoldMs / 1000) << "COMMIT";
    holder.start("sqlite3", commands);
    if (!holder.waitForReadyRead(10'000) || !holder.readAll().startsWith("held")) {
        std::fprintf(stderr, "the sqlite3 shell could not hold the history: %s\n",
                     holder.readAllStandardError().constData());
        return 1;
    }
    const auto heldSince = TClock::now();
    double longestGapMs = 0;
    double longestWorkMs = 0;
    int turns = 0;
    int failedReads = 0;
    int failedRecords = 0;
    auto last = TClock::now();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const auto now = TClock::now();
        longestGapMs =
            std::max(longestGapMs, std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    });
    tick.start(5);
    QTimer work;
    QObject::connect(&work, &QTimer::timeout, [&] {
        const auto start = TClock::now();
        host::TRunRecord run = MakeRun(++turns);
        try {
            history.LastWriterOf(run.FileName, run.Started - 1 / 1440.0);
            history.KeptExports(run.TaskId);
            history.LatestRuns();
        } catch (const std::exception&) {
            ++failedReads;
        }
        try {
            history.Record(run);
        } catch (const std::exception&) {
            ++failedRecords;
        }
        longestWorkMs =
            std::max(longestWorkMs,
                     std::chrono::duration<double, std::milli>(TClock::now() - start).count());
    });
    work.start(50);
    QTimer::singleShot(HoldMs + 1000, &app, &QCoreApplication::quit);
    app.exec();
    const double measuredMs =
        std::chrono::duration<double, std::milli>(TClock::now() - heldSince).count();
    holder.waitForFinished(10'000);
    const QByteArray holderErrors = holder.readAllStandardError();
    if (!holderErrors.isEmpty()) {
        std::fprintf(stderr, "sqlite3: %s\n", holderErrors.constData());
    }
    opened.reset();
    writer.reset(); // writes what is queued
    const std::size_t stored = host::TRunHistory(file, true).RunCount();
    std::printf("%s, other process holds %s for %d ms; measured %.0f ms\n",
                direct ? "direct records" : "writer thread", "the write lock", HoldMs, measuredMs);
    std::printf("opening the history took %.1f ms\n", openMs);
    std::printf("longest event loop gap %.1f ms, longest turn of history work %.1f ms\n",
                longestGapMs, longestWorkMs);
    std::printf("turns %d, failed reads %d, failed records %d, runs stored %zu of %d\n", turns,
                failedReads, failedRecords, stored, turns + 1);
    std::filesystem::remove_all(dirPattern);
    return 0;
}
