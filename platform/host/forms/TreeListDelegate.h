// TTreeListDelegate: makes, fills and paints the cell editors of a TVelmornTreeList. Editors
// post every change at once, so the grid's value and its change notice follow each keystroke.
#pragma once

#include <QStyledItemDelegate>

namespace host {

class TVelmornTreeList;

class TTreeListDelegate : public QStyledItemDelegate {
public:
    explicit TTreeListDelegate(TVelmornTreeList& grid);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    TVelmornTreeList& FGrid;
};

} // namespace host
