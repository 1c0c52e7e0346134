#include "platform/host/forms/ListView.h"

#include "platform/host/forms/ErrorStyle.h"
#include "platform/rtl/SysUtils.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleOptionSlider>
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

// Fusion, the style Qt takes where the desktop names none (and under Xvfb), paints a scroll
// bar's thumb lighter than its groove, outlined on its trailing edge only: the darker groove
// reads as the thumb, which then seems to sit at the right while the view is at the left. The
// list's bars paint their thumb over that in a colour between the button's and the text's, which
// stands out from the groove on light and dark palettes alike.
class TThumbStyle : public QProxyStyle {
public:
    TThumbStyle() : QProxyStyle(QStringLiteral("fusion")) {}

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (control != CC_ScrollBar || bar == nullptr || !(bar->subControls & SC_ScrollBarSlider) ||
            bar->minimum == bar->maximum) {
            return;
        }
        const QColor button = option->palette.color(QPalette::Button);
        const QColor text = option->palette.color(QPalette::WindowText);
        const auto mix = [](int a, int b) { return (a * 6 + b * 4) / 10; };
        const QColor thumb(mix(button.red(), text.red()), mix(button.green(), text.green()),
                           mix(button.blue(), text.blue()));
        const bool horizontal = bar->orientation == Qt::Horizontal;
        const QRect rect = subControlRect(control, option, SC_ScrollBarSlider, widget)
                               .adjusted(horizontal ? 1 : 3, horizontal ? 3 : 1,
                                         horizontal ? -1 : -3, horizontal ? -3 : -1);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(thumb);
        const qreal radius = std::min(rect.width(), rect.height()) / 2.0;
        painter->drawRoundedRect(rect, radius, radius);
        painter->restore();
    }
};

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

TListItem* TListView::TListItems::Insert(int index) {
    if (index != Count()) {
        Check(index);
    }
    auto* item = new TListItem;
    FView.FInsertAt = index;
    FView.insertTopLevelItem(FView.FSortColumn < 0 ? index : 0, item);
    FView.FInsertAt = -1;
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
    if (style()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) == 0) {
        auto* thumbStyle = new TThumbStyle;
        thumbStyle->setParent(this);
        horizontalScrollBar()->setStyle(thumbStyle);
        verticalScrollBar()->setStyle(thumbStyle);
    }

    // Sorting moves rows without inserting or removing any, so these follow membership only.
    QAbstractItemModel* rows = model();
    connect(rows, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& parent, int first, int last) {
                if (parent.isValid() || FReordering) {
                    return;
                }
                for (int row = first; row <= last; ++row) {
                    const auto at =
                        FInsertAt >= 0 ? FRows.begin() + FInsertAt + (row - first) : FRows.end();
                    FRows.insert(at, topLevelItem(row));
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
    // Columns sized to their texts follow the texts.
    connect(rows, &QAbstractItemModel::dataChanged, this, [this] { FitColumnsSoon(); });
    connect(rows, &QAbstractItemModel::rowsInserted, this, [this] { FitColumnsSoon(); });
    connect(rows, &QAbstractItemModel::rowsRemoved, this, [this] { FitColumnsSoon(); });
    connect(rows, &QAbstractItemModel::modelReset, this, [this] { FitColumnsSoon(); });
}

TListView::~TListView() {
    disconnect(model(), nullptr, this, nullptr);
}

void TListView::AddColumn(const std::string& caption, int width) {
    const int column = columnCount();
    setColumnCount(column + 1);
    headerItem()->setText(column, QString::fromStdString(caption));
    FSizing.push_back(width);
    if (width >= 0) {
        header()->setSectionResizeMode(column, QHeaderView::Interactive);
        header()->resizeSection(column, width);
    } else {
        // Sized by FitColumnsToRoom alone, which a drag would only fight.
        header()->setSectionResizeMode(column, QHeaderView::Fixed);
    }
}

void TListView::updateGeometries() {
    QTreeWidget::updateGeometries();
    FitColumnsToRoom();
}

void TListView::FitColumnsSoon() {
    if (FFitPending) {
        return;
    }
    FFitPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            FFitPending = false;
            FitColumnsToRoom();
        },
        Qt::QueuedConnection);
}

namespace {

struct TShare {
    int Column;
    int Width; // starts at the least the column gets
    int Want;  // the widest of caption and texts
    bool First;
};

// Gives the columns of the kind that still want width equal parts of `spare` until each has
// what it wants or nothing is left.
void GrowToWant(std::vector<TShare>& shares, bool first, int& spare) {
    while (spare > 0) {
        int wanting = 0;
        for (const TShare& share : shares) {
            wanting += share.First == first && share.Width < share.Want ? 1 : 0;
        }
        if (wanting == 0) {
            return;
        }
        const int step = std::max(1, spare / wanting);
        for (TShare& share : shares) {
            if (share.First == first && share.Width < share.Want && spare > 0) {
                const int add = std::min({step, share.Want - share.Width, spare});
                share.Width += add;
                spare -= add;
            }
        }
    }
}

} // namespace

void TListView::FitColumnsToRoom() {
    if (FFitting || columnCount() == 0) {
        return;
    }
    FFitting = true;
    QHeaderView* head = header();
    int room = viewport()->width();
    std::vector<TShare> shares;
    for (int column = 0; column < columnCount(); ++column) {
        const int sizing = FSizing[std::size_t(column)];
        if (isColumnHidden(column)) {
            continue;
        }
        if (sizing >= 0) {
            room -= head->sectionSize(column);
            continue;
        }
        const int caption = head->sectionSizeHint(column);
        const int content = NeededWidth(column);
        if (sizing == SizedToContent) {
            head->resizeSection(column, content);
            room -= content;
        } else {
            // A first column shows its texts whole up to a third of the list, even when the
            // list then has to scroll sideways: a cut name is worse than a scroll bar.
            const bool first = sizing == SizedToFitFirst;
            const int floor =
                first ? std::max(caption, std::min(content, viewport()->width() / 3)) : caption;
            shares.push_back({column, floor, content, first});
        }
    }
    int spare = room;
    for (const TShare& share : shares) {
        spare -= share.Width;
    }
    // Past their floors the other columns grow toward their widest texts, then the first ones;
    // what is still left goes to the first ones, or to all when none is first.
    GrowToWant(shares, false, spare);
    GrowToWant(shares, true, spare);
    const bool anyFirst =
        std::any_of(shares.begin(), shares.end(), [](const TShare& share) { return share.First; });
    const int takers = int(std::count_if(shares.begin(), shares.end(), [&](const TShare& share) {
        return share.First || !anyFirst;
    }));
    const int each = takers > 0 && spare > 0 ? spare / takers : 0;
    int odd = takers > 0 && spare > 0 ? spare % takers : 0;
    for (TShare& share : shares) {
        if (share.First || !anyFirst) {
            share.Width += each + (odd > 0 ? 1 : 0);
            odd -= odd > 0 ? 1 : 0;
        }
        head->resizeSection(share.Column, share.Width);
    }
    FFitting = false;
}

int TListView::NeededWidth(int column) const {
    return std::max(header()->sectionSizeHint(column), sizeHintForColumn(column));
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
