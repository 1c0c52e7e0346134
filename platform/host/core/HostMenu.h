// THostMenu: a QMenu as a host object, so plug-ins can link their commands into it
// ("Menus.Main.Object" is the client's main menu).
#pragma once

#include "platform/host/core/Export.h"
#include "platform/host/core/HostObject.h"
#include "platform/host/core/ItemLinks.h"

#include <QMenu>
#include <QPointer>

namespace host {

class QUOR_EXPORT THostMenu : public THostObject {
public:
    // The menu is not owned and may be destroyed first.
    explicit THostMenu(QMenu* menu);
    ~THostMenu() override;

    QMenu* Menu() const noexcept { return FMenu.data(); }

    TItemLinks ItemLinks;

private:
    QPointer<QMenu> FMenu;
};

} // namespace host
