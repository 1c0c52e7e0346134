#include "ui/editor/DeliveryArea.h"

#include "platform/host/delivery/MailAddress.h"
#include "platform/host/delivery/MailOrder.h"
#include "platform/host/forms/MessageDlg.h"
#include "platform/rtl/Words.h"
#include "tasks/ScheduleItem.h"
#include "ui/editor/TargetListDialog.h"

#include <QAction>
#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

namespace morvid {

namespace {

// In the order of the stored "MailWhen" values, 0 to 3.
const char* const WhenTexts[] = {
    QT_TRANSLATE_NOOP("morvid::TDeliveryArea", "Never"),
    QT_TRANSLATE_NOOP("morvid::TDeliveryArea", "After success"),
    QT_TRANSLATE_NOOP("morvid::TDeliveryArea", "After failure"),
    QT_TRANSLATE_NOOP("morvid::TDeliveryArea", "After success or failure")};
// Room for the built-in text, which is shown while the field is empty.
constexpr int BodyLines = 5;

} // namespace

TDeliveryArea::TDeliveryArea(QWidget& dialog) : TEditorArea(dialog) {
    cbbMailWhen = new QComboBox(&FDialog);
    cbbMailWhen->setObjectName(QStringLiteral("cbbMailWhen"));
    for (const char* text : WhenTexts) {
        cbbMailWhen->addItem(tr(text));
    }
    auto* whenLabel = new QLabel(tr("Send by mail"), &FDialog);
    whenLabel->setObjectName(QStringLiteral("lblMailWhen"));
    whenLabel->setBuddy(cbbMailWhen);
    connect(cbbMailWhen, &QComboBox::currentIndexChanged, this, [this] { ShowMailFields(); });

    // Mail programs put the recipients' captions before their fields; so does this area, which
    // keeps the dialog from growing by a line per field.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(editor::FieldGap);
    grid->setVerticalSpacing(editor::FieldGap);
    const auto row = [&](const char* name, const QString& caption, QWidget* field) {
        auto* label = new QLabel(caption, &FDialog);
        label->setObjectName(QString::fromLatin1(name));
        label->setBuddy(field);
        const int at = grid->rowCount();
        // A one-line field's caption stands level with its text, the text's with its first line.
        const bool oneLine = qobject_cast<QLineEdit*>(field) != nullptr;
        grid->addWidget(label, at, 0, Qt::AlignLeft | (oneLine ? Qt::AlignVCenter : Qt::AlignTop));
        grid->addWidget(field, at, 1);
        FMailFields.push_back(label);
        FMailFields.push_back(field);
    };
    const auto address = [&](const char* editName, const char* labelName, const QString& caption,
                             QLineEdit*& edit) {
        edit = new QLineEdit(&FDialog);
        edit->setObjectName(QString::fromLatin1(editName));
        auto* error = new QAction(FDialog.style()->standardIcon(QStyle::SP_MessageBoxCritical),
                                  QString(), edit);
        error->setObjectName(QString::fromLatin1(editName) + QStringLiteral("Error"));
        FAddresses.push_back({caption.toStdString(), edit, error});
        connect(edit, &QLineEdit::textChanged, this,
                [this, at = FAddresses.size() - 1] { CheckAddresses(FAddresses[at]); });
        row(labelName, caption, edit);
    };
    address("edtMailTo", "lblMailTo", tr("To"), edtMailTo);
    address("edtMailCc", "lblMailCc", tr("Cc"), edtMailCc);
    address("edtMailBcc", "lblMailBcc", tr("Bcc"), edtMailBcc);
    edtMailTo->setPlaceholderText(tr("Name <name@example.org>, ..."));

    edtMailSubject = new QLineEdit(&FDialog);
    edtMailSubject->setObjectName(QStringLiteral("edtMailSubject"));
    edtMailSubject->setPlaceholderText(
        QString::fromStdString(rtl::Words("MailOrder", host::DefaultMailSubject)));
    row("lblMailSubject", tr("Subject"), edtMailSubject);

    memMailBody = new QPlainTextEdit(&FDialog);
    memMailBody->setObjectName(QStringLiteral("memMailBody"));
    memMailBody->setTabChangesFocus(true);
    memMailBody->setPlaceholderText(
        QString::fromStdString(rtl::Words("MailOrder", host::DefaultMailBody)).trimmed());
    const QFontMetrics metrics = memMailBody->fontMetrics();
    memMailBody->setFixedHeight(metrics.lineSpacing() * BodyLines +
                                2 * int(memMailBody->document()->documentMargin()) +
                                2 * memMailBody->frameWidth());
    row("lblMailBody", tr("Text"), memMailBody);

    lblMailFields = new QLabel(
        tr("Subject and text may use {task} {report} {period} {period-end} {due} {started} "
           "{result} {rows} {files} {file} {name} {size}; left empty, the text shown is sent."),
        &FDialog);
    lblMailFields->setObjectName(QStringLiteral("lblMailFields"));
    lblMailFields->setWordWrap(true);
    lblMailFields->setForegroundRole(QPalette::PlaceholderText);
    grid->addWidget(lblMailFields, grid->rowCount(), 1);
    grid->setColumnStretch(1, 1);
    FMailFields.push_back(lblMailFields);

    // On the mail's first row, where it costs the dialog no height.
    btnTargets = new QPushButton(&FDialog);
    btnTargets->setObjectName(QStringLiteral("btnTargets"));
    btnTargets->setAutoDefault(false);
    btnTargets->setToolTip(tr("Where each run is delivered besides its folder and its mail: "
                              "shares, SFTP folders, web hooks"));
    connect(btnTargets, &QPushButton::clicked, this, [this] {
        TTargetListDialog dialog(FTargets);
        if (dialog.Execute(&FDialog)) {
            FTargets = dialog.Targets();
            ShowTargetCount();
        }
    });
    ShowTargetCount();

    cbxMailZip = new QCheckBox(tr("Zip"), &FDialog);
    cbxMailZip->setToolTip(tr("Attach the run's files as one zip"));
    cbxMailZip->setObjectName(QStringLiteral("cbxMailZip"));
    cbxMailHtml = new QCheckBox(tr("HTML"), &FDialog);
    cbxMailHtml->setObjectName(QStringLiteral("cbxMailHtml"));
    cbxMailHtml->setToolTip(
        tr("Add an HTML summary: mail readers that show HTML show a table of the run"));
    FMailFields.push_back(cbxMailZip);
    FMailFields.push_back(cbxMailHtml);

    auto* whenRow = new QHBoxLayout;
    whenRow->setSpacing(editor::FieldGap);
    whenRow->addWidget(whenLabel);
    whenRow->addWidget(cbbMailWhen);
    // Beside the choice, with short captions: below it they would make the dialog taller than a
    // full HD screen, and long ones wider than it is.
    whenRow->addWidget(cbxMailZip);
    whenRow->addWidget(cbxMailHtml);
    whenRow->addStretch(1);
    whenRow->addWidget(btnTargets);
    auto* area = new QVBoxLayout;
    area->setSpacing(editor::FieldGap);
    area->addLayout(whenRow);
    area->addLayout(grid);
    FLayout = area;
    ShowMailFields();
}

void TDeliveryArea::ShowTargetCount() {
    btnTargets->setText(FTargets.empty() ? tr("Targets...")
                                         : tr("Targets (%1)...").arg(FTargets.size()));
}

void TDeliveryArea::ShowMailFields() {
    const bool shown = cbbMailWhen->currentIndex() > 0;
    if (!FMailFields.empty() && FMailFields.front()->isVisibleTo(&FDialog) == shown) {
        return;
    }
    for (QWidget* field : FMailFields) {
        field->setVisible(shown);
    }
}

std::string TDeliveryArea::CheckAddresses(const TAddressField& field) {
    std::string fault;
    try {
        host::ParseMailAddressList(field.Edit->text().toStdString());
    } catch (const host::EMailAddressError& error) {
        fault = tr("%1: %2")
                    .arg(QString::fromStdString(field.Caption), QString::fromUtf8(error.what()))
                    .toStdString();
    }
    field.Error->setToolTip(QString::fromStdString(fault));
    // A field shows a button for every action it holds, visible or not.
    const bool placed = field.Edit->actions().contains(field.Error);
    if (!fault.empty() && !placed) {
        field.Edit->addAction(field.Error, QLineEdit::TrailingPosition);
    } else if (fault.empty() && placed) {
        field.Edit->removeAction(field.Error);
    }
    return fault;
}

bool TDeliveryArea::ConfirmOk() {
    if (cbbMailWhen->currentIndex() <= 0) {
        return true;
    }
    std::array<std::string, 3> texts;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts[i] = FAddresses.at(i).Edit->text().toStdString();
    }
    const std::optional<host::TRecipientFault> fault =
        host::FindRecipientFault({texts[0], texts[1], texts[2]});
    if (!fault) {
        return true;
    }
    const TAddressField& field = FAddresses.at(fault->Field);
    host::MessageDlg(fault->NotAnAddress ? tr("%1: %2")
                                               .arg(QString::fromStdString(field.Caption),
                                                    QString::fromStdString(fault->Message))
                                               .toStdString()
                                         : fault->Message,
                     host::TMsgDlgType::mtError, host::mbOK);
    field.Edit->setFocus(Qt::OtherFocusReason);
    return false;
}

