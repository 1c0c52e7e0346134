// TDLGCredentials: the modal "Credentials" dialog, where the logins that targets name are added,
// changed and removed: a name, a user, a domain, a private key file and a secret, which goes to
// the desktop's secret store and never shows again.
#pragma once

#include "platform/host/delivery/Credentials.h"
#include "platform/host/forms/DialogBase.h"

#include <map>
#include <string>
#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace host {
class TMailServerLink;
} // namespace host

namespace morvid {

class TDLGCredentials : public host::TDialogBase {
    Q_OBJECT

public:
    // Shows the credentials the link reads; Ok stores them through it. The link outlives the
    // dialog.
    explicit TDLGCredentials(host::TMailServerLink& link, QWidget* owner = nullptr);

    // Ok stores only credentials that can be kept; a fault is shown and keeps the dialog open.
    void accept() override;

    QListWidget* lstCredentials = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnRemove = nullptr;
    QLineEdit* edtName = nullptr;
    QLineEdit* edtUser = nullptr;
    QLineEdit* edtDomain = nullptr;
    QLineEdit* edtKeyFile = nullptr;
    QLineEdit* edtSecret = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    void CreateControls();
    // The fields show the credential of the list's current row; each edit goes to it at once.
    void ShowCurrent();
    void Edited();

    host::TMailServerLink& FLink;
    std::vector<host::TCredential> FCredentials;
    // Typed in this dialog, by the row it was typed for.
    std::map<std::size_t, std::string> FSecrets;
    bool FShowing = false;
};

} // namespace morvid
