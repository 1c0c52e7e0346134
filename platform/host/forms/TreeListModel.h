// TTreeListModel: the rows of a TVelmornTreeList as a flat Qt table model. It holds the values;
// captions, display texts and which cells can be edited come from the grid's columns.
#pragma once

#include "platform/rtl/Variants.h"

#include <QAbstractTableModel>
#include <vector>

namespace host {

class TVelmornTreeList;

class TTreeListModel : public QAbstractTableModel {
public:
    explicit TTreeListModel(TVelmornTreeList& grid);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const rtl::TVariant& Value(int row, int column) const;
    void SetValue(int row, int column, const rtl::TVariant& value);
    void InsertRow(int before);
    void RemoveRow(int row);
    void ClearRows();
    // The grid gained a column, or a column's caption changed.
    void ColumnAdded();
    void HeaderChanged(int column);

private:
    TVelmornTreeList& FGrid;
    // One vector per row, as many values as the grid has columns.
    std::vector<std::vector<rtl::TVariant>> FRows;
};

} // namespace host
