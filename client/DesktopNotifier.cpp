#include "client/DesktopNotifier.h"

#include "platform/host/forms/ErrorStyle.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QSystemTrayIcon>
#include <QVariantMap>

namespace morvid {

namespace {

const char* const NotificationService = "org.freedesktop.Notifications";
const char* const NotificationPath = "/org/freedesktop/Notifications";
// The service's own default; a busy or hung service must not hold a notice back for longer.
constexpr int CallTimeoutMs = 5'000;
// Urgency "critical": the notice stays until the user dismisses it.
constexpr unsigned char CriticalUrgency = 2;
constexpr int TrayMessageMs = 30'000;

// Notification services may read both texts as markup: a result such as "Error: <b> & x" must
// show as written, not as formatting or a broken notice.
QString Escaped(const std::string& text) {
    return QString::fromStdString(text)
        .replace('&', QLatin1String("&amp;"))
        .replace('<', QLatin1String("&lt;"))
        .replace('>', QLatin1String("&gt;"));
}

} // namespace

TDesktopNotifier::TDesktopNotifier(QDBusConnection bus)
    : Fallback([this](const std::string& summary, const std::string& body) {
          ShowTrayMessage(summary, body);
      }),
      FBus(std::move(bus)) {}

TDesktopNotifier::~TDesktopNotifier() = default;

void TDesktopNotifier::Notify(const std::string& summary, const std::string& body) {
    if (!FBus.isConnected()) {
        Fallback(summary, body);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(NotificationService, NotificationPath,
                                                       NotificationService, "Notify");
    QVariantMap hints;
    hints.insert("urgency", QVariant::fromValue(CriticalUrgency));
    call << QStringLiteral("quor-client") << 0u << QStringLiteral("dialog-error")
         << Escaped(summary) << Escaped(body) << QStringList() << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(FBus.asyncCall(call, CallTimeoutMs), FCalls.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, FCalls.get(),
                     [this, watcher, summary, body] {
                         watcher->deleteLater();
                         if (watcher->isError()) {
                             Fallback(summary, body);
                         }
                     });
}

void TDesktopNotifier::ShowTrayMessage(const std::string& summary, const std::string& body) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return;
    }
    if (!FTrayIcon) {
        FTrayIcon = std::make_unique<QSystemTrayIcon>(host::ErrorIcon());
        FTrayIcon->setToolTip("quor-client");
        FTrayIcon->show();
    }
    FTrayIcon->showMessage(QString::fromStdString(summary), QString::fromStdString(body),
                           QSystemTrayIcon::Critical, TrayMessageMs);
}

} // namespace morvid
