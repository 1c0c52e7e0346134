#include "platform/host/core/BarButton.h"

#include "platform/host/core/ItemLinks.h"

#include <QAction>
#include <QIcon>

namespace host {

TBarButton::TBarButton(TBarManager& manager, const std::string& name)
    : FManager(manager), FName(name), FAction(std::make_unique<QAction>()) {
    FAction->setObjectName(QString::fromStdString(name));
    QObject::connect(FAction.get(), &QAction::triggered, FAction.get(), [this] {
        if (OnClick) {
            OnClick(*this);
        }
    });
}

TBarButton::~TBarButton() {
    while (!FLinks.empty()) {
        FLinks.front()->Destroy();
    }
}

void TBarButton::SetCaption(const std::string& caption) {
    FCaption = caption;
    FAction->setText(QString::fromStdString(caption));
}

void TBarButton::SetHint(const std::string& hint) {
    FHint = hint;
    FAction->setToolTip(QString::fromStdString(hint));
    FAction->setStatusTip(QString::fromStdString(hint));
}

QKeySequence TBarButton::ShortCut() const {
    return FAction->shortcut();
}

void TBarButton::SetShortCut(const QKeySequence& shortCut) {
    FAction->setShortcut(shortCut);
}

void TBarButton::SetGlyph(const QPixmap& glyph) {
    FGlyph = glyph;
    UpdateIcon();
}

void TBarButton::SetLargeGlyph(const QPixmap& glyph) {
    FLargeGlyph = glyph;
    UpdateIcon();
}

void TBarButton::UpdateIcon() {
    QIcon icon;
    if (!FGlyph.isNull()) {
        icon.addPixmap(FGlyph);
    }
    if (!FLargeGlyph.isNull()) {
        icon.addPixmap(FLargeGlyph);
    }
    FAction->setIcon(icon);
}

bool TBarButton::Enabled() const {
    return FAction->isEnabled();
}

void TBarButton::SetEnabled(bool enabled) {
    FAction->setEnabled(enabled);
}

bool TBarButton::Visible() const {
    return FAction->isVisible();
}

void TBarButton::SetVisible(bool visible) {
    FAction->setVisible(visible);
    for (TItemLink* link : FLinks) {
        link->UpdateSeparator();
    }
}

void TBarButton::Click() {
    FAction->trigger();
}

} // namespace host
