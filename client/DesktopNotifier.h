// Desktop notifications of the client: through the freedesktop notification service on the
// session bus, and where that is missing or refuses, as a message of the client's tray icon.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <functional>
#include <memory>
#include <string>

class QSystemTrayIcon;

namespace morvid {

class TDesktopNotifier {
public:
    // `bus` is where the notification service is looked for.
    explicit TDesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus());
    ~TDesktopNotifier();
    TDesktopNotifier(const TDesktopNotifier&) = delete;
    TDesktopNotifier& operator=(const TDesktopNotifier&) = delete;

    // Shows an error notice and returns at once; the service's answer comes later, and when it
    // is an error (or there is no bus) the notice goes to Fallback instead.
    void Notify(const std::string& summary, const std::string& body);

    // Shows the notice without the service. By default a tray icon's message, where the desktop
    // has a tray; without one the notice is left to the log and the status bar.
    std::function<void(const std::string& summary, const std::string& body)> Fallback;

private:
    void ShowTrayMessage(const std::string& summary, const std::string& body);

    QDBusConnection FBus;
    // Parent of the pending calls' watchers: destroying it abandons their answers.
    std::unique_ptr<QObject> FCalls = std::make_unique<QObject>();
    std::unique_ptr<QSystemTrayIcon> FTrayIcon;
};

} // namespace morvid
