#include "platform/host/core/HostMenu.h"

namespace host {

THostMenu::THostMenu(QMenu* menu) : ItemLinks(menu), FMenu(menu) {}

THostMenu::~THostMenu() = default;

} // namespace host
