#include "platform/host/core/ItemLinks.h"

#include "platform/host/core/BarButton.h"

#include <QAction>
#include <algorithm>

namespace host {

TItemLink::TItemLink(TItemLinks& owner, TBarButton& item) : FOwner(owner), FItem(&item) {
    FItem->FLinks.push_back(this);
    if (QWidget* widget = FOwner.Widget()) {
        widget->addAction(FItem->Action());
    }
}

TItemLink::~TItemLink() {
    std::erase(FItem->FLinks, this);
    FSeparator.reset(); // a deleted action leaves every widget by itself
    if (QWidget* widget = FOwner.Widget()) {
        widget->removeAction(FItem->Action());
    }
}

int TItemLink::Index() const {
    return FOwner.IndexOf(this);
}

void TItemLink::SetBeginGroup(bool beginGroup) {
    FBeginGroup = beginGroup;
    UpdateSeparator();
}

void TItemLink::UpdateSeparator() {
    if (!FBeginGroup) {
        FSeparator.reset();
        return;
    }
    if (!FSeparator) {
        FSeparator = std::make_unique<QAction>();
        FSeparator->setSeparator(true);
        if (QWidget* widget = FOwner.Widget()) {
            widget->insertAction(FItem->Action(), FSeparator.get());
        }
    }
    FSeparator->setVisible(FItem->Visible());
}

void TItemLink::Destroy() {
    FOwner.Remove(this);
}

TItemLinks::TItemLinks(QWidget* widget) : FWidget(widget) {}

TItemLinks::~TItemLinks() {
    Clear();
}

TItemLink* TItemLinks::Add(TBarButton* item) {
    if (item == nullptr) {
        throw EHostObjectError("Cannot link a nil command");
    }
    if (TItemLink* existing = Find(item)) {
        return existing;
    }
    FLinks.push_back(std::unique_ptr<TItemLink>(new TItemLink(*this, *item)));
    return FLinks.back().get();
}

int TItemLinks::IndexOf(const TItemLink* link) const noexcept {
    for (std::size_t i = 0; i < FLinks.size(); ++i) {
        if (FLinks[i].get() == link) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

TItemLink* TItemLinks::Find(const TBarButton* item) const noexcept {
    for (const auto& link : FLinks) {
        if (link->FItem == item) {
            return link.get();
        }
    }
    return nullptr;
}

void TItemLinks::Remove(TItemLink* link) {
    const int index = IndexOf(link);
    if (index < 0) {
        return;
    }
    // Out of the list before it dies, so the list never holds a link being destroyed.
    std::unique_ptr<TItemLink> doomed = std::move(FLinks[static_cast<std::size_t>(index)]);
    FLinks.erase(FLinks.begin() + index);
}

void TItemLinks::Clear() {
    while (!FLinks.empty()) {
        Remove(FLinks.back().get());
    }
}

} // namespace host
