// TVelmornTreeList: a flat grid of typed values with captioned columns and an editor chosen per
// cell, always open in the focused cell. Insert adds a row, Ctrl+Delete removes the focused one.
#pragma once

#include "platform/host/forms/EditProperties.h"
#include "platform/rtl/Variants.h"

#include <QTreeView>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace host {

class TTreeListModel;
class TTreeListDelegate;
class TVelmornTreeList;

class TcxVelmornTreeListColumn {
public:
    TcxVelmornTreeListColumn(TVelmornTreeList& grid, int index) : FGrid(grid), FIndex(index) {}
    TcxVelmornTreeListColumn(const TcxVelmornTreeListColumn&) = delete;
    TcxVelmornTreeListColumn& operator=(const TcxVelmornTreeListColumn&) = delete;

    std::string Name;
    bool ReadOnly = false;
    // The type every value an editor writes into this column is converted to; Empty takes
    // values as the editor writes them. A value that does not convert is not written.
    // SetValues stores what it is given.
    rtl::TVarType ValueType = rtl::TVarType::Empty;
    // The column's own editor, used where OnGetEditProperties gives none.
    TEditProperties Properties;
    // Replaces the cell's display text.
    std::function<std::string(int row, const rtl::TVariant& value)> OnGetDisplayText;
    // The editor of one cell of this column (for showing and editing it); nullptr keeps the
    // column's own. The returned properties must outlive the grid's use of them.
    std::function<const TEditProperties*(int row)> OnGetEditProperties;

    int Index() const noexcept { return FIndex; }
    std::string Caption() const { return FCaption; }
    void SetCaption(const std::string& caption);
    // The width relative to the other columns; the columns always share the grid's width.
    int Width() const noexcept { return FWidth; }
    void SetWidth(int width);
    // The pixels the column's values need: its share never goes below it, and the grid asks
    // for room for it, so the dialog around it grows rather than clipping the values.
    int MinWidth() const noexcept { return FMinWidth; }
    void SetMinWidth(int width);

private:
    friend class TVelmornTreeList;
    TVelmornTreeList& FGrid;
    int FIndex;
    std::string FCaption;
    int FWidth = 100;
    int FMinWidth = 0;
};

class TVelmornTreeList : public QTreeView {
    Q_OBJECT

public:
    explicit TVelmornTreeList(QWidget* parent = nullptr);
    ~TVelmornTreeList() override;

    TcxVelmornTreeListColumn* CreateColumn(const std::string& name, const std::string& caption,
                                           int width);
    int ColumnCount() const noexcept { return static_cast<int>(FColumns.size()); }
    // Raise rtl::Exception for an index outside the columns.
    TcxVelmornTreeListColumn* Columns(int index) const;

    // A hidden column keeps its values; the shown ones share the width.
    void SetColumnVisible(int column, bool visible);
    // Shows the column at that place from the left; indices and values stay as they are.
    void MoveColumn(int column, int position);

    int Count() const;
    // Appends a row of Empty values, runs OnCreateNode for it and returns its index.
    int AddNode();
    // Inserts a row of Empty values before `before` (Count() appends), runs OnCreateNode.
    int InsertNode(int before);
    void DeleteNode(int row);
    void Clear();

    // Raise rtl::Exception for a cell outside the grid.
    const rtl::TVariant& Values(int row, int column) const;
    void SetValues(int row, int column, const rtl::TVariant& value);

    // -1 when no row has the focus.
    int FocusedRow() const;
    int FocusedColumn() const;
    void SetFocusedCell(int row, int column);

    // Suspends repainting until the matching EndUpdate; brackets nest.
    void BeginUpdate();
    void EndUpdate();

    // The editor of a cell: the column's OnGetEditProperties or, failing that, its own.
    const TEditProperties& EditPropertiesFor(int row, int column) const;
    // What the cell shows: the column's OnGetDisplayText or the editor's display text.
    std::string DisplayText(int row, int column) const;
    // The editor widget open in the focused cell, nullptr when none is.
    QWidget* ActiveEditor() const;

    // After a new row was added by Insert, AddNode or InsertNode.
    std::function<void(int row)> OnCreateNode;
    // After an editor wrote a new value into a cell of that column (the focused row).
    std::function<void(TcxVelmornTreeListColumn& column)> OnEditValueChanged;

    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    friend class TTreeListDelegate;
    friend class TcxVelmornTreeListColumn;

    // Writes a value an editor produced and tells OnEditValueChanged.
    void PostEditValue(const QModelIndex& index, const rtl::TVariant& value);
    // Handles the grid's own keys, from the grid or from an open editor; true when handled.
    bool HandleGridKey(const QKeyEvent& event);
    static bool IsGridKey(const QKeyEvent& event);
    // True while the grid or one of its editors has the keyboard focus.
    bool OwnsFocus() const;
    // The first column that is not read-only (the first column when all are), -1 for none.
    int FirstEditableColumn() const;
    void FitColumns();
    void OpenEditorLater();
    void CheckCell(int row, int column) const;

    std::vector<std::unique_ptr<TcxVelmornTreeListColumn>> FColumns;
    std::unique_ptr<TTreeListModel> FModel;
    std::unique_ptr<TTreeListDelegate> FDelegate;
    int FUpdateCount = 0;
    bool FDestroying = false;
    QMetaObject::Connection FFocusWatch;
};

} // namespace host
