// TListView: a read-only list in report mode (captioned columns, whole-row single selection)
// whose rows carry a caption, sub-item texts and a reference to the caller's object. A click on
// a column header sorts what the user sees; Items keep the order the rows were added in.
#pragma once

#include <QMenu>
#include <QPointer>
#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

namespace host {

class TListView;

// One row. Column 0 shows the caption, columns 1.. the sub-items in order. The row never owns
// what Data points to.
class TListItem : public QTreeWidgetItem {
public:
    static constexpr int ItemType = QTreeWidgetItem::UserType + 1;

    // The sub-item texts of a row; sub-item i is shown in column i + 1.
    class TSubItems {
    public:
        explicit TSubItems(TListItem& item) : FItem(item) {}
        TSubItems(const TSubItems&) = delete;
        TSubItems& operator=(const TSubItems&) = delete;

        int Count() const noexcept { return FCount; }
        void Clear();
        // Appends a text and returns its index.
        int Add(const std::string& text);
        // Raise rtl::Exception for an index outside 0..Count-1.
        std::string operator[](int index) const;
        void Set(int index, const std::string& text);
        // The text shown when the pointer rests on the sub-item, for one a narrow column cuts
        // off; Clear removes it with the text.
        void SetHint(int index, const std::string& hint);

    private:
        void Check(int index) const;
        TListItem& FItem;
        int FCount = 0;
    };

    TListItem();
    TListItem(const TListItem&) = delete;
    TListItem& operator=(const TListItem&) = delete;

    std::string Caption() const;
    void SetCaption(const std::string& caption);
    TSubItems& SubItems() noexcept { return FSubItems; }
    const TSubItems& SubItems() const noexcept { return FSubItems; }
    // Position in its list's own order, -1 when in none.
    int Index() const;
    TListView* ListView() const;

    // Shows the row as failed: every column in the error colour of the list's palette, and the
    // style's error icon beside sub-item `iconSubItem`. False shows it as any other row.
    void SetError(bool error, int iconSubItem = 0);
    bool Error() const noexcept { return FError; }

    QVariant data(int column, int role) const override;

    // Texts compare as people read them: letter case aside, and numbers by value ("Task 2"
    // before "Task 10").
    bool operator<(const QTreeWidgetItem& other) const override;

    void* Data = nullptr;

private:
    TSubItems FSubItems;
    bool FError = false;
    int FErrorIconColumn = 1;
};

class TListView : public QTreeWidget {
    Q_OBJECT

public:
    // A column width that shares the space the other columns leave.
    static constexpr int SizedToFit = -1;
    // As wide as the column's caption or its widest text, whichever is wider.
    static constexpr int SizedToContent = -2;
    // Shares the space as SizedToFit does, but shows its widest text up to a third of the
    // list's width even if the list must scroll for it, and takes what is left once every
    // sharing column shows its texts whole.
    static constexpr int SizedToFitFirst = -3;

    // The rows of a list, in the order they were added, whatever the display is sorted by.
    // Removing a row frees it.
    class TListItems {
    public:
        explicit TListItems(TListView& view) : FView(view) {}
        TListItems(const TListItems&) = delete;
        TListItems& operator=(const TListItems&) = delete;

        int Count() const;
        // Raise rtl::Exception for an index outside 0..Count-1.
        TListItem* operator[](int index) const;
        TListItem* Add();
        // A new row at `index` (0..Count) of the own order; shown there unless the list is
        // sorted by a column, then where it sorts.
        TListItem* Insert(int index);
        void Delete(int index);
        void Clear();
        // -1 for nullptr or a row of another list.
        int IndexOf(const TListItem* item) const;
        // Bracket many changes so the list repaints once.
        void BeginUpdate();
        void EndUpdate();

    private:
        void Check(int index) const;
        TListView& FView;
        int FUpdateCount = 0;
    };

    explicit TListView(QWidget* parent = nullptr);
    // The rows are cleared after this destructor has run; by then nothing may reach this list.
    ~TListView() override;

    // Appends a column; width in pixels, SizedToFit, SizedToContent or SizedToFitFirst.
    void AddColumn(const std::string& caption, int width = SizedToFit);

    TListItems Items;

    // The selected row, nullptr when none is.
    TListItem* Selected() const;
    // Selects the row (and makes it current); nullptr clears the selection.
    void SetSelected(TListItem* item);

    // The context menu; the list does not own it. Its aboutToShow runs before every popup, so
    // the menu's owner can hide entries that do not apply.
    void SetPopupMenu(QMenu* menu) { FPopupMenu = menu; }
    QMenu* PopupMenu() const { return FPopupMenu; }
    // Opens the context menu as a right click at that viewport point would.
    void Popup(const QPoint& viewportPos);

    // Runs on every double click in the list, on a row or beside the rows.
    std::function<void()> OnDblClick;
    // The column of the last double click, -1 beside the columns; for OnDblClick to read.
    int DblClickColumn() const noexcept { return FDblClickColumn; }
    // The column with that header caption, -1 when there is none.
    int ColumnOf(const std::string& caption) const;
    // The width that shows the column's caption and its widest text whole.
    int NeededWidth(int column) const;

    // The column the display is sorted by, -1 for the list's own order. A click on a header
    // sorts by that column ascending, a second click descending, a third one gives the own
    // order back.
    int SortColumn() const noexcept { return FSortColumn; }
    Qt::SortOrder SortOrder() const noexcept { return FSortOrder; }
    void SortBy(int column, Qt::SortOrder order);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void updateGeometries() override;

private:
    void HeaderClicked(int column);
    // Sizes the columns that are not given in pixels: to their content, or sharing what is
    // left. A sharing column never gets less than its caption needs; with less room than that
    // the list scrolls sideways.
    void FitColumnsToRoom();
    // Fits again once the event loop is back, so a burst of row changes fits once.
    void FitColumnsSoon();
    // Puts the rows back in their own order on the screen, keeping the selection.
    void ShowOwnOrder();

    QPointer<QMenu> FPopupMenu;
    int FDblClickColumn = -1;
    // Every top-level row in the order it came into the list, followed through the model's
    // signals, so rows added or removed behind Items' back are counted as well.
    std::vector<QTreeWidgetItem*> FRows;
    bool FReordering = false;
    int FInsertAt = -1; // where the row being inserted goes in FRows; -1: at the end
    int FSortColumn = -1;
    Qt::SortOrder FSortOrder = Qt::AscendingOrder;
    std::vector<int> FSizing; // per column: a width in pixels or one of the Sized... values
    bool FFitting = false;
    bool FFitPending = false;
};

} // namespace host
