#include "platform/host/forms/FormBase.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <algorithm>

namespace host {

TFormBase::TFormBase(QWidget* mainWindow) : QWidget(nullptr, Qt::Window), FMainWindow(mainWindow) {}

void TFormBase::SetCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

std::string TFormBase::Caption() const {
    return windowTitle().toStdString();
}

void TFormBase::SetClientSize(int width, int height) {
    resize(width, height);
}

void TFormBase::SetMainWindow(QWidget* mainWindow) {
    FMainWindow = mainWindow;
    ApplyTransientParent();
}

TFormPlacement TFormBase::Placement() const {
    const QRect frame = frameGeometry();
    return {frame.left(), frame.top(), frame.width(), frame.height()};
}

std::optional<TFormPlacement> TFormBase::PlacementToStore() const {
    if (FShown) {
        return Placement();
    }
    return FPendingPlacement;
}

void TFormBase::SetPlacement(const TFormPlacement& placement) {
    // The frame's extent is known only once the window system has framed the window; before
    // that the frame is taken as the client area.
    const QSize frameExtra = frameGeometry().size() - geometry().size();
    move(placement.Left, placement.Top);
    resize(std::max(placement.Width - frameExtra.width(), 1),
           std::max(placement.Height - frameExtra.height(), 1));
    FPlaced = true;
    // Until the window is shown its frame is unknown; the size is settled again at show.
    FPendingPlacement.reset();
    if (!isVisible()) {
        FPendingPlacement = placement;
    }
}

void TFormBase::SetAppWindow(bool appWindow) {
    FAppWindow = appWindow;
    ApplyTransientParent();
}

void TFormBase::BringToFront() {
    if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
    }
    show();
    raise();
    activateWindow();
}

void TFormBase::setVisible(bool visible) {
    if (visible && !isVisible() && !FPlaced) {
        CentreOnMainWindow();
        FPlaced = true;
    }
    QWidget::setVisible(visible);
    if (visible) {
        FShown = true;
        ApplyTransientParent();
        if (const std::optional<TFormPlacement> pending = FPendingPlacement) {
            SetPlacement(*pending);
        }
    }
}

void TFormBase::closeEvent(QCloseEvent* event) {
    // The form lives as long as its owner; the user's close only puts it away.
    event->ignore();
    hide();
}

void TFormBase::CentreOnMainWindow() {
    QRect area;
    if (FMainWindow != nullptr && FMainWindow->isVisible()) {
        area = FMainWindow->frameGeometry();
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    } else {
        return;
    }
    const QSize outer = frameGeometry().size();
    move(area.center().x() - outer.width() / 2, area.center().y() - outer.height() / 2);
}

void TFormBase::ApplyTransientParent() {
    QWindow* window = windowHandle();
    if (window == nullptr) {
        return; // applied again when the form is shown
    }
    QWindow* owner = nullptr;
    if (!FAppWindow && FMainWindow != nullptr) {
        owner = FMainWindow->window()->windowHandle();
    }
    window->setTransientParent(owner);
}

} // namespace host
