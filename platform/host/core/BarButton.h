// TBarButton: a command of a bar manager - caption, hint, shortcut, images, state and click
// handler - backed by one QAction that every menu and bar it is linked into shows.
#pragma once

#include "platform/host/core/Export.h"
#include "platform/host/core/HostObject.h"

#include <QKeySequence>
#include <QPixmap>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;

namespace host {

class TBarManager;
class TItemLink;

class QUOR_EXPORT TBarButton : public THostObject {
public:
    // Made by TBarManager::AddButton, which owns it; `name` becomes the action's objectName.
    TBarButton(TBarManager& manager, const std::string& name);
    // Destroys every link first, so no menu or bar keeps showing a dead command.
    ~TBarButton() override;

    const std::string& Name() const noexcept { return FName; }
    TBarManager& BarManager() const noexcept { return FManager; }

    const std::string& Caption() const noexcept { return FCaption; }
    void SetCaption(const std::string& caption);
    // Shown as tool tip and status tip.
    const std::string& Hint() const noexcept { return FHint; }
    void SetHint(const std::string& hint);
    QKeySequence ShortCut() const;
    void SetShortCut(const QKeySequence& shortCut);
    // The 16 px image for menus and small bars, the 32 px one for bars with large icons;
    // either alone is scaled to the other size.
    const QPixmap& Glyph() const noexcept { return FGlyph; }
    void SetGlyph(const QPixmap& glyph);
    const QPixmap& LargeGlyph() const noexcept { return FLargeGlyph; }
    void SetLargeGlyph(const QPixmap& glyph);
    bool Enabled() const;
    void SetEnabled(bool enabled);
    // A hidden command also hides the group separators of its links.
    bool Visible() const;
    void SetVisible(bool visible);

    // Index into the manager's Categories; 0 is "Default".
    int Category = 0;
    // Runs on every click of an enabled command, from any of its links or from Click.
    std::function<void(TBarButton& sender)> OnClick;

    // Clicks the command as the user would: nothing happens while it is disabled.
    void Click();

    int LinkCount() const noexcept { return static_cast<int>(FLinks.size()); }
    TItemLink* Links(int index) const { return FLinks.at(static_cast<std::size_t>(index)); }

    QAction* Action() const noexcept { return FAction.get(); }

private:
    friend class TItemLink;
    void UpdateIcon();

    TBarManager& FManager;
    std::string FName;
    std::string FCaption;
    std::string FHint;
    QPixmap FGlyph;
    QPixmap FLargeGlyph;
    std::unique_ptr<QAction> FAction;
    std::vector<TItemLink*> FLinks; // in the order they were made; owned by their TItemLinks
};

} // namespace host
