// TItemLinks, the items of one menu or bar, and TItemLink, one command placed there. A link
// shows its command's action in the widget; destroying the link takes it out again.
#pragma once

#include "platform/host/core/Export.h"

#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

class QAction;

namespace host {

class TBarButton;
class TItemLinks;

class QUOR_EXPORT TItemLink {
public:
    // Takes the command's action (and the group separator) out of the widget.
    ~TItemLink();
    TItemLink(const TItemLink&) = delete;
    TItemLink& operator=(const TItemLink&) = delete;

    TBarButton* Item() const noexcept { return FItem; }
    TItemLinks& Owner() const noexcept { return FOwner; }
    int Index() const;

    // A group begins with this link: a separator stands before it while the command is visible.
    bool BeginGroup() const noexcept { return FBeginGroup; }
    void SetBeginGroup(bool beginGroup);

    // Removes the link from its menu or bar and the command's list, and frees it.
    void Destroy();

private:
    friend class TItemLinks;
    friend class TBarButton;
    TItemLink(TItemLinks& owner, TBarButton& item);
    void UpdateSeparator();

    TItemLinks& FOwner;
    TBarButton* FItem;
    bool FBeginGroup = false;
    std::unique_ptr<QAction> FSeparator;
};

// Owns its links. The widget (a QMenu, QMenuBar or QToolBar) is not owned and may go first;
// the links then only keep their bookkeeping.
class QUOR_EXPORT TItemLinks {
public:
    explicit TItemLinks(QWidget* widget);
    ~TItemLinks();
    TItemLinks(const TItemLinks&) = delete;
    TItemLinks& operator=(const TItemLinks&) = delete;

    // Places the command at the end. A command stands once in a widget: linking it again
    // returns its existing link. Raises EHostObjectError for a nullptr.
    TItemLink* Add(TBarButton* item);
    int Count() const noexcept { return static_cast<int>(FLinks.size()); }
    TItemLink* Items(int index) const { return FLinks.at(static_cast<std::size_t>(index)).get(); }
    int IndexOf(const TItemLink* link) const noexcept;
    TItemLink* Find(const TBarButton* item) const noexcept;
    // Destroys the link; links of other owners are ignored.
    void Remove(TItemLink* link);
    void Clear();

    QWidget* Widget() const noexcept { return FWidget.data(); }

private:
    QPointer<QWidget> FWidget;
    std::vector<std::unique_ptr<TItemLink>> FLinks;
};

} // namespace host
