#include "platform/host/core/BarManager.h"

#include "platform/host/core/BarButton.h"
#include "platform/host/core/HostToolbar.h"
#include "platform/rtl/SysUtils.h"

#include <QToolBar>

namespace host {

TBarManager::TBarManager() = default;

TBarManager::~TBarManager() {
    while (!FButtons.empty()) {
        DeleteButton(FButtons.back().get());
    }
    FBars.clear();
}

TBarButton* TBarManager::AddButton(const std::string& name, int category) {
    auto button = std::make_unique<TBarButton>(*this, name);
    button->Category = category;
    FButtons.push_back(std::move(button));
    return FButtons.back().get();
}

void TBarManager::DeleteButton(TBarButton* button) {
    for (auto it = FButtons.begin(); it != FButtons.end(); ++it) {
        if (it->get() == button) {
            std::unique_ptr<TBarButton> doomed = std::move(*it);
            FButtons.erase(it);
            return;
        }
    }
    throw EHostObjectError(rtl::Format("Command %s does not belong to this bar manager",
                                       button ? button->Name().c_str() : "(nil)"));
}

TBarButton* TBarManager::FindButton(const std::string& name) const {
    for (const auto& button : FButtons) {
        if (rtl::SameText(button->Name(), name)) {
            return button.get();
        }
    }
    return nullptr;
}

THostToolbar* TBarManager::AddBar(QToolBar* bar) {
    FBars.push_back(std::make_unique<THostToolbar>(*this, bar));
    return FBars.back().get();
}

void TBarManager::SetLargeIcons(bool largeIcons) {
    FLargeIcons = largeIcons;
    for (const auto& bar : FBars) {
        bar->ApplyIconSize();
    }
}

QSize TBarManager::IconSize() const noexcept {
    return FLargeIcons ? QSize(32, 32) : QSize(16, 16);
}

} // namespace host
