#include "platform/host/core/HostToolbar.h"

#include "platform/host/core/BarManager.h"

namespace host {

THostToolbar::THostToolbar(TBarManager& manager, QToolBar* bar)
    : ItemLinks(bar), FManager(manager), FBar(bar) {
    ApplyIconSize();
}

THostToolbar::~THostToolbar() = default;

void THostToolbar::ApplyIconSize() {
    if (FBar) {
        FBar->setIconSize(FManager.IconSize());
    }
}

} // namespace host
