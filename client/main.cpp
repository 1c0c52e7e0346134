// quor-client: the reference client. Loads the plug-ins of its plug-in folder, connects to the
// demo monitoring server and runs with its main window, or headless.
#include "client/ClientHost.h"
#include "client/ClientOptions.h"
#include "client/JournalStream.h"
#include "client/PluginLoader.h"
#include "client/SettingsHandOver.h"
#include "client/SignalNotifier.h"
#include "platform/host/core/QtDispatcher.h"
#include "translations/Translations.h"

#include <QApplication>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
// Another client holds the settings: a service manager must not start the client again and
// again (the unit's RestartPreventExitStatus names it).
constexpr int ExitSettingsInUse = 3;

std::string ExecutableDir(const char* argv0) {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        self = std::filesystem::absolute(argv0, error);
    }
    return self.parent_path().string();
}

const char* SignalName(int signalNumber) {
    switch (signalNumber) {
    case SIGINT:
        return "SIGINT";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "SIGTERM";
    }
}

} // namespace

int main(int argc, char** argv) {
    // Before the options: their help and errors are in the user's language too.
    morvid::LoadTranslations();
    morvid::TClientOptions options;
    try {
        options = morvid::ParseClientOptions(std::vector<std::string>(argv + 1, argv + argc),
                                             ExecutableDir(argv[0]));
        if (options.Help) {
            std::cout << morvid::ClientUsage();
            return ExitOk;
        }
        morvid::CheckClientOptions(options);
    } catch (const morvid::EClientOptionError& e) {
        std::cerr << "quor-client: " << e.Message() << "\nTry 'quor-client --help'.\n";
        return ExitUsage;
    }
    if (options.Headless) {
        // Before the application object exists: widgets and the PDF export still work, and
        // nothing needs a display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    // A log nobody reads any more (a closed pipe) fails its writes instead of ending the client,
    // and an export that reaches a file-size limit fails with that cause instead of killing it.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);

    // The libraries outlive the application object, which may still refer to their code.
    morvid::TPluginLoader loader;
    int result = ExitOk;
    {
        int qtArgc = 1;
        QApplication app(qtArgc, argv);
        QApplication::setApplicationName("quor-client");
        QApplication::setQuitOnLastWindowClosed(false);
        morvid::InstallTranslations();
        host::TQtDispatcherInstaller dispatcher;
        morvid::TClientHost client(options, loader, std::cout, std::cerr);
        const char* journalStream = std::getenv("JOURNAL_STREAM");
        client.SetJournalStreams(morvid::IsJournalStream(STDOUT_FILENO, journalStream),
                                 morvid::IsJournalStream(STDERR_FILENO, journalStream));
        dispatcher.Dispatcher().OnException = [&client](std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& e) {
                client.Error(std::string("unhandled error: ") + e.what());
            } catch (...) {
                client.Error("unhandled error");
            }
        };
        // A signal during the start arrives before the event loop runs, where quit() does
        // nothing; the flag keeps the loop from starting at all then.
        bool endRequested = false;
        morvid::TSignalNotifier signalNotifier({SIGINT, SIGTERM, SIGHUP}, [&](int signalNumber) {
            endRequested = true;
            client.Info(std::string("Received ") + SignalName(signalNumber) +
                        "; saving the settings and ending");
            // exit, not quit: quit asks the windows to close, which an open dialog refuses, and
            // the client would go on until it is killed, its latest changes unsaved.
            QCoreApplication::exit(ExitOk);
        });
        morvid::TSignalNotifier::SetStarting(true);
        const bool started = client.Start();
        morvid::TSignalNotifier::SetStarting(false);
        if (started) {
            QCoreApplication::processEvents(); // delivers a signal that came during the start
            result = endRequested ? ExitOk : app.exec();
        } else {
            result = client.SettingsInUse() ? ExitSettingsInUse : ExitFailure;
        }
        client.Stop();
        if (client.HandedOver()) {
            result = morvid::HandedOverExitStatus;
        }
        dispatcher.Dispatcher().OnException = nullptr;
    }
    return result;
}
