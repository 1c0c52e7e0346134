// THostToolbar: a QToolBar as a host object - the commands linked into it and the bar manager
// whose icon size it follows ("Toolbars.Main" is the client's main toolbar).
#pragma once

#include "platform/host/core/Export.h"
#include "platform/host/core/HostObject.h"
#include "platform/host/core/ItemLinks.h"

#include <QPointer>
#include <QToolBar>

namespace host {

class TBarManager;

class QUOR_EXPORT THostToolbar : public THostObject {
public:
    // Normally made by TBarManager::AddBar, which owns it. The bar is not owned.
    THostToolbar(TBarManager& manager, QToolBar* bar);
    ~THostToolbar() override;

    TBarManager& BarManager() const noexcept { return FManager; }
    QToolBar* Bar() const noexcept { return FBar.data(); }
    // Sets the bar's icon size from the manager.
    void ApplyIconSize();

    TItemLinks ItemLinks;

private:
    TBarManager& FManager;
    QPointer<QToolBar> FBar;
};

} // namespace host
