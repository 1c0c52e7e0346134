// TDialogBase: the base of the host's modal dialogs, fixed-size unless a dialog's layout lets it
// grow. Execute shows the dialog modally
// over a parent window for the duration of the call and tells whether it was closed with Ok.
#pragma once

#include <QDialog>
#include <string>

namespace host {

class TDialogBase : public QDialog {
    Q_OBJECT

public:
    // The owner, if any, frees the dialog; Execute's parent only lends its window for the call.
    explicit TDialogBase(QWidget* owner = nullptr);

    void SetCaption(const std::string& caption);
    std::string Caption() const;
    // The dialog cannot be resized; this sets its one size.
    void SetClientSize(int width, int height);
    // For a dialog whose controls stand in a layout: it opens at this size, or larger where the
    // layout needs more, may be made larger, and never smaller than the layout needs.
    void SetSizableClientSize(int width, int height);

    // Shows the dialog modal over parent (may be nullptr) and returns true when it was closed
    // with Ok (accepted). An installed TModalAnswerer answers instead of a person; without one,
    // a session that cannot show windows returns false at once. The dialog's own parent is the
    // same before and after the call, so whoever owns it still frees it exactly once.
    bool Execute(QWidget* parent);
};

} // namespace host
