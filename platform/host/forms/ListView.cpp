#include "platform/host/forms/ListView.h"

#include "platform/host/forms/ErrorStyle.h"
#include "platform/rtl/SysUtils.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <algorithm>

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

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The run of characters from `from` that are all digits or all not.
QStringView Run(const QString& text, qsizetype from) {
    const bool digits = IsDigit(text[from]);
    qsizetype end = from;
    while (end < text.size() && IsDigit(text[end]) == digits) {
        ++end;
    }
    return QStringView(text).mid(from, end - from);
}

// Digit runs compare by value (no locale's collation does that everywhere), the rest without
// regard to letter case.
int ReadableCompare(const QString& a, const QString& b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        const QStringView left = Run(a, i);
        const QStringView right = Run(b, j);
        int order = 0;
        if (IsDigit(left[0]) && IsDigit(right[0])) {
            auto trimmed = [](QStringView digits) {
                while (digits.size() > 1 && digits[0] == u'0') {
                    digits = digits.mid(1);
                }
                return digits;
            };
            const QStringView x = trimmed(left);
            const QStringView y = trimmed(right);
            order = x.size() != y.size() ? (x.size() < y.size() ? -1 : 1) : x.compare(y);
        } else {
            order = left.compare(right, Qt::CaseInsensitive);
        }
        if (order != 0) {
            return order;
        }
        i += left.size();
        j += right.size();
    }
    return (i < a.size()) - (j < b.size());
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

bool TListItem::operator<(const QTreeWidgetItem& other) const {
    const QTreeWidget* tree = treeWidget();
    const int column = tree != nullptr ? tree->sortColumn() : 0;
    return ReadableCompare(text(column), other.text(column)) < 0;
}

std::string TListItem::Caption() const {
    return text(0).toStdString();
}

void TListItem::SetCaption(const std::string& caption) {
    setText(0, QString::fromStdString(caption));
}

int TListItem::Index() const {
    const TListView* view = ListView();
    return view != nullptr ? view->Items.IndexOf(this) : -1;
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
    return static_cast<int>(FView.FRows.size());
}

TListItem* TListView::TListItems::operator[](int index) const {
    Check(index);
    return AsListItem(FView.FRows[std::size_t(index)]);
}

TListItem* TListView::TListItems::Add() {
    auto* item = new TListItem;
    FView.addTopLevelItem(item);
    return item;
}

void TListView::TListItems::Delete(int index) {
    Check(index);
    // The row leaves the own order as it leaves the tree.
    delete FView.FRows[std::size_t(index)];
}

void TListView::TListItems::Clear() {
    FView.clear();
}

int TListView::TListItems::IndexOf(const TListItem* item) const {
    const auto found = std::find(FView.FRows.begin(), FView.FRows.end(), item);
    return item != nullptr && found != FView.FRows.end() ? int(found - FView.FRows.begin()) : -1;
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
    header()->setSectionsClickable(true);
    connect(header(), &QHeaderView::sectionClicked, this,
            [this](int column) { HeaderClicked(column); });

    // Sorting moves rows without inserting or removing any, so these follow membership only.
    QAbstractItemModel* rows = model();
    connect(rows, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& parent, int first, int last) {
                if (parent.isValid() || FReordering) {
                    return;
                }
                for (int row = first; row <= last; ++row) {
                    FRows.push_back(topLevelItem(row));
                }
            });
    connect(rows, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex& parent, int first, int last) {
                if (parent.isValid() || FReordering) {
                    return;
                }
                for (int row = first; row <= last; ++row) {
                    std::erase(FRows, topLevelItem(row));
                }
            });
    connect(rows, &QAbstractItemModel::modelAboutToBeReset, this, [this] { FRows.clear(); });
}

void TListView::AddColumn(const std::string& caption, int width) {
    const int column = columnCount();
    setColumnCount(column + 1);
    headerItem()->setText(column, QString::fromStdString(caption));
    if (width == SizedToFit) {
        FFitColumns.push_back(column);
        header()->setSectionResizeMode(column, QHeaderView::Stretch);
    } else {
        header()->setSectionResizeMode(column, QHeaderView::Interactive);
        header()->resizeSection(column, width);
    }
}

void TListView::updateGeometries() {
    QTreeWidget::updateGeometries();
    FitColumnsToRoom();
}

void TListView::FitColumnsToRoom() {
    QHeaderView* head = header();
    int fixed = 0;
    int fitting = 0;
    int widestCaption = 0;
    for (int column = 0; column < columnCount(); ++column) {
        if (isColumnHidden(column)) {
            continue;
        }
        if (std::find(FFitColumns.begin(), FFitColumns.end(), column) == FFitColumns.end()) {
            fixed += head->sectionSize(column);
        } else {
            ++fitting;
            widestCaption = std::max(widestCaption, head->sectionSizeHint(column));
        }
    }
    const bool share = fixed + fitting * widestCaption <= viewport()->width();
    if (share == FFitColumnsShare) {
        return;
    }
    FFitColumnsShare = share;
    for (const int column : FFitColumns) {
        if (share) {
            head->setSectionResizeMode(column, QHeaderView::Stretch);
        } else {
            head->setSectionResizeMode(column, QHeaderView::Interactive);
            head->resizeSection(column, head->sectionSizeHint(column));
        }
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

void TListView::HeaderClicked(int column) {
    if (column != FSortColumn) {
        SortBy(column, Qt::AscendingOrder);
    } else if (FSortOrder == Qt::AscendingOrder) {
        SortBy(column, Qt::DescendingOrder);
    } else {
        SortBy(-1, Qt::AscendingOrder);
    }
}

void TListView::SortBy(int column, Qt::SortOrder order) {
    FSortColumn = column >= 0 && column < columnCount() ? column : -1;
    FSortOrder = order;
    if (FSortColumn < 0) {
        setSortingEnabled(false);
        ShowOwnOrder();
    } else {
        header()->setSortIndicator(FSortColumn, order);
        // Keeps the display sorted as rows are added and their texts change.
        setSortingEnabled(true);
        sortItems(FSortColumn, order);
    }
    // The tree makes its headers unclickable when sorting is switched off.
    header()->setSectionsClickable(true);
}

void TListView::ShowOwnOrder() {
    QTreeWidgetItem* current = currentItem();
    TListItem* selected = Selected();
    FReordering = true;
    while (topLevelItemCount() > 0) {
        takeTopLevelItem(0);
    }
    insertTopLevelItems(0, QList<QTreeWidgetItem*>(FRows.begin(), FRows.end()));
    FReordering = false;
    if (current != nullptr) {
        setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    }
    SetSelected(selected);
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
