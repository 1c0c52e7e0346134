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
    // Usually the newest answerer ends first; one that ends out of turn is unlinked from the
    // chain, so no answerer is left pointing at it.
    if (CurrentAnswerer == this) {
        CurrentAnswerer = FPrevious;
        return;
    }
    for (TModalAnswerer* answerer = CurrentAnswerer; answerer != nullptr;
         answerer = answerer->FPrevious) {
        if (answerer->FPrevious == this) {
            answerer->FPrevious = FPrevious;
            return;
        }
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
