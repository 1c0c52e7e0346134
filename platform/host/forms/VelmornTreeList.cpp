#include "platform/host/forms/VelmornTreeList.h"

#include "platform/host/forms/TreeListDelegate.h"
#include "platform/host/forms/TreeListModel.h"
#include "platform/rtl/SysUtils.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPalette>
#include <QScrollBar>
#include <algorithm>

namespace host {

namespace {

// The value converted to the column's type; Empty when it does not convert. Clear values stay
// as they are, so a cell can always be emptied.
rtl::TVariant Coerce(const rtl::TVariant& value, rtl::TVarType type) {
    if (value.IsClear()) {
        return value;
    }
    try {
        switch (type) {
        case rtl::TVarType::String:
            return rtl::TVariant(value.AsString());
        case rtl::TVarType::Integer:
            return rtl::TVariant(value.AsInteger());
        case rtl::TVarType::Boolean:
            return rtl::TVariant(value.AsBoolean());
        case rtl::TVarType::Double:
            return rtl::TVariant(value.AsDouble());
        case rtl::TVarType::Date:
            return rtl::TVariant::FromDate(value.AsDateTime());
        case rtl::TVarType::Empty:
        case rtl::TVarType::Null:
            return value;
        }
    } catch (const rtl::Exception&) {
    }
    return {};
}

} // namespace

// --- TcxVelmornTreeListColumn -----------------------------------------------------------------

void TcxVelmornTreeListColumn::SetCaption(const std::string& caption) {
    FCaption = caption;
    FGrid.FModel->HeaderChanged(FIndex);
}

void TcxVelmornTreeListColumn::SetWidth(int width) {
    FWidth = std::max(width, 1);
    FGrid.FitColumns();
}

void TcxVelmornTreeListColumn::SetMinWidth(int width) {
    FMinWidth = std::max(width, 0);
    FGrid.updateGeometry();
    FGrid.FitColumns();
}

// --- TVelmornTreeList -------------------------------------------------------------------------

TVelmornTreeList::TVelmornTreeList(QWidget* parent)
    : QTreeView(parent), FModel(std::make_unique<TTreeListModel>(*this)),
      FDelegate(std::make_unique<TTreeListDelegate>(*this)) {
    setModel(FModel.get());
    setItemDelegate(FDelegate.get());
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(false);
    setSortingEnabled(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // The focused cell opens its editor as soon as it becomes current.
    setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::AllEditTriggers);
    setTabKeyNavigation(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    QHeaderView* head = header();
    head->setSectionsMovable(false);
    head->setSectionsClickable(false);
    head->setSortIndicatorShown(false);
    head->setStretchLastSection(false);
    head->setSectionResizeMode(QHeaderView::Fixed);
    head->setContextMenuPolicy(Qt::PreventContextMenu);

    // Repaint when the focus enters or leaves, since the selection shows only with it.
    FFocusWatch =
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
            const auto inside = [this](QWidget* w) { return w == this || isAncestorOf(w); };
            if (inside(old) != inside(now)) {
                viewport()->update();
            }
        });
}

TVelmornTreeList::~TVelmornTreeList() {
    // Editors die with the base class, after this part of the grid is gone; whatever they or the
    // focus change of their going away report must not reach it.
    FDestroying = true;
    disconnect(FFocusWatch);
    // The view must let go of the model and delegate before they are destroyed.
    setItemDelegate(nullptr);
    setModel(nullptr);
}

TcxVelmornTreeListColumn* TVelmornTreeList::CreateColumn(const std::string& name,
                                                         const std::string& caption, int width) {
    auto column = std::make_unique<TcxVelmornTreeListColumn>(*this, ColumnCount());
    column->Name = name;
    column->FCaption = caption;
    column->FWidth = std::max(width, 1);
    TcxVelmornTreeListColumn* result = column.get();
    FColumns.push_back(std::move(column));
    FModel->ColumnAdded();
    header()->setSectionResizeMode(QHeaderView::Fixed);
    FitColumns();
    return result;
}

TcxVelmornTreeListColumn* TVelmornTreeList::Columns(int index) const {
    if (index < 0 || index >= ColumnCount()) {
        throw rtl::Exception(rtl::Format("Column index out of bounds (%d)", index));
    }
    return FColumns[std::size_t(index)].get();
}

int TVelmornTreeList::Count() const {
    return FModel->rowCount();
}

int TVelmornTreeList::AddNode() {
    return InsertNode(Count());
}

