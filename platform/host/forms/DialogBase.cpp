#include "platform/host/forms/DialogBase.h"

#include "platform/host/forms/ModalAnswerer.h"

#include <QCoreApplication>
#include <QPointer>

namespace host {

namespace {

// Lends the dialog a parent window for one Execute and gives its own parent back on every path,
// including an exception from an answerer. Keeping the loan would make the lender delete the
// dialog with itself while the dialog's real owner still holds it.
class TParentLoan {
public:
    TParentLoan(QDialog& dialog, QWidget* parent)
        : FDialog(&dialog), FOwnParent(dialog.parentWidget()),
          FLent(parent != nullptr && parent != FOwnParent && parent != &dialog) {
        if (FLent) {
            dialog.setParent(parent, dialog.windowFlags());
        }
    }
    ~TParentLoan() {
        if (FDialog.isNull()) {
            return;
        }
        FDialog->hide();
        if (FLent) {
            FDialog->setParent(FOwnParent, FDialog->windowFlags());
        }
    }
    TParentLoan(const TParentLoan&) = delete;
    TParentLoan& operator=(const TParentLoan&) = delete;

private:
    QPointer<QDialog> FDialog;
    QPointer<QWidget> FOwnParent;
    bool FLent;
};

bool Answer(TModalAnswerer& answerer, TDialogBase& dialog) {
    TModalRequest request;
    request.Kind = TModalKind::Dialog;
    request.Caption = dialog.Caption();
    answerer.Requests.push_back(request);

    dialog.setResult(QDialog::Rejected);
    dialog.show();
    // Let the show settle (polish, layouts, focus) as it would before a person could act.
    QCoreApplication::processEvents();
    const TDialogAnswer answer =
        answerer.OnDialog ? answerer.OnDialog(dialog) : TDialogAnswer::Reject;
    switch (answer) {
    case TDialogAnswer::Accept:
        dialog.accept();
        break;
    case TDialogAnswer::Reject:
        dialog.reject();
        break;
    case TDialogAnswer::ByDialog:
        if (dialog.isVisible()) {
            dialog.reject();
        }
        break;
    }
    return dialog.result() == QDialog::Accepted;
}

} // namespace

TDialogBase::TDialogBase(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                         Qt::WindowTitleHint) {
    setSizeGripEnabled(false);
}

void TDialogBase::SetCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

std::string TDialogBase::Caption() const {
    return windowTitle().toStdString();
}

void TDialogBase::SetClientSize(int width, int height) {
    setFixedSize(width, height);
}

void TDialogBase::SetSizableClientSize(int width, int height) {
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, false);
    setSizeGripEnabled(true);
    resize(QSize(width, height).expandedTo(minimumSizeHint()));
}

bool TDialogBase::Execute(QWidget* parent) {
    TParentLoan loan(*this, parent);
    setResult(QDialog::Rejected);
    if (TModalAnswerer* answerer = TModalAnswerer::Current()) {
        return Answer(*answerer, *this);
    }
    if (!InteractiveSession()) {
        return false;
    }
    return exec() == QDialog::Accepted;
}

} // namespace host
