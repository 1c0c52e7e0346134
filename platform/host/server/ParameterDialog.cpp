#include "platform/host/server/ParameterDialog.h"

#include "platform/host/server/ReportParameterValue.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <cmath>
#include <limits>

namespace host {

namespace {

const QDate DayZero(1899, 12, 30);

constexpr int RowHeight = 30;
constexpr int FrameHeight = 100;
constexpr int DialogWidth = 380;

// The request's value when it fits the parameter, else nothing.
rtl::TVariant Prefill(const TParameterRequest& request) {
    TReportParamDef param;
    param.Name = request.Name;
    param.Type = request.Type;
    try {
        return CoerceParameterValue(param, request.Value, rtl::Date());
    } catch (const EReportParameterError&) {
        return {};
    }
}

QWidget* MakeEditor(const TParameterRequest& request, QWidget* parent) {
    const QString name = QString::fromStdString(request.Name);
    const rtl::TVariant value = Prefill(request);
    switch (request.Type) {
    case TReportParamType::Text: {
        auto* edit = new QLineEdit(parent);
        edit->setObjectName("edt" + name);
        if (!value.IsClear()) {
            edit->setText(QString::fromStdString(value.AsString()));
        }
        return edit;
    }
    case TReportParamType::Number: {
        auto* spin = new QSpinBox(parent);
        spin->setObjectName("sed" + name);
        spin->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
        spin->setValue(value.IsClear() ? 0 : value.AsInteger());
        return spin;
    }
    case TReportParamType::Boolean: {
        auto* check = new QCheckBox(parent);
        check->setObjectName("cbx" + name);
        check->setChecked(!value.IsClear() && value.AsBoolean());
        return check;
    }
    case TReportParamType::Date: {
        auto* date = new QDateEdit(parent);
        date->setObjectName("dte" + name);
        date->setCalendarPopup(true);
        date->setDisplayFormat("yyyy-MM-dd");
        const double days = value.IsClear() ? rtl::Date() : value.AsDouble();
        date->setDate(DayZero.addDays(static_cast<qint64>(days)));
        return date;
    }
    case TReportParamType::Time: {
        auto* time = new QTimeEdit(parent);
        time->setObjectName("tme" + name);
        time->setDisplayFormat("HH:mm:ss");
        const double fraction = value.IsClear() ? 0.0 : value.AsDouble();
        time->setTime(QTime::fromMSecsSinceStartOfDay(
            static_cast<int>(std::llround(fraction * double(rtl::MSecsPerDay)))));
        return time;
    }
    }
    return new QWidget(parent);
}

} // namespace

TDLGReportParameters::TDLGReportParameters(const std::string& reportName,
                                           const std::vector<TParameterRequest>& requests,
                                           QWidget* owner)
    : TDialogBase(owner) {
    SetCaption("Report parameters");
    SetClientSize(DialogWidth, FrameHeight + RowHeight * static_cast<int>(requests.size()));

    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(this);
    heading->setObjectName("lblReport");
    heading->setText(
        tr("The report \"%1\" needs these values:").arg(QString::fromStdString(reportName)));
    heading->setWordWrap(true);
    layout->addWidget(heading);

    auto* form = new QFormLayout;
    for (const TParameterRequest& request : requests) {
        auto* label = new QLabel(QString::fromStdString(request.Name) + ":", this);
        label->setObjectName("lbl" + QString::fromStdString(request.Name));
        QWidget* editor = MakeEditor(request, this);
        label->setBuddy(editor);
        form->addRow(label, editor);
        FTypes.push_back(request.Type);
        FEditors.push_back(editor);
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            connect(edit, &QLineEdit::textChanged, this, [this] { UpdateOk(); });
        }
    }
    layout->addLayout(form);
    layout->addStretch();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    FOk = new QPushButton(tr("OK"), this);
    FOk->setObjectName("btnOk");
    FOk->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName("btnCancel");
    buttons->addWidget(FOk);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(FOk, &QPushButton::clicked, this, [this] {
        if (CanAccept()) {
            accept();
        }
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    if (!FEditors.empty()) {
        FEditors.front()->setFocus();
    }
    UpdateOk();
}

bool TDLGReportParameters::CanAccept() const {
    for (QWidget* editor : FEditors) {
        if (auto* edit = qobject_cast<QLineEdit*>(editor);
            edit && edit->text().trimmed().isEmpty()) {
            return false;
        }
    }
    return true;
}

void TDLGReportParameters::UpdateOk() {
    FOk->setEnabled(CanAccept());
}

void TDLGReportParameters::SaveAnswers(std::vector<TParameterRequest>& requests) const {
    for (std::size_t i = 0; i < FEditors.size() && i < requests.size(); ++i) {
        QWidget* editor = FEditors[i];
        rtl::TVariant& value = requests[i].Value;
        switch (FTypes[i]) {
        case TReportParamType::Text:
            value = rtl::TVariant(static_cast<QLineEdit*>(editor)->text().toStdString());
            break;
        case TReportParamType::Number:
            value =
                rtl::TVariant(static_cast<std::int32_t>(static_cast<QSpinBox*>(editor)->value()));
            break;
        case TReportParamType::Boolean:
            value = rtl::TVariant(static_cast<QCheckBox*>(editor)->isChecked());
            break;
        case TReportParamType::Date:
            value = rtl::TVariant(
                static_cast<double>(DayZero.daysTo(static_cast<QDateEdit*>(editor)->date())));
            break;
        case TReportParamType::Time:
            value =
                rtl::TVariant(static_cast<double>(
                                  static_cast<QTimeEdit*>(editor)->time().msecsSinceStartOfDay()) /
                              double(rtl::MSecsPerDay));
            break;
        }
    }
}

bool AskParametersWithDialog(const std::string& reportName,
                             std::vector<TParameterRequest>& requests) {
    TDLGReportParameters dialog(reportName, requests);
    if (!dialog.Execute(QApplication::activeWindow())) {
        return false;
    }
    dialog.SaveAnswers(requests);
    return true;
}

} // namespace host