int TVelmornTreeList::InsertNode(int before) {
    if (before < 0 || before > Count()) {
        throw rtl::Exception(rtl::Format("Row index out of bounds (%d)", before));
    }
    FModel->InsertRow(before);
    if (OnCreateNode) {
        OnCreateNode(before);
    }
    return before;
}

void TVelmornTreeList::DeleteNode(int row) {
    CheckCell(row, 0);
    FModel->RemoveRow(row);
}

void TVelmornTreeList::Clear() {
    FModel->ClearRows();
}

void TVelmornTreeList::CheckCell(int row, int column) const {
    if (row < 0 || row >= Count()) {
        throw rtl::Exception(rtl::Format("Row index out of bounds (%d)", row));
    }
    if (column < 0 || column >= ColumnCount()) {
        throw rtl::Exception(rtl::Format("Column index out of bounds (%d)", column));
    }
}

const rtl::TVariant& TVelmornTreeList::Values(int row, int column) const {
    CheckCell(row, column);
    return FModel->Value(row, column);
}

void TVelmornTreeList::SetValues(int row, int column, const rtl::TVariant& value) {
    CheckCell(row, column);
    FModel->SetValue(row, column, value);
}

int TVelmornTreeList::FocusedRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

int TVelmornTreeList::FocusedColumn() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.column() : -1;
}

void TVelmornTreeList::SetFocusedCell(int row, int column) {
    CheckCell(row, column);
    setCurrentIndex(FModel->index(row, column));
}

void TVelmornTreeList::BeginUpdate() {
    if (FUpdateCount++ == 0) {
        setUpdatesEnabled(false);
    }
}

void TVelmornTreeList::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) {
        setUpdatesEnabled(true);
        viewport()->update();
    }
}

const TEditProperties& TVelmornTreeList::EditPropertiesFor(int row, int column) const {
    const TcxVelmornTreeListColumn& col = *Columns(column);
    if (col.OnGetEditProperties) {
        if (const TEditProperties* properties = col.OnGetEditProperties(row)) {
            return *properties;
        }
    }
    return col.Properties;
}

std::string TVelmornTreeList::DisplayText(int row, int column) const {
    const rtl::TVariant& value = Values(row, column);
    const TcxVelmornTreeListColumn& col = *Columns(column);
    if (col.OnGetDisplayText) {
        return col.OnGetDisplayText(row, value);
    }
    return EditPropertiesFor(row, column).DisplayText(value);
}

QWidget* TVelmornTreeList::ActiveEditor() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? indexWidget(current) : nullptr;
}

void TVelmornTreeList::PostEditValue(const QModelIndex& index, const rtl::TVariant& value) {
    if (FDestroying) {
        return;
    }
    const int row = index.row();
    const int column = index.column();
    if (row < 0 || row >= Count() || column < 0 || column >= ColumnCount()) {
        return;
    }
    TcxVelmornTreeListColumn& col = *Columns(column);
    if (col.ReadOnly) {
        return;
    }
    const rtl::TVariant typed = Coerce(value, col.ValueType);
    if (typed.IsEmpty() && !value.IsEmpty()) {
        return; // not a value of this column
    }
    FModel->SetValue(row, column, typed);
    if (OnEditValueChanged) {
        OnEditValueChanged(col);
    }
}

bool TVelmornTreeList::HandleGridKey(const QKeyEvent& event) {
    if (event.key() == Qt::Key_Insert && event.modifiers() == Qt::NoModifier) {
        // New rows go to the end, so parameters entered one after another keep their order.
        const int column = FocusedColumn() >= 0 ? FocusedColumn() : FirstEditableColumn();
        const int row = AddNode();
        if (column >= 0) {
            SetFocusedCell(row, column);
        }
        return true;
    }
    if (event.key() == Qt::Key_Delete && event.modifiers() == Qt::ControlModifier) {
        const int row = FocusedRow();
        if (row < 0) {
            return true;
        }
        const int column = FocusedColumn();
        DeleteNode(row);
        if (Count() > 0) {
            SetFocusedCell(std::min(row, Count() - 1), column);
        }
        return true;
    }
    return false;
}

bool TVelmornTreeList::OwnsFocus() const {
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr && (focus == this || isAncestorOf(focus));
}

int TVelmornTreeList::FirstEditableColumn() const {
    for (int column = 0; column < ColumnCount(); ++column) {
        if (!Columns(column)->ReadOnly) {
            return column;
        }
    }
    return ColumnCount() > 0 ? 0 : -1;
}

bool TVelmornTreeList::IsGridKey(const QKeyEvent& event) {
    return (event.key() == Qt::Key_Insert && event.modifiers() == Qt::NoModifier) ||
           (event.key() == Qt::Key_Delete && event.modifiers() == Qt::ControlModifier);
}

