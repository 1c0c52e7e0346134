#include "ui/DLGMailServer.h"

#include "platform/host/delivery/MailAddress.h"
#include "platform/host/forms/ErrorStyle.h"
#include "platform/host/forms/MessageDlg.h"
#include "platform/host/mail/MailPasswordStore.h"
#include "platform/host/mail/MailServerLink.h"

#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>

namespace morvid {

namespace {

// In the order of host::TMailSecurity.
const char* const SecurityTexts[] = {
    "STARTTLS", "TLS", QT_TRANSLATE_NOOP("morvid::TDLGMailServer", "None (this machine only)")};
constexpr int LargestAttachmentMiB = 1024;
constexpr int DesignedWidth = 420;

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

} // namespace

struct TDLGMailServer::TTest {
    std::atomic<bool> Cancel{false};
    std::thread Thread;
};

TDLGMailServer::TDLGMailServer(host::TMailServerLink& link, QWidget* owner)
    : host::TDialogBase(owner), FLink(link) {
    setObjectName(QStringLiteral("DLGMailServer"));
    SetCaption(tr("Mail server").toStdString());
    CreateControls();
    LoadSettings(FLink.Read());
}

TDLGMailServer::~TDLGMailServer() {
    if (FTest != nullptr) {
        FTest->Cancel = true;
        FTest->Thread.join();
    }
}

void TDLGMailServer::CreateControls() {
    const auto named = [this](auto* control, const char* name) {
        control->setObjectName(QString::fromLatin1(name));
        return control;
    };
    edtMailServer = named(new QLineEdit(this), "edtMailServer");
    edtMailServer->setPlaceholderText(QStringLiteral("mail.example.org"));
    cbbMailSecurity = named(new QComboBox(this), "cbbMailSecurity");
    for (const char* text : SecurityTexts) {
        cbbMailSecurity->addItem(tr(text));
    }
    sedMailPort = named(new QSpinBox(this), "sedMailPort");
    sedMailPort->setRange(0, 65535);
    // The special text names the port the security's default stands for.
    const auto showDefaultPort = [this] {
        const auto security = static_cast<host::TMailSecurity>(cbbMailSecurity->currentIndex());
        sedMailPort->setSpecialValueText(tr("Default (%1)").arg(host::DefaultMailPort(security)));
    };
    connect(cbbMailSecurity, &QComboBox::currentIndexChanged, this, showDefaultPort);
    showDefaultPort();
    edtMailUser = named(new QLineEdit(this), "edtMailUser");
    edtMailUser->setPlaceholderText(tr("None: the server takes mail without signing in"));
    edtMailPassword = named(new QLineEdit(this), "edtMailPassword");
    edtMailPassword->setEchoMode(QLineEdit::Password);
    edtMailPassword->setPlaceholderText(tr("Kept in the desktop's secret store"));
    edtMailFrom = named(new QLineEdit(this), "edtMailFrom");
    edtMailFrom->setPlaceholderText(tr("Reports <reports@example.org>"));
    sedMaxAttachment = named(new QSpinBox(this), "sedMaxAttachment");
    sedMaxAttachment->setRange(0, LargestAttachmentMiB);
    sedMaxAttachment->setSuffix(tr(" MiB"));
    sedMaxAttachment->setSpecialValueText(tr("Never attach"));
    edtMailCaFile = named(new QLineEdit(this), "edtMailCaFile");
    edtMailCaFile->setPlaceholderText(tr("Only the system's authorities"));

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    const auto row = [&](const char* label, const QString& caption, QWidget* field) {
        auto* text = named(new QLabel(caption, this), label);
        text->setBuddy(field);
        form->addRow(text, field);
    };
    row("lblMailServer", tr("Server"), edtMailServer);
    row("lblMailSecurity", tr("Security"), cbbMailSecurity);
    row("lblMailPort", tr("Port"), sedMailPort);
    row("lblMailUser", tr("User"), edtMailUser);
    row("lblMailPassword", tr("Password"), edtMailPassword);
    row("lblMailFrom", tr("Sender address"), edtMailFrom);
    row("lblMaxAttachment", tr("Attach files up to"), sedMaxAttachment);
    row("lblMailCaFile", tr("Extra CA file"), edtMailCaFile);

    btnTestMail = named(new QPushButton(tr("Send a test mail"), this), "btnTestMail");
    btnTestMail->setAutoDefault(false);
    connect(btnTestMail, &QPushButton::clicked, this, [this] { btnTestMailClick(); });
    pbTestMail = named(new QProgressBar(this), "pbTestMail");
    // Busy: a mail's progress has no measure a person could read.
    pbTestMail->setRange(0, 0);
    pbTestMail->setTextVisible(false);
    pbTestMail->setVisible(false);
    // The button keeps its own width; the bar takes the rest of the row while it shows.
    btnTestMail->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    auto* testRow = new QHBoxLayout;
    testRow->addWidget(btnTestMail);
    testRow->addWidget(pbTestMail, 1);
    testRow->addStretch(0);
    lblTestResult = named(new QLabel(this), "lblTestResult");
    lblTestResult->setWordWrap(true);
    lblTestResult->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* bevel = named(new QFrame(this), "Bevel1");
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    btnOk = named(new QPushButton(tr("Ok"), this), "btnOk");
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, [this] { accept(); });
    btnCancel = named(new QPushButton(tr("Cancel"), this), "btnCancel");
    btnCancel->setAutoDefault(true);
    connect(btnCancel, &QPushButton::clicked, this, [this] { reject(); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {btnOk, btnCancel}) {
        button->setMinimumSize(75, 25);
        buttons->addWidget(button);
    }

    auto* dialog = new QVBoxLayout(this);
    dialog->addLayout(form);
    dialog->addSpacing(8);
    dialog->addLayout(testRow);
    dialog->addWidget(lblTestResult);
    dialog->addStretch(1);
    dialog->addWidget(bevel);
    dialog->addLayout(buttons);
    SetSizableClientSize(DesignedWidth, 0);
}

void TDLGMailServer::LoadSettings(const host::TMailSettings& settings) {
    edtMailServer->setText(QString::fromStdString(settings.Server.Host));
    cbbMailSecurity->setCurrentIndex(static_cast<int>(settings.Server.Security));
    sedMailPort->setValue(settings.Server.Port);
    edtMailUser->setText(QString::fromStdString(settings.Server.User));
    edtMailFrom->setText(QString::fromStdString(settings.From));
    sedMaxAttachment->setValue(settings.MaxAttachmentMiB);
    edtMailCaFile->setText(QString::fromStdString(settings.Server.ExtraCaFile));
}

host::TMailSettings TDLGMailServer::Settings() const {
    host::TMailSettings settings;
    settings.Server.Host = edtMailServer->text().trimmed().toStdString();
    settings.Server.Port = sedMailPort->value();
    settings.Server.Security = static_cast<host::TMailSecurity>(cbbMailSecurity->currentIndex());
    settings.Server.User = edtMailUser->text().trimmed().toStdString();
    settings.From = edtMailFrom->text().trimmed().toStdString();
    settings.MaxAttachmentMiB = sedMaxAttachment->value();
    settings.Server.ExtraCaFile = edtMailCaFile->text().trimmed().toStdString();
    return settings;
}

std::optional<std::string> TDLGMailServer::Password() const {
    if (!edtMailPassword->text().isEmpty()) {
        return edtMailPassword->text().toStdString();
    }
    const host::TMailSettings stored = FLink.Read();
    const host::TSmtpServer typed = Settings().Server;
    // The client's password belongs to the user and server it was read for.
    if (stored.Server.User == typed.User && stored.Server.Host == typed.Host) {
        if (std::optional<std::string> password = FLink.Password()) {
            return password;
        }
    }
    return host::ReadStoredMailPassword(typed);
}

void TDLGMailServer::btnTestMailClick() {
    if (FTest != nullptr) {
        return;
    }
    host::TMailSettings settings = Settings();
    std::string fault = host::MailSettingsFault(settings);
    if (fault.empty() && settings.Server.Host.empty()) {
        fault = tr("No mail server: give its host name").toStdString();
    }
    if (fault.empty() && !settings.Server.User.empty()) {
        try {
            const std::optional<std::string> password = Password();
            if (password) {
                settings.Server.Password = *password;
            } else {
                fault = tr("No password for %1: type it above")
                            .arg(QString::fromStdString(Quoted(settings.Server.User)))
                            .toStdString();
            }
        } catch (const std::exception& error) {
            fault = error.what();
        }
    }
    QPalette colours = palette();
    if (!fault.empty()) {
        colours.setColor(QPalette::WindowText, host::ErrorColor(colours));
        lblTestResult->setPalette(colours);
        lblTestResult->setText(tr("Not sent: %1").arg(QString::fromStdString(fault)));
        return;
    }
    // The fault check above parsed the sender already.
    const std::string to = host::ParseMailAddress(host::MailSender(settings)).AddrSpec;
    lblTestResult->setPalette(colours);
    lblTestResult->setText(tr("Sending a test mail to %1...").arg(QString::fromStdString(to)));
    btnTestMail->setEnabled(false);
    pbTestMail->setVisible(true);
    FTest = std::make_unique<TTest>();
    FTest->Thread = std::thread([this, settings, to, cancel = &FTest->Cancel] {
        const host::TSendResult result = host::SendTestMail(settings, cancel);
        // Queued to the dialog, which waits for this thread before it goes.
        QMetaObject::invokeMethod(
            this, [this, result, to] { TestMailDone(result, to); }, Qt::QueuedConnection);
    });
}

void TDLGMailServer::TestMailDone(const host::TSendResult& result, const std::string& to) {
    FTest->Thread.join();
    FTest.reset();
    btnTestMail->setEnabled(true);
    pbTestMail->setVisible(false);
    QPalette colours = palette();
    if (result.Status == host::TSendStatus::Sent) {
        lblTestResult->setText(
            tr("Test mail sent to %1: see that it arrived.").arg(QString::fromStdString(to)));
    } else {
        colours.setColor(QPalette::WindowText, host::ErrorColor(colours));
        lblTestResult->setText(tr("Not sent: %1").arg(QString::fromStdString(result.Reason)));
    }
    lblTestResult->setPalette(colours);
}

void TDLGMailServer::accept() {
    const host::TMailSettings settings = Settings();
    try {
        if (const std::string fault = host::MailSettingsFault(settings); !fault.empty()) {
            throw rtl::Exception(fault);
        }
        if (!edtMailPassword->text().isEmpty() && !settings.Server.User.empty()) {
            host::StoreMailPassword(settings.Server, edtMailPassword->text().toStdString());
        }
        FLink.Apply(settings);
    } catch (const std::exception& error) {
        host::MessageDlg(error.what(), host::TMsgDlgType::mtError, host::mbOK);
        return;
    }
    host::TDialogBase::accept();
}

} // namespace morvid
