#include "platform/host/forms/ListView.h"

#include "platform/host/forms/ErrorStyle.h"
#include "platform/rtl/SysUtils.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>

namespace host {

namespace {

[[noreturn]] void IndexError(int index) {
    throw rtl::Exception(rtl::Format("List index out of bounds (%d)", index));
}

// Rows put in through QTreeWidget's own calls are not TListItems; they are not ours to cast.
TListItem* AsListItem(QTreeWidgetItem* item) {
    return item != nullptr && item->type() == TListItem::ItemType ? static_cast<TListItem*>(item)
                                                                  : nullptr;
}

} // namespace

// --- TListItem::TSubItems ---------------------------------------------------------------------

void TListItem::TSubItems::Check(int index) const {
    if (index < 0 || index >= FCount) {
        IndexError(index);
    }
}

void TListItem::TSubItems::Clear() {
    for (int i = 0; i < FCount; ++i) {
        FItem.setText(i + 1, QString());
        FItem.setToolTip(i + 1, QString());
    }
    FCount = 0;
}

int TListItem::TSubItems::Add(const std::string& text) {
    FItem.setText(FCount + 1, QString::fromStdString(text));
    return FCount++;
}

std::string TListItem::TSubItems::operator[](int index) const {
    Check(index);
    return FItem.text(index + 1).toStdString();
}

void TListItem::TSubItems::Set(int index, const std::string& text) {
    Check(index);
    FItem.setText(index + 1, QString::fromStdString(text));
}

void TListItem::TSubItems::SetHint(int index, const std::string& hint) {
    Check(index);
    FItem.setToolTip(index + 1, QString::fromStdString(hint));
}

// --- TListItem --------------------------------------------------------------------------------

TListItem::TListItem() : QTreeWidgetItem(ItemType), FSubItems(*this) {}

std::string TListItem::Caption() const {
    return text(0).toStdString();
}

void TListItem::SetCaption(const std::string& caption) {
    setText(0, QString::fromStdString(caption));
}

int TListItem::Index() const {
    QTreeWidget* tree = treeWidget();
    return tree != nullptr ? tree->indexOfTopLevelItem(const_cast<TListItem*>(this)) : -1;
}

TListView* TListItem::ListView() const {
    return qobject_cast<TListView*>(treeWidget());
}

void TListItem::SetError(bool error, int iconSubItem) {
    FError = error;
    FErrorIconColumn = iconSubItem + 1;
    // The roles are answered by data(); the view repaints on this notice.
    emitDataChanged();
}

QVariant TListItem::data(int column, int role) const {
    if (FError) {
        const QTreeWidget* tree = treeWidget();
        // Asked at paint time, so the colour and icon follow a change of palette or style.
        if (role == Qt::ForegroundRole && tree != nullptr) {
            return QBrush(ErrorColor(tree->palette()));
        }
        if (role == Qt::DecorationRole && column == FErrorIconColumn) {
            return ErrorIcon(tree != nullptr ? tree->style() : nullptr);
        }
    }
    return QTreeWidgetItem::data(column, role);
}

// --- TListView::TListItems --------------------------------------------------------------------

void TListView::TListItems::Check(int index) const {
    if (index < 0 || index >= Count()) {
        IndexError(index);
    }
}

int TListView::TListItems::Count() const {
    return FView.topLevelItemCount();
}

TListItem* TListView::TListItems::operator[](int index) const {
    Check(index);
    return AsListItem(FView.topLevelItem(index));
}

TListItem* TListView::TListItems::Add() {
    auto* item = new TListItem;
    FView.addTopLevelItem(item);
    return item;
}

void TListView::TListItems::Delete(int index) {
    Check(index);
    delete FView.takeTopLevelItem(index);
}

void TListView::TListItems::Clear() {
    FView.clear();
}

int TListView::TListItems::IndexOf(const TListItem* item) const {
    if (item == nullptr) {
        return -1;
    }
    return FView.indexOfTopLevelItem(const_cast<TListItem*>(item));
}

void TListView::TListItems::BeginUpdate() {
    if (FUpdateCount++ == 0) {
        FView.setUpdatesEnabled(false);
    }
}

void TListView::TListItems::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) {
        FView.setUpdatesEnabled(true);
    }
}

// --- TListView --------------------------------------------------------------------------------

TListView::TListView(QWidget* parent) : QTreeWidget(parent), Items(*this) {
    setColumnCount(0);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFrameShape(QFrame::NoFrame);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
}

void TListView::AddColumn(const std::string& caption, int width) {
    const int column = columnCount();
    setColumnCount(column + 1);
    headerItem()->setText(column, QString::fromStdString(caption));
    if (width == SizedToFit) {
        header()->setSectionResizeMode(column, QHeaderView::Stretch);
    } else {
        header()->setSectionResizeMode(column, QHeaderView::Interactive);
        header()->resizeSection(column, width);
    }
}

TListItem* TListView::Selected() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty()) {
        return nullptr;
    }
    return AsListItem(selected.constFirst());
}

void TListView::SetSelected(TListItem* item) {
    if (item == nullptr) {
        clearSelection();
        return;
    }
    setCurrentItem(item);
    item->setSelected(true);
}

void TListView::Popup(const QPoint& viewportPos) {
    if (FPopupMenu != nullptr) {
        FPopupMenu->popup(viewport()->mapToGlobal(viewportPos));
    }
}

int TListView::ColumnOf(const std::string& caption) const {
    const QString wanted = QString::fromStdString(caption);
    for (int column = 0; column < columnCount(); ++column) {
        if (headerItem()->text(column) == wanted) {
            return column;
        }
    }
    return -1;
}

void TListView::mouseDoubleClickEvent(QMouseEvent* event) {
    FDblClickColumn = columnAt(event->position().toPoint().x());
    QTreeWidget::mouseDoubleClickEvent(event);
    if (OnDblClick) {
        OnDblClick();
    }
}

void TListView::contextMenuEvent(QContextMenuEvent* event) {
    if (FPopupMenu == nullptr) {
        QTreeWidget::contextMenuEvent(event);
        return;
    }
    FPopupMenu->popup(event->globalPos());
    event->accept();
}

} // namespace host
