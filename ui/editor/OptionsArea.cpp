#include "ui/editor/OptionsArea.h"

#include "platform/host/forms/MessageDlg.h"
#include "tasks/ActiveDates.h"
#include "tasks/ScheduleItem.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QSpinBox>

namespace morvid {

namespace {

// What the minutes field offers while retries are off.
constexpr int DefaultRetryMinutes = 5;

} // namespace

TOptionsArea::TOptionsArea(QWidget& dialog) : TEditorArea(dialog) {
    cbxScheduleEnabled = new QCheckBox(tr("Enabled"), &FDialog);
    cbxScheduleEnabled->setObjectName(QStringLiteral("cbxScheduleEnabled"));
    connect(cbxScheduleEnabled, &QCheckBox::toggled, this, [this](bool enabled) {
        if (OnEnabledChange) {
            OnEnabledChange(enabled);
        }
    });

    sedKeepFiles = new QSpinBox(&FDialog);
    sedKeepFiles->setObjectName(QStringLiteral("sedKeepFiles"));
    sedKeepFiles->setRange(0, 99999);
    // 0 keeps every file, as a task did before it had the option.
    sedKeepFiles->setSpecialValueText(tr("All"));
    auto* keepLabel = new QLabel(tr("Keep the last N files"), &FDialog);
    keepLabel->setObjectName(QStringLiteral("lblKeepFiles"));
    keepLabel->setBuddy(sedKeepFiles);

    cbxRunMissed = new QCheckBox(tr("Run once at start if missed"), &FDialog);
    cbxRunMissed->setObjectName(QStringLiteral("cbxRunMissed"));

    // The sentence reads as one: "Retry a failed run [N] times, [M] minutes apart".
    sedRetryCount = new QSpinBox(&FDialog);
    sedRetryCount->setObjectName(QStringLiteral("sedRetryCount"));
    sedRetryCount->setRange(0, 99);
    sedRetryCount->setSpecialValueText(tr("no", "retry a failed run: no times"));
    sedRetryMinutes = new QSpinBox(&FDialog);
    sedRetryMinutes->setObjectName(QStringLiteral("sedRetryMinutes"));
    sedRetryMinutes->setRange(1, 24 * 60);
    sedRetryMinutes->setValue(DefaultRetryMinutes);
    sedRetryMinutes->setEnabled(false);
    connect(sedRetryCount, &QSpinBox::valueChanged, sedRetryMinutes,
            [this](int count) { sedRetryMinutes->setEnabled(count > 0); });
    // One sentence, so a translation may order its words; the spin boxes stand at %1 and %2.
    const QString retry = tr("Retry a failed run %1 times, %2 minutes apart");
    const qsizetype count = retry.indexOf(QStringLiteral("%1"));
    const qsizetype minutes = retry.indexOf(QStringLiteral("%2"));
    auto* retryLabel = new QLabel(retry.left(count).trimmed(), &FDialog);
    retryLabel->setObjectName(QStringLiteral("lblRetry"));
    retryLabel->setBuddy(sedRetryCount);
    auto* retryRow = new QHBoxLayout;
    retryRow->setSpacing(editor::FieldGap);
    retryRow->addWidget(retryLabel);
    retryRow->addWidget(sedRetryCount);
    const auto word = [this](const char* name, const QString& text) {
        auto* label = new QLabel(text.trimmed(), &FDialog);
        label->setObjectName(QString::fromLatin1(name));
        return label;
    };
    retryRow->addWidget(word("lblRetryTimes", retry.mid(count + 2, minutes - count - 2)));
    retryRow->addWidget(sedRetryMinutes);
    retryRow->addWidget(word("lblRetryMinutes", retry.mid(minutes + 2)));
    retryRow->addStretch(1);

    // A day each way, or no bound while its box is off.
    const auto activeDay = [this](const char* boxName, const QString& caption, const char* editName,
                                  QCheckBox*& box, QDateEdit*& edit) {
        box = new QCheckBox(caption, &FDialog);
        box->setObjectName(QString::fromLatin1(boxName));
        int y = 0, m = 0, d = 0;
        rtl::DecodeDate(rtl::Date(), y, m, d);
        edit = new QDateEdit(QDate(y, m, d), &FDialog);
        edit->setObjectName(QString::fromLatin1(editName));
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
        connect(box, &QCheckBox::toggled, edit, &QWidget::setEnabled);
    };
    activeDay("cbxActiveFrom", tr("Active from"), "dedActiveFrom", cbxActiveFrom, dedActiveFrom);
    activeDay("cbxActiveUntil", tr("until"), "dedActiveUntil", cbxActiveUntil, dedActiveUntil);
    auto* activeRow = new QHBoxLayout;
    activeRow->setSpacing(editor::FieldGap);
    for (QWidget* part : std::initializer_list<QWidget*>{cbxActiveFrom, dedActiveFrom,
                                                         cbxActiveUntil, dedActiveUntil}) {
        activeRow->addWidget(part);
    }
    activeRow->addStretch(1);

    cbxSkipEmpty = new QCheckBox(tr("Skip empty reports"), &FDialog);
    cbxSkipEmpty->setObjectName(QStringLiteral("cbxSkipEmpty"));
    cbxSkipEmpty->setToolTip(tr("An empty report writes no file and sends no mail"));
    auto* enabledRow = new QHBoxLayout;
    enabledRow->setSpacing(editor::FieldGap);
    enabledRow->addWidget(cbxScheduleEnabled);
    enabledRow->addStretch(1);
    enabledRow->addWidget(keepLabel);
    enabledRow->addWidget(sedKeepFiles);
    auto* area = new QVBoxLayout;
    area->setSpacing(editor::FieldGap);
    area->addLayout(enabledRow);
    auto* missedRow = new QHBoxLayout;
    missedRow->setSpacing(editor::FieldGap);
    missedRow->addWidget(cbxRunMissed);
    missedRow->addStretch(1);
    missedRow->addWidget(cbxSkipEmpty);
    area->addLayout(missedRow);
    area->addLayout(retryRow);
    area->addLayout(activeRow);
    FLayout = area;
}

std::vector<QWidget*> TOptionsArea::TabOrder() const {
    return {cbxScheduleEnabled, sedKeepFiles,  cbxRunMissed,  cbxSkipEmpty,   sedRetryCount,
            sedRetryMinutes,    cbxActiveFrom, dedActiveFrom, cbxActiveUntil, dedActiveUntil};
}

bool TOptionsArea::ConfirmOk() {
    if (cbxActiveFrom->isChecked() && cbxActiveUntil->isChecked() &&
        dedActiveUntil->date() < dedActiveFrom->date()) {
        host::MessageDlg(tr("The last active day lies before the first").toStdString(),
                         host::TMsgDlgType::mtError, host::mbOK);
        return false;
    }
    return true;
}

void TOptionsArea::LoadFromTask(const TScheduleItem& task) {
    cbxScheduleEnabled->setChecked(task.Enabled);
    cbxRunMissed->setChecked(task.RunMissed);
    sedKeepFiles->setValue(task.KeepFiles);
    sedRetryCount->setValue(task.RetryCount);
    sedRetryMinutes->setValue(task.RetryCount > 0 && task.RetryMinutes > 0 ? task.RetryMinutes
                                                                           : DefaultRetryMinutes);
    const auto load = [](const std::string& text, QCheckBox* box, QDateEdit* edit) {
        rtl::TDateTime day = 0;
        const bool bounded = TryParseActiveDay(text, day);
        box->setChecked(bounded);
        if (bounded) {
            edit->setDate(QDate::fromString(QString::fromStdString(text), Qt::ISODate));
        }
    };
    load(task.ActiveFrom, cbxActiveFrom, dedActiveFrom);
    load(task.ActiveUntil, cbxActiveUntil, dedActiveUntil);
    cbxSkipEmpty->setChecked(task.SkipEmpty == 1);
}

void TOptionsArea::SaveToTask(TScheduleItem& task) const {
    task.SetEnabled(cbxScheduleEnabled->isChecked());
    task.RunMissed = cbxRunMissed->isChecked();
    task.KeepFiles = sedKeepFiles->value();
    // Off leaves no minutes behind, so a task that never retries stores neither value.
    task.RetryCount = sedRetryCount->value();
    task.RetryMinutes = task.RetryCount > 0 ? sedRetryMinutes->value() : 0;
    const auto save = [](const QCheckBox* box, const QDateEdit* edit) {
        return box->isChecked() ? edit->date().toString(Qt::ISODate).toStdString() : std::string();
    };
    task.ActiveFrom = save(cbxActiveFrom, dedActiveFrom);
    task.ActiveUntil = save(cbxActiveUntil, dedActiveUntil);
    task.SkipEmpty = cbxSkipEmpty->isChecked() ? 1 : 0;
}

} // namespace morvid
