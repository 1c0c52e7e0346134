// TBarManager: owns a window's commands and the bars that show them, and switches the icon
// size of all its bars at once (LargeIcons).
#pragma once

#include "platform/host/core/Export.h"
#include "platform/host/core/HostObject.h"

#include <QSize>
#include <memory>
#include <string>
#include <vector>

class QToolBar;

namespace host {

class TBarButton;
class THostToolbar;

class QUOR_EXPORT TBarManager : public THostObject {
public:
    TBarManager();
    // Commands go first (taking their links out of every menu and bar), then the bars.
    ~TBarManager() override;

    // A new command of this manager, in the category of that index.
    TBarButton* AddButton(const std::string& name, int category = 0);
    // Destroys one of this manager's commands with all its links. Raises EHostObjectError
    // for a command of another manager.
    void DeleteButton(TBarButton* button);
    int ButtonCount() const noexcept { return static_cast<int>(FButtons.size()); }
    TBarButton* Buttons(int index) const {
        return FButtons.at(static_cast<std::size_t>(index)).get();
    }
    // By name, letter case ignored; nullptr when there is none.
    TBarButton* FindButton(const std::string& name) const;

    // Manages `bar` (not owned; it may be destroyed first) and gives it the current icon size.
    THostToolbar* AddBar(QToolBar* bar);
    int BarCount() const noexcept { return static_cast<int>(FBars.size()); }
    THostToolbar* Bars(int index) const { return FBars.at(static_cast<std::size_t>(index)).get(); }

    // 32 px icons in every bar of this manager instead of 16 px; menus keep their size.
    bool LargeIcons() const noexcept { return FLargeIcons; }
    void SetLargeIcons(bool largeIcons);
    QSize IconSize() const noexcept;

    std::vector<std::string> Categories{"Default"};

private:
    bool FLargeIcons = false;
    std::vector<std::unique_ptr<TBarButton>> FButtons;
    std::vector<std::unique_ptr<THostToolbar>> FBars;
};

} // namespace host