void TDeliveryArea::LoadFromTask(const TScheduleItem& task) {
    for (const auto& [edit, text] : {std::pair{edtMailTo, &task.MailTo},
                                     {edtMailCc, &task.MailCc},
                                     {edtMailBcc, &task.MailBcc},
                                     {edtMailSubject, &task.MailSubject}}) {
        edit->setText(QString::fromStdString(*text));
        // A long list shows from its first address, not from where the text ends.
        edit->setCursorPosition(0);
    }
    memMailBody->setPlainText(QString::fromStdString(task.MailBody));
    cbbMailWhen->setCurrentIndex(task.MailWhen & 3);
    FTargets = task.Targets;
    ShowTargetCount();
    cbxMailZip->setChecked(task.MailZip);
    cbxMailHtml->setChecked(task.MailHtml);
}

void TDeliveryArea::SaveToTask(TScheduleItem& task) const {
    task.MailWhen = std::max(cbbMailWhen->currentIndex(), 0);
    task.MailTo = edtMailTo->text().trimmed().toStdString();
    task.MailCc = edtMailCc->text().trimmed().toStdString();
    task.MailBcc = edtMailBcc->text().trimmed().toStdString();
    task.MailSubject = edtMailSubject->text().toStdString();
    task.MailBody = memMailBody->toPlainText().toStdString();
    task.MailZip = cbxMailZip->isChecked();
    task.MailHtml = cbxMailHtml->isChecked();
    task.Targets = FTargets;
}

std::vector<QWidget*> TDeliveryArea::TabOrder() const {
    return {cbbMailWhen, cbxMailZip, cbxMailHtml,    btnTargets, edtMailTo,
            edtMailCc,   edtMailBcc, edtMailSubject, memMailBody};
}

} // namespace morvid
