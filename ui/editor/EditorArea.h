// TEditorArea: one area of the "Report schedule" dialog (the task, its schedule, its parameters,
// its options): makes its controls on the dialog, lays them out and copies them from and to a task.
#pragma once

#include <QObject>
#include <QString>
#include <exception>
#include <vector>

class QLayout;
class QVBoxLayout;
class QWidget;

namespace morvid {

class TScheduleItem;

// The spacing every area keeps, so that the areas line up as one dialog.
namespace editor {
// Room around the controls, between neighbouring fields, and between a caption and its field.
constexpr int Margin = 16;
constexpr int FieldGap = 7;
constexpr int CaptionGap = 2;
// Extra room between the groups of fields: task, schedule fields, options.
constexpr int GroupGap = 8;
} // namespace editor

// The controls are children of the dialog itself, not of a widget of the area, so each stands
// where the dialog's layout puts it; the area is the context of their connections, so nothing
// reaches an area that is gone.
class TEditorArea : public QObject {
public:
    explicit TEditorArea(QWidget& dialog) : FDialog(dialog) {}

    // The layout the area's controls stand in, for the dialog to place.
    QLayout* Layout() const noexcept { return FLayout; }

    virtual void LoadFromTask(const TScheduleItem& task) = 0;
    virtual void SaveToTask(TScheduleItem& task) const = 0;
    // Whether the area holds what a task needs before Ok may be pressed.
    virtual bool Complete() const { return true; }
    // Asked when Ok is pressed, in the order of the areas; false keeps the dialog open. An area
    // may put a question here that only makes sense once the user is done.
    virtual bool ConfirmOk() { return true; }
    // The area's controls in the order Tab visits them.
    virtual std::vector<QWidget*> TabOrder() const = 0;

protected:
    // The field under its caption, the caption's label named `name` and leading to the field.
    QVBoxLayout* Captioned(const char* name, const QString& caption, QWidget* field);

    // Runs a handler from the event loop; what it raises is shown as an error message, as the
    // host's general error handling would, since nothing may propagate through Qt's loop.
    template <class F> void Guarded(F&& handler) {
        try {
            handler();
        } catch (const std::exception& error) {
            ShowError(error);
        }
    }
    static void ShowError(const std::exception& error);

    QWidget& FDialog;
    QLayout* FLayout = nullptr;
};

} // namespace morvid
