#include "ui/DLGCredentials.h"

#include "platform/host/forms/MessageDlg.h"
#include "platform/host/mail/MailServerLink.h"
#include "platform/rtl/SysUtils.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace morvid {

namespace {

constexpr int DesignedWidth = 520;

} // namespace

TDLGCredentials::TDLGCredentials(host::TMailServerLink& link, QWidget* owner)
    : host::TDialogBase(owner), FLink(link), FCredentials(link.Credentials()) {
    setObjectName(QStringLiteral("DLGCredentials"));
    SetCaption(tr("Credentials").toStdString());
    CreateControls();
    for (const host::TCredential& credential : FCredentials) {
        lstCredentials->addItem(QString::fromStdString(credential.Name));
    }
    lstCredentials->setCurrentRow(FCredentials.empty() ? -1 : 0);
    ShowCurrent();
}

void TDLGCredentials::CreateControls() {
    const auto named = [this](auto* control, const char* name) {
        control->setObjectName(QString::fromLatin1(name));
        return control;
    };
    lstCredentials = named(new QListWidget(this), "lstCredentials");
    connect(lstCredentials, &QListWidget::currentRowChanged, this, [this] { ShowCurrent(); });
    btnAdd = named(new QPushButton(tr("Add"), this), "btnAdd");
    btnAdd->setAutoDefault(false);
    connect(btnAdd, &QPushButton::clicked, this, [this] {
        FCredentials.push_back({"credential" + std::to_string(FCredentials.size() + 1)});
        lstCredentials->addItem(QString::fromStdString(FCredentials.back().Name));
        lstCredentials->setCurrentRow(lstCredentials->count() - 1);
        edtName->setFocus(Qt::OtherFocusReason);
        edtName->selectAll();
    });
    btnRemove = named(new QPushButton(tr("Remove"), this), "btnRemove");
    btnRemove->setAutoDefault(false);
    connect(btnRemove, &QPushButton::clicked, this, [this] {
        const int row = lstCredentials->currentRow();
        if (row < 0) {
            return;
        }
        FCredentials.erase(FCredentials.begin() + row);
        // The secrets typed follow their rows.
        std::map<std::size_t, std::string> secrets;
        for (auto& [at, secret] : FSecrets) {
            if (at != static_cast<std::size_t>(row)) {
                secrets[at > static_cast<std::size_t>(row) ? at - 1 : at] = std::move(secret);
            }
        }
        FSecrets = std::move(secrets);
        delete lstCredentials->takeItem(row);
        ShowCurrent();
    });
    auto* listButtons = new QVBoxLayout;
    listButtons->addWidget(btnAdd);
    listButtons->addWidget(btnRemove);
    listButtons->addStretch(1);

    edtName = named(new QLineEdit(this), "edtName");
    edtName->setPlaceholderText(tr("archive: what a target's credential= names"));
    edtUser = named(new QLineEdit(this), "edtUser");
    edtDomain = named(new QLineEdit(this), "edtDomain");
    edtDomain->setPlaceholderText(tr("A Windows domain, for shares"));
    edtKeyFile = named(new QLineEdit(this), "edtKeyFile");
    edtKeyFile->setPlaceholderText(tr("A private key, for SFTP"));
    edtSecret = named(new QLineEdit(this), "edtSecret");
    edtSecret->setEchoMode(QLineEdit::Password);
    edtSecret->setPlaceholderText(tr("Kept in the desktop's secret store"));
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    const auto row = [&](const char* label, const QString& caption, QLineEdit* field) {
        auto* text = named(new QLabel(caption, this), label);
        text->setBuddy(field);
        form->addRow(text, field);
        connect(field, &QLineEdit::textEdited, this, [this] { Edited(); });
    };
    row("lblName", tr("Name"), edtName);
    row("lblUser", tr("User"), edtUser);
    row("lblDomain", tr("Domain"), edtDomain);
    row("lblKeyFile", tr("Private key file"), edtKeyFile);
    row("lblSecret", tr("Password"), edtSecret);

    auto* body = new QHBoxLayout;
    body->addWidget(lstCredentials, 1);
    body->addLayout(listButtons);
    body->addLayout(form, 2);

    auto* bevel = named(new QFrame(this), "Bevel1");
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    btnOk = named(new QPushButton(tr("Ok"), this), "btnOk");
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, [this] { accept(); });
    btnCancel = named(new QPushButton(tr("Cancel"), this), "btnCancel");
    connect(btnCancel, &QPushButton::clicked, this, [this] { reject(); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {btnOk, btnCancel}) {
        button->setMinimumSize(75, 25);
        buttons->addWidget(button);
    }
    auto* dialog = new QVBoxLayout(this);
    dialog->addLayout(body);
    dialog->addWidget(bevel);
    dialog->addLayout(buttons);
    SetSizableClientSize(DesignedWidth, 0);
}

void TDLGCredentials::ShowCurrent() {
    const int row = lstCredentials->currentRow();
    const bool any = row >= 0;
    FShowing = true;
    const host::TCredential shown =
        any ? FCredentials[static_cast<std::size_t>(row)] : host::TCredential{};
    edtName->setText(QString::fromStdString(shown.Name));
    edtUser->setText(QString::fromStdString(shown.User));
    edtDomain->setText(QString::fromStdString(shown.Domain));
    edtKeyFile->setText(QString::fromStdString(shown.KeyFile));
    const auto typed = FSecrets.find(static_cast<std::size_t>(row));
    edtSecret->setText(any && typed != FSecrets.end() ? QString::fromStdString(typed->second)
                                                      : QString());
    for (QWidget* field : {edtName, edtUser, edtDomain, edtKeyFile, edtSecret}) {
        field->setEnabled(any);
    }
    btnRemove->setEnabled(any);
    FShowing = false;
}

void TDLGCredentials::Edited() {
    const int row = lstCredentials->currentRow();
    if (FShowing || row < 0) {
        return;
    }
    host::TCredential& credential = FCredentials[static_cast<std::size_t>(row)];
    credential.Name = edtName->text().trimmed().toStdString();
    credential.User = edtUser->text().trimmed().toStdString();
    credential.Domain = edtDomain->text().trimmed().toStdString();
    credential.KeyFile = edtKeyFile->text().trimmed().toStdString();
    if (!edtSecret->text().isEmpty()) {
        FSecrets[static_cast<std::size_t>(row)] = edtSecret->text().toStdString();
    }
    lstCredentials->item(row)->setText(QString::fromStdString(credential.Name));
}

void TDLGCredentials::accept() {
    std::map<std::string, std::string> secrets;
    try {
        for (std::size_t i = 0; i < FCredentials.size(); ++i) {
            const std::string& name = FCredentials[i].Name;
            for (std::size_t j = 0; j < i; ++j) {
                if (FCredentials[j].Name == name) {
                    throw rtl::Exception(tr("Two credentials are named \"%1\"")
                                             .arg(QString::fromStdString(name))
                                             .toStdString());
                }
            }
            if (const std::string fault = host::CredentialFault(FCredentials[i]); !fault.empty()) {
                throw rtl::Exception(fault);
            }
            if (const auto typed = FSecrets.find(i); typed != FSecrets.end()) {
                secrets[name] = typed->second;
            }
        }
        FLink.ApplyCredentials(FCredentials, secrets);
    } catch (const std::exception& error) {
        host::MessageDlg(error.what(), host::TMsgDlgType::mtError, host::mbOK);
        return;
    }
    host::TDialogBase::accept();
}

} // namespace morvid
