#include "platform/host/forms/MessageDlg.h"

#include "platform/host/forms/ModalAnswerer.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <array>
#include <utility>

namespace host {

namespace {

struct TButtonInfo {
    TMsgDlgBtn Button;
    TModalResult Result;
    QMessageBox::StandardButton Standard;
};

// In the order the buttons appear and are searched for a first offered button.
constexpr std::array<TButtonInfo, 12> Buttons{{
    {mbYes, mrYes, QMessageBox::Yes},
    {mbNo, mrNo, QMessageBox::No},
    {mbOK, mrOk, QMessageBox::Ok},
    {mbCancel, mrCancel, QMessageBox::Cancel},
    {mbAbort, mrAbort, QMessageBox::Abort},
    {mbRetry, mrRetry, QMessageBox::Retry},
    {mbIgnore, mrIgnore, QMessageBox::Ignore},
    {mbAll, mrAll, QMessageBox::YesAll},
    {mbNoToAll, mrNoToAll, QMessageBox::NoToAll},
    {mbYesToAll, mrYesToAll, QMessageBox::YesToAll},
    {mbHelp, mrHelp, QMessageBox::Help},
    {mbClose, mrClose, QMessageBox::Close},
}};

const char* TypeCaption(TMsgDlgType type) {
    switch (type) {
    case TMsgDlgType::mtWarning:
        return "Warning";
    case TMsgDlgType::mtError:
        return "Error";
    case TMsgDlgType::mtInformation:
        return "Information";
    case TMsgDlgType::mtConfirmation:
        return "Confirm";
    case TMsgDlgType::mtCustom:
        break;
    }
    return "";
}

QMessageBox::Icon TypeIcon(TMsgDlgType type) {
    switch (type) {
    case TMsgDlgType::mtWarning:
        return QMessageBox::Warning;
    case TMsgDlgType::mtError:
        return QMessageBox::Critical;
    case TMsgDlgType::mtInformation:
        return QMessageBox::Information;
    case TMsgDlgType::mtConfirmation:
        return QMessageBox::Question;
    case TMsgDlgType::mtCustom:
        break;
    }
    return QMessageBox::NoIcon;
}

std::string Caption(TMsgDlgType type) {
    std::string caption = TypeCaption(type);
    if (caption.empty()) {
        caption = QApplication::applicationDisplayName().toStdString();
    }
    return caption;
}

TModalResult RunMessageBox(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
    QMessageBox box(TypeIcon(type), QString::fromStdString(Caption(type)),
                    QString::fromStdString(text), QMessageBox::NoButton,
                    QApplication::activeWindow());
    std::vector<std::pair<QAbstractButton*, TModalResult>> added;
    for (const TButtonInfo& info : Buttons) {
        if ((buttons & info.Button) != 0) {
            added.emplace_back(box.addButton(info.Standard), info.Result);
        }
    }
    // Esc and the close box give the answer that changes nothing.
    const TModalResult safe = NoAnswerResult(buttons);
    for (const auto& [button, result] : added) {
        if (result == safe) {
            box.setEscapeButton(button);
        }
    }
    box.exec();
    for (const auto& [button, result] : added) {
        if (box.clickedButton() == button) {
            return result;
        }
    }
    return safe;
}

} // namespace

TModalResult ButtonResult(TMsgDlgBtn button) noexcept {
    for (const TButtonInfo& info : Buttons) {
        if (info.Button == button) {
            return info.Result;
        }
    }
    return mrNone;
}

bool OffersResult(TMsgDlgButtons buttons, TModalResult result) noexcept {
    for (const TButtonInfo& info : Buttons) {
        if ((buttons & info.Button) != 0 && info.Result == result) {
            return true;
        }
    }
    return false;
}

TModalResult NoAnswerResult(TMsgDlgButtons buttons) noexcept {
    for (TModalResult preferred : {mrCancel, mrNo, mrOk, mrClose}) {
        if (OffersResult(buttons, preferred)) {
            return preferred;
        }
    }
    for (const TButtonInfo& info : Buttons) {
        if ((buttons & info.Button) != 0) {
            return info.Result;
        }
    }
    return mrNone;
}

TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                        int /*helpContext*/) {
    if (TModalAnswerer* answerer = TModalAnswerer::Current()) {
        TModalRequest request;
        request.Kind = TModalKind::Message;
        request.Caption = Caption(type);
        request.Text = text;
        request.DlgType = type;
        request.Buttons = buttons;
        answerer->Requests.push_back(request);
        if (answerer->OnMessage) {
            const TModalResult answer = answerer->OnMessage(request);
            if (OffersResult(buttons, answer)) {
                return answer;
            }
        }
        return NoAnswerResult(buttons);
    }
    if (!InteractiveSession()) {
        return NoAnswerResult(buttons);
    }
    return RunMessageBox(text, type, buttons);
}

TModalResult ConfirmDlg(const std::string& text) {
    return MessageDlg(text, TMsgDlgType::mtConfirmation, mbYes | mbNo, 0);
}

} // namespace host
