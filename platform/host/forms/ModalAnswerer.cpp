#include "platform/host/forms/ModalAnswerer.h"

#include <QGuiApplication>
#include <QString>

namespace host {

namespace {

TModalAnswerer* CurrentAnswerer = nullptr;
std::optional<bool> ForcedInteractive;

} // namespace

TModalAnswerer::TModalAnswerer() : FPrevious(CurrentAnswerer) {
    CurrentAnswerer = this;
}

TModalAnswerer::~TModalAnswerer() {
    // Answerers are scoped objects, so they end in reverse order; anything else would leave a
    // dangling answerer installed.
    if (CurrentAnswerer == this) {
        CurrentAnswerer = FPrevious;
    }
}

TModalAnswerer* TModalAnswerer::Current() noexcept {
    return CurrentAnswerer;
}

bool InteractiveSession() {
    if (ForcedInteractive.has_value()) {
        return *ForcedInteractive;
    }
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        return false;
    }
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && !platform.startsWith(QLatin1String("minimal"));
}

void SetInteractiveSession(std::optional<bool> interactive) noexcept {
    ForcedInteractive = interactive;
}

} // namespace host
