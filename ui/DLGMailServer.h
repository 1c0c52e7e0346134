// TDLGMailServer: the modal "Mail server" dialog, where the client's server, its security, the
// sender and the password are set, and a test mail is sent without holding the window up.
#pragma once

#include "platform/host/delivery/MailSettings.h"
#include "platform/host/forms/DialogBase.h"

#include <atomic>
#include <memory>
#include <thread>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace host {
class TMailServerLink;
} // namespace host

namespace morvid {

class TDLGMailServer : public host::TDialogBase {
    Q_OBJECT

public:
    // Shows what the link reads; Ok stores through it. The link outlives the dialog.
    explicit TDLGMailServer(host::TMailServerLink& link, QWidget* owner = nullptr);
    // Cuts a test mail under way short and waits for its thread.
    ~TDLGMailServer() override;

    // The settings as the controls hold them.
    host::TMailSettings Settings() const;
    // Sends a test mail to the sender in a thread of its own; the result shows in
    // lblTestResult when it comes. Refused with the fault while the settings cannot be used.
    void btnTestMailClick();
    bool TestMailRunning() const noexcept { return FTest != nullptr; }

    // Ok stores only usable settings: plain mail to another machine, a bad sender, a password
    // the secret store refuses are each shown and keep the dialog open.
    void accept() override;

    QLineEdit* edtMailServer = nullptr;
    QSpinBox* sedMailPort = nullptr;
    QComboBox* cbbMailSecurity = nullptr;
    QLineEdit* edtMailUser = nullptr;
    QLineEdit* edtMailPassword = nullptr;
    QLineEdit* edtMailFrom = nullptr;
    QSpinBox* sedMaxAttachment = nullptr;
    QLineEdit* edtMailCaFile = nullptr;
    QPushButton* btnTestMail = nullptr;
    QProgressBar* pbTestMail = nullptr;
    QLabel* lblTestResult = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    struct TTest; // a test mail under way: its thread and its stop signal
    void CreateControls();
    void LoadSettings(const host::TMailSettings& settings);
    // The password typed, else the one the client sends with; nullopt with none of either.
    std::optional<std::string> Password() const;
    void TestMailDone(const host::TSendResult& result, const std::string& to);

    host::TMailServerLink& FLink;
    std::unique_ptr<TTest> FTest;
};

} // namespace morvid
