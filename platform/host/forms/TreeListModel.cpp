#include "platform/host/forms/TreeListModel.h"

#include "platform/host/forms/VelmornTreeList.h"

namespace host {

TTreeListModel::TTreeListModel(TVelmornTreeList& grid) : FGrid(grid) {}

int TTreeListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FRows.size());
}

int TTreeListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FGrid.ColumnCount();
}

QVariant TTreeListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        // A check box cell paints its box instead of a text.
        if (FGrid.EditPropertiesFor(index.row(), index.column()).Kind == TEditorKind::Boolean) {
            return {};
        }
        return QString::fromStdString(FGrid.DisplayText(index.row(), index.column()));
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole:
        return QString::fromStdString(FGrid.DisplayText(index.row(), index.column()));
    default:
        return {};
    }
}

QVariant TTreeListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= FGrid.ColumnCount()) {
        return {};
    }
    return QString::fromStdString(FGrid.Columns(section)->Caption());
}

Qt::ItemFlags TTreeListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (!FGrid.Columns(index.column())->ReadOnly) {
        result |= Qt::ItemIsEditable;
    }
    return result;
}

const rtl::TVariant& TTreeListModel::Value(int row, int column) const {
    return FRows[std::size_t(row)][std::size_t(column)];
}

void TTreeListModel::SetValue(int row, int column, const rtl::TVariant& value) {
    rtl::TVariant& cell = FRows[std::size_t(row)][std::size_t(column)];
    if (cell == value) {
        return;
    }
    cell = value;
    // Another cell of the row may show this value through its editor choice or display text.
    emit dataChanged(this->index(row, 0), this->index(row, columnCount() - 1));
}

void TTreeListModel::InsertRow(int before) {
    beginInsertRows(QModelIndex(), before, before);
    FRows.insert(FRows.begin() + before, std::vector<rtl::TVariant>(std::size_t(columnCount())));
    endInsertRows();
    // Display texts may depend on a row's position (row numbers), so later rows change too.
    if (before + 1 < rowCount()) {
        emit dataChanged(index(before + 1, 0), index(rowCount() - 1, columnCount() - 1));
    }
}

void TTreeListModel::RemoveRow(int row) {
    beginRemoveRows(QModelIndex(), row, row);
    FRows.erase(FRows.begin() + row);
    endRemoveRows();
    if (row < rowCount()) {
        emit dataChanged(index(row, 0), index(rowCount() - 1, columnCount() - 1));
    }
}

void TTreeListModel::ClearRows() {
    beginResetModel();
    FRows.clear();
    endResetModel();
}

void TTreeListModel::ColumnAdded() {
    const int column = FGrid.ColumnCount() - 1;
    beginInsertColumns(QModelIndex(), column, column);
    for (std::vector<rtl::TVariant>& row : FRows) {
        row.emplace_back();
    }
    endInsertColumns();
}

void TTreeListModel::HeaderChanged(int column) {
    emit headerDataChanged(Qt::Horizontal, column, column);
}

} // namespace host