bool TVelmornTreeList::event(QEvent* event) {
    // The grid's keys win over window shortcuts on the same keys while the grid has the focus.
    if (event->type() == QEvent::ShortcutOverride && IsGridKey(*static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QTreeView::event(event);
}

void TVelmornTreeList::keyPressEvent(QKeyEvent* event) {
    if (HandleGridKey(*event)) {
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

QSize TVelmornTreeList::minimumSizeHint() const {
    QSize least = QTreeView::minimumSizeHint();
    int needed = 0;
    for (const auto& column : FColumns) {
        if (!isColumnHidden(column->FIndex)) {
            // A column without a need still keeps a sliver for its caption's first letters.
            needed += std::max(column->FMinWidth, header()->minimumSectionSize());
        }
    }
    least.setWidth(std::max(least.width(),
                            needed + 2 * frameWidth() + verticalScrollBar()->sizeHint().width()));
    return least;
}

void TVelmornTreeList::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    FitColumns();
}

void TVelmornTreeList::focusInEvent(QFocusEvent* event) {
    QTreeView::focusInEvent(event);
    if (!currentIndex().isValid() && Count() > 0 && ColumnCount() > 0) {
        // Land on the first cell that can be edited, as a user tabbing in expects.
        SetFocusedCell(0, std::max(FirstEditableColumn(), 0));
    }
    OpenEditorLater();
}

void TVelmornTreeList::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTreeView::currentChanged(current, previous);
    // Rows made current by code (SetFocusedCell, Insert, Ctrl+Delete) are selected as well, so
    // the highlighted row is always the focused one.
    if (current.isValid() && current.row() != previous.row()) {
        selectionModel()->select(current,
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

void TVelmornTreeList::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    QTreeView::closeEditor(editor, hint);
    // The focused cell always shows its editor, also after Enter or Esc closed it.
    OpenEditorLater();
}

void TVelmornTreeList::OpenEditorLater() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            const QModelIndex current = currentIndex();
            if (isVisible() && OwnsFocus() && current.isValid() &&
                state() != QAbstractItemView::EditingState && indexWidget(current) == nullptr &&
                (model()->flags(current) & Qt::ItemIsEditable)) {
                edit(current);
            }
        },
        Qt::QueuedConnection);
}

void TVelmornTreeList::FitColumns() {
    // The shown columns in screen order share the width; the last takes what rounding leaves.
    std::vector<int> shown;
    long long total = 0;
    for (int visual = 0; visual < ColumnCount(); ++visual) {
        // While a column is being added the header may not know it yet.
        const int column = header()->logicalIndex(visual);
        if (column >= 0 && column < ColumnCount() && !isColumnHidden(column)) {
            shown.push_back(column);
            total += FColumns[std::size_t(column)]->FWidth;
        }
    }
    if (shown.empty()) {
        return;
    }
    // A column whose share would be below what its values need keeps that; the others share
    // the rest.
    int available = std::max(viewport()->width(), 1);
    std::vector<int> widths(shown.size(), 0);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const TcxVelmornTreeListColumn& column = *FColumns[std::size_t(shown[i])];
        if (column.FMinWidth > 0 &&
            available * (long long)column.FWidth / std::max(total, 1LL) < column.FMinWidth) {
            widths[i] = column.FMinWidth;
        }
    }
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (widths[i] > 0) {
            available -= widths[i];
            total -= FColumns[std::size_t(shown[i])]->FWidth;
        }
    }
    available = std::max(available, 1);
    int used = 0;
    std::size_t last = shown.size();
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (widths[i] == 0) {
            last = i;
        }
    }
    for (std::size_t i = 0; i < shown.size(); ++i) {
        int width = widths[i];
        if (width == 0) {
            // The last shared column takes what rounding leaves.
            width = i == last ? std::max(available - used, 1)
                              : static_cast<int>(
                                    available * (long long)FColumns[std::size_t(shown[i])]->FWidth /
                                    std::max(total, 1LL));
            used += width;
        }
        header()->resizeSection(shown[i], width);
    }
}

void TVelmornTreeList::SetColumnVisible(int column, bool visible) {
    Columns(column); // raises for a column that does not exist
    setColumnHidden(column, !visible);
    FitColumns();
}

void TVelmornTreeList::MoveColumn(int column, int position) {
    Columns(column);
    header()->moveSection(header()->visualIndex(column), position);
    FitColumns();
}

} // namespace host
