#include "ui/DesktopOpen.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QUrl>

namespace morvid {

bool OpenWithDesktop(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

std::string DesktopOpenFailure() {
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) {
        return "there is no desktop session to show it in";
    }
    // Qt hands files to xdg-open outside the big desktops' own portals.
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty()) {
        return "xdg-open, which hands files to the desktop's programs, is not installed";
    }
    return "the desktop has no program set for it";
}

} // namespace morvid
