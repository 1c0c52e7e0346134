#include "ui/editor/TargetListDialog.h"

#include "platform/host/delivery/DeliveryTarget.h"
#include "platform/host/forms/MessageDlg.h"

#include <QBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace morvid {

namespace {

constexpr int DesignedWidth = 560;
constexpr int DesignedHeight = 260;

QListWidgetItem* AddLine(QListWidget& list, const QString& text) {
    auto* item = new QListWidgetItem(text, &list);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    return item;
}

} // namespace

TTargetListDialog::TTargetListDialog(const std::vector<std::string>& targets, QWidget* owner)
    : host::TDialogBase(owner) {
    setObjectName(QStringLiteral("TargetListDialog"));
    SetCaption(tr("Targets").toStdString());
    auto* hint =
        new QLabel(tr("Where each run is delivered besides its folder and its mail, one target "
                      "a line: smb://server/share/folder credential=NAME, sftp://host/folder "
                      "credential=NAME, https://hooks.example/... kind=slack"),
                   this);
    hint->setObjectName(QStringLiteral("lblTargets"));
    hint->setWordWrap(true);
    lstTargets = new QListWidget(this);
    lstTargets->setObjectName(QStringLiteral("lstTargets"));
    for (const std::string& line : targets) {
        AddLine(*lstTargets, QString::fromStdString(line));
    }
    btnAdd = new QPushButton(tr("Add"), this);
    btnAdd->setObjectName(QStringLiteral("btnAdd"));
    btnAdd->setAutoDefault(false);
    connect(btnAdd, &QPushButton::clicked, this, [this] {
        QListWidgetItem* item = AddLine(*lstTargets, QStringLiteral("https://"));
        lstTargets->setCurrentItem(item);
        lstTargets->editItem(item);
    });
    btnRemove = new QPushButton(tr("Remove"), this);
    btnRemove->setObjectName(QStringLiteral("btnRemove"));
    btnRemove->setAutoDefault(false);
    connect(btnRemove, &QPushButton::clicked, this, [this] { delete lstTargets->currentItem(); });
    btnOk = new QPushButton(tr("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, [this] { accept(); });
    btnCancel = new QPushButton(tr("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnCancel, &QPushButton::clicked, this, [this] { reject(); });

    auto* side = new QVBoxLayout;
    side->addWidget(btnAdd);
    side->addWidget(btnRemove);
    side->addStretch(1);
    side->addWidget(btnOk);
    side->addWidget(btnCancel);
    auto* body = new QHBoxLayout;
    body->addWidget(lstTargets, 1);
    body->addLayout(side);
    auto* dialog = new QVBoxLayout(this);
    dialog->addWidget(hint);
    dialog->addLayout(body, 1);
    SetSizableClientSize(DesignedWidth, DesignedHeight);
}

std::vector<std::string> TTargetListDialog::Targets() const {
    std::vector<std::string> targets;
    for (int i = 0; i < lstTargets->count(); ++i) {
        // A line left empty is a target not written yet.
        if (const QString line = lstTargets->item(i)->text().trimmed(); !line.isEmpty()) {
            targets.push_back(line.toStdString());
        }
    }
    return targets;
}

void TTargetListDialog::accept() {
    for (int i = 0; i < lstTargets->count(); ++i) {
        QListWidgetItem* item = lstTargets->item(i);
        const std::string line = item->text().trimmed().toStdString();
        host::TDeliveryTarget target;
        if (const std::string fault = host::ParseDeliveryTarget(line, target);
            !line.empty() && !fault.empty()) {
            host::MessageDlg(line + ": " + fault, host::TMsgDlgType::mtError, host::mbOK);
            lstTargets->setCurrentItem(item);
            lstTargets->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    host::TDialogBase::accept();
}

} // namespace morvid
