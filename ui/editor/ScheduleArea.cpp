#include "ui/editor/ScheduleArea.h"

#include "platform/host/forms/MessageDlg.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"
#include "plugin/MorvidPlugin.h"
#include "plugin/MorvidResources.h"
#include "scheduler/ScheduleCheck.h"
#include "scheduler/ScheduleWords.h"
#include "tasks/ScheduleItem.h"
#include "tasks/TaskZone.h"
#include "ui/NullSpinEdit.h"
#include "ui/editor/ScheduleShapeRow.h"
#include "ui/editor/WrappedLabel.h"

#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QDate>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimeZone>
#include <algorithm>
#include <cctype>
#include <iterator>
#include <optional>
#include <sstream>

namespace morvid {

namespace {

const char* const DefaultSchedule = LoadResString(SDefaultCronStr);
const char* const ScheduleFormat = LoadResString(SCronStrFormat);

// The schedule's words stand this close under its field.
constexpr int WordsGap = 3;
// The schedule's words keep room for this many lines, so the controls below do not jump as
// the text is typed.
constexpr int WordsLines = 2;
// How many due times the dialog and the schedule field's tool tip list.
constexpr int HintedRuns = 5;
// The due times keep room for this many lines: five fit in two at the designed width.
constexpr int NextRunsLines = 2;
// Characters the zone and calendar fields show at least: their columns grow to hold them.
constexpr int ZoneNameLength = 16;
constexpr int CalendarNameLength = 8;

// A spin edit's field of the schedule text. "Any" stands for "*", and also for what a spin edit
// cannot hold (a list, a range, a step, 5L): such a field of a valid text (`shown`) stays as
// written, so that changing the hour of "0,30 8 * * 1-5 *" keeps its minutes and weekdays. A
// single number there means that the person cleared it.
std::string FieldText(const TNullSpinEdit& edit, const std::string* shown) {
    if (!edit.IsNull()) {
        return rtl::IntToStr(edit.value());
    }
    const bool kept = shown != nullptr && !shown->empty() &&
                      !std::all_of(shown->begin(), shown->end(),
                                   [](unsigned char c) { return std::isdigit(c) != 0; });
    return kept ? *shown : std::string("*");
}

// A due time as people read it, in the locale's words: "Wed 4 Mar 08:30", with the year when it
// is not this year's.
QString DueTimeText(rtl::TDateTime due, int thisYear) {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliSecond = 0;
    rtl::DecodeDate(due, year, month, day);
    rtl::DecodeTime(due, hour, minute, second, milliSecond);
    const QString date = QLocale().toString(QDate(year, month, day),
                                            year == thisYear ? QStringLiteral("ddd d MMM")
                                                             : QStringLiteral("ddd d MMM yyyy"));
    // Lines break between due times, never inside one.
    return QStringLiteral("%1 %2:%3")
        .arg(date)
        .arg(hour, 2, 10, QLatin1Char('0'))
        .arg(minute, 2, 10, QLatin1Char('0'))
        .replace(u' ', QChar::Nbsp);
}

// The stored value of a combo whose first item stands for "empty" (in the operator's words).
std::string ChoiceText(const QComboBox* combo) {
    const QString text = combo->currentText().trimmed();
    return text == combo->itemText(0) ? std::string() : text.toStdString();
}

void ShowChoice(QComboBox* combo, const std::string& value) {
    if (value.empty()) {
        combo->setCurrentIndex(0);
        return;
    }
    const QString text = QString::fromStdString(value);
    if (combo->findText(text) < 0) {
        combo->addItem(text); // a name no longer offered stays what the task holds
    }
    combo->setCurrentIndex(combo->findText(text));
    if (combo->lineEdit() != nullptr) {
        combo->lineEdit()->setCursorPosition(0); // a narrow field shows the name's start
    }
}

} // namespace

TScheduleArea::TScheduleArea(QWidget& dialog) : TEditorArea(dialog) {
    struct TSpinLayout {
        const char* Name;
        const char* LabelName;
        const char* Caption;
        int Low;
        int High;
        TNullSpinEdit** Edit;
    };
    // Four equal columns; the screen shows weekday before month.
    constexpr int Columns = 4;
    auto* area = new QGridLayout;
    area->setHorizontalSpacing(editor::FieldGap);
    area->setVerticalSpacing(editor::FieldGap);
    for (int column = 0; column < Columns; ++column) {
        area->setColumnStretch(column, 1);
    }
    int cell = 0;
    const TSpinLayout layouts[] = {
        {"sedMinute", "lblMinute", QT_TR_NOOP("Minute"), 0, 59, &sedMinute},
        {"sedHour", "lblHour", QT_TR_NOOP("Hour"), 0, 23, &sedHour},
        {"sedDay", "lblDay", QT_TR_NOOP("Day"), 1, 31, &sedDay},
        {"sedWeekday", "lblWeekday", QT_TR_NOOP("Weekday"), 1, 7, &sedWeekday},
        {"sedMonth", "lblMonth", QT_TR_NOOP("Month"), 1, 12, &sedMonth},
        {"sedYear", "lblYear", QT_TR_NOOP("Year"), 1900, 3000, &sedYear},
    };
    // The common shapes on a line of their own above the fields they fill: their captions are
    // whole sentences, which two of the four columns cut.
    Shapes = new TScheduleShapeRow(FDialog);
    auto* shapeRow = new QHBoxLayout;
    shapeRow->setSpacing(editor::FieldGap);
    auto* lblShape = new QLabel(tr("Runs"), &FDialog);
    lblShape->setObjectName(QStringLiteral("lblShape"));
    lblShape->setBuddy(Shapes->cbxShape);
    shapeRow->addWidget(lblShape);
    shapeRow->addWidget(Shapes->cbxShape, 1);
    for (const TSpinLayout& layout : layouts) {
        auto* edit = new TNullSpinEdit(layout.Low, layout.High, &FDialog);
        edit->setObjectName(QString::fromLatin1(layout.Name));
        area->addLayout(Captioned(layout.LabelName, tr(layout.Caption), edit), cell / Columns,
                        cell % Columns);
        ++cell;
        connect(edit, &QSpinBox::valueChanged, this,
                [this] { Guarded([this] { sedHourPropertiesChange(); }); });
        *layout.Edit = edit;
    }
    FFieldEdits = {sedMinute, sedHour, sedDay, sedMonth, sedWeekday, sedYear};

    edtCronStr = new QLineEdit(&FDialog);
    edtCronStr->setObjectName(QStringLiteral("edtCronStr"));
    // Set apart from the spin edits, as wide as three of them.
    QVBoxLayout* cronStr = Captioned("lblCronStr", tr("Schedule definition"), edtCronStr);
    cronStr->setContentsMargins(0, editor::GroupGap, 0, 0);
    area->addLayout(cronStr, 2, 0, 1, Columns - 2);
    cbxTimeZone = new QComboBox(&FDialog);
    cbxTimeZone->setObjectName(QStringLiteral("cbxTimeZone"));
    cbxTimeZone->setEditable(true);
    cbxTimeZone->addItem(tr("The machine's zone"));
    for (const QByteArray& id : QTimeZone::availableTimeZoneIds()) {
        cbxTimeZone->addItem(QString::fromLatin1(id));
    }
    cbxExcludeCalendar = new QComboBox(&FDialog);
    cbxExcludeCalendar->setObjectName(QStringLiteral("cbxExcludeCalendar"));
    // As wide as a common zone's name ("America/New_York"), not the longest one, which would
    // widen the whole dialog; a calendar's name is short.
    cbxTimeZone->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbxTimeZone->setMinimumContentsLength(ZoneNameLength);
    cbxExcludeCalendar->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbxExcludeCalendar->setMinimumContentsLength(CalendarNameLength);
    // Two columns each, beside the month and year and beside the schedule text: the clock and
    // the days the schedule follows.
    area->addLayout(Captioned("lblTimeZone", tr("Time zone"), cbxTimeZone), 1, 2, 1, Columns - 2);
    QVBoxLayout* calendar =
        Captioned("lblExcludeCalendar", tr("Not on dates of"), cbxExcludeCalendar);
    calendar->setContentsMargins(0, editor::GroupGap, 0, 0);
    area->addLayout(calendar, 2, 2, 1, Columns - 2);
    // The due times shown follow the zone and the calendar as they are chosen.
    connect(cbxTimeZone, &QComboBox::currentTextChanged, this,
            [this] { Guarded([this] { edtCronStrPropertiesValidate(); }); });
    connect(cbxExcludeCalendar, &QComboBox::currentIndexChanged, this,
            [this] { Guarded([this] { edtCronStrPropertiesValidate(); }); });

    FCronStrError = new QAction(FDialog.style()->standardIcon(QStyle::SP_MessageBoxCritical),
                                QString(), edtCronStr);
    FCronStrError->setObjectName(QStringLiteral("edtCronStrError"));
    FCronStrError->setVisible(false);
    // The field validates as its text changes, so Ok never stands for a text not validated, and
    // again when the focus leaves it.
    edtCronStr->installEventFilter(this);

    lblScheduleWords = new TWrappedLabel(&FDialog, WordsLines);
    lblScheduleWords->setObjectName(QStringLiteral("lblScheduleWords"));
    // Validating shows the error or clears it, which rewrites the words as well.
    connect(edtCronStr, &QLineEdit::textChanged, this,
            [this] { Guarded([this] { edtCronStrPropertiesValidate(); }); });

    lblNextRuns = new TWrappedLabel(&FDialog, NextRunsLines);
    lblNextRuns->setObjectName(QStringLiteral("lblNextRuns"));

    lblNotEnabled = new QLabel(tr("Not enabled: this task will not run."), &FDialog);
    lblNotEnabled->setObjectName(QStringLiteral("lblNotEnabled"));
    QFont bold = lblNotEnabled->font();
    bold.setBold(true);
    lblNotEnabled->setFont(bold);

    // The words read as the field's own line, close under it; when it runs, and whether it runs
    // at all, follow.
    auto* withWords = new QVBoxLayout;
    withWords->setSpacing(WordsGap);
    Shapes->CurrentFields = [this] {
        const auto value = [](const TNullSpinEdit* edit) {
            return edit->IsNull() ? -1 : edit->value();
        };
        return std::array<int, 3>{value(sedMinute), value(sedHour), value(sedDay)};
    };
    Shapes->OnShapeText = [this](const std::string& text) {
        Guarded([&] { edtCronStr->setText(QString::fromStdString(text)); });
    };
    withWords->addLayout(shapeRow);
    withWords->addLayout(area);
    withWords->addLayout(Shapes->Layout());
    withWords->addWidget(lblScheduleWords);
    withWords->addWidget(lblNextRuns);
    withWords->addWidget(lblNotEnabled);
    FLayout = withWords;
}

TScheduleArea::~TScheduleArea() {
    edtCronStr->removeEventFilter(this);
}

std::vector<QWidget*> TScheduleArea::TabOrder() const {
    std::vector<QWidget*> order = Shapes->TabOrder();
    order.insert(order.end(),
                 {sedMinute, sedHour, sedDay, sedWeekday, sedMonth, sedYear, edtCronStr});
    return order;
}

void TScheduleArea::FormCreate() {
    for (TNullSpinEdit* edit : FFieldEdits) {
        const QSignalBlocker quiet(edit);
        edit->Clear();
    }
    edtCronStr->setText(QString::fromLatin1(DefaultSchedule));
    FCronStrValid = true;
}

void TScheduleArea::LoadFromTask(const TScheduleItem& task) {
    edtCronStr->setText(QString::fromStdString(task.CronStr));
    // The calendars as the client holds them now.
    cbxExcludeCalendar->clear();
    cbxExcludeCalendar->addItem(tr("None", "no calendar"));
    if (MorvidPlugin != nullptr) {
        for (const TExcludeCalendar& calendar : MorvidPlugin->Calendars) {
            cbxExcludeCalendar->addItem(QString::fromStdString(calendar.Name));
        }
    }
    ShowChoice(cbxExcludeCalendar, task.ExcludeCalendar);
    ShowChoice(cbxTimeZone, task.TimeZone);

    // The spin edits only show the fields that hold one number, even of a schedule that cannot
    // run; an unreadable one leaves them at "Any". The field's validation tells why.
    try {
        TChronSchedule schedule;
        ParseChronSchedule("0 " + task.CronStr, schedule);
        ShowScheduleFields(schedule);
    } catch (const EScheduleError&) {
    }
}

void TScheduleArea::SaveToTask(TScheduleItem& task) const {
    task.SetCronStr(edtCronStr->text().toStdString());
    task.TimeZone = ChoiceText(cbxTimeZone);
    task.ExcludeCalendar = ChoiceText(cbxExcludeCalendar);
}

bool TScheduleArea::ConfirmOk() {
    if (const std::string fault = TimeZoneFault(ChoiceText(cbxTimeZone)); !fault.empty()) {
        host::MessageDlg(fault, host::TMsgDlgType::mtError, host::mbOK);
        return false;
    }
    return true;
}

bool TScheduleArea::Complete() const {
    return !edtCronStr->text().isEmpty() && FCronStrValid;
}

void TScheduleArea::sedHourPropertiesChange() {
    // Every change of a spin edit counts at once, keystrokes included.
    sedHourPropertiesEditValueChanged();
}

void TScheduleArea::sedHourPropertiesEditValueChanged() {
    std::vector<std::string> shown;
    if (FCronStrValid) {
        std::istringstream words(edtCronStr->text().toStdString());
        shown.assign(std::istream_iterator<std::string>(words), {});
    }
    // A text of seven fields (the year's and one beyond) is not the spin edits' to keep.
    const bool keep = shown.size() == FFieldEdits.size();
    std::array<std::string, 6> texts;
    for (std::size_t field = 0; field < FFieldEdits.size(); ++field) {
        texts[field] = FieldText(*FFieldEdits[field], keep ? &shown[field] : nullptr);
    }
    // The new text is validated as it changes.
    edtCronStr->setText(QString::fromStdString(
        rtl::Format(ScheduleFormat, texts[0].c_str(), texts[1].c_str(), texts[2].c_str(),
                    texts[3].c_str(), texts[4].c_str(), texts[5].c_str())));
}

void TScheduleArea::edtCronStrPropertiesValidate() {
    // Checked as the task will arm and run it: a schedule that parses but reaches a time no
    // clock has (minute 75, hour 25) would stop its task at that time.
    TDueRules rules = DueRules();
    const TScheduleCheck check =
        CheckTaskSchedule(edtCronStr->text().toStdString(), rtl::Now(), HintedRuns, &rules);
    FCronStrValid = check.Error.empty();
    SetCronStrError(check.Error);
    if (FCronStrValid) {
        ShowScheduleFields(check.Entries);
    } else {
        // A spin edit shows a field of a text that runs, never one left from an earlier text.
        for (TNullSpinEdit* edit : FFieldEdits) {
            ShowField(*edit, std::nullopt);
        }
    }
    Shapes->ShowShapeOf(edtCronStr->text().toStdString());
    ShowScheduleHint(check);
    ShowNextRuns(check, rules);
    if (OnValidated) {
        OnValidated();
    }
}

void TScheduleArea::ShowField(TNullSpinEdit& edit, std::optional<int> value) {
    // A value the field cannot hold (75 minutes) would show as a different one.
    const bool single = value && *value >= edit.Low() && *value <= edit.High();
    const int shown = single ? *value : edit.minimum();
    // Set only when it differs, so that a spin edit being typed in keeps its text.
    if (single ? edit.value() != shown : !edit.IsNull()) {
        const QSignalBlocker quiet(&edit);
        edit.setValue(shown);
    }
}

void TScheduleArea::ShowScheduleFields(const TChronSchedule& schedule) {
    for (std::size_t field = 0; field < FFieldEdits.size(); ++field) {
        const TChronEntry& entry = schedule[field + 1];
        // 5L is not every Friday: the weekday's field shows "Any" for it, as for a list.
        const bool single = !entry.Relative && !entry.Last && entry.Values.size() == 1;
        ShowField(*FFieldEdits[field],
                  single ? std::optional<int>(entry.Values.front()) : std::nullopt);
    }
}

void TScheduleArea::ShowNextRuns(const TScheduleCheck& check, TDueRules& rules) {
    // A zone other than the machine's is read on its own clock, and named.
    const std::string zone = ChoiceText(cbxTimeZone);
    const bool zoned =
        !check.NextRuns.empty() && !ZoneTimeText(zone, check.NextRuns.front()).empty();
    QStringList runs;
    int thisYear = 0;
    int month = 0;
    int day = 0;
    rtl::DecodeDate(rules.ToWall(rtl::Now()), thisYear, month, day);
    for (const rtl::TDateTime run : check.NextRuns) {
        runs << DueTimeText(zoned ? rules.ToWall(run) : run, thisYear);
    }
    QString text;
    if (!check.Error.empty()) {
        // The words above say why.
    } else if (runs.empty()) {
        text = tr("Next run: never");
    } else if (zoned) {
        text = (runs.size() == 1 ? tr("Next run (%1): %2") : tr("Next runs (%1): %2"))
                   .arg(QString::fromStdString(zone), runs.join(tr(", ", "between due times")));
    } else {
        text = (runs.size() == 1 ? tr("Next run: %1") : tr("Next runs: %1"))
                   .arg(runs.join(tr(", ", "between due times")));
    }
    lblNextRuns->setText(text);
}

void TScheduleArea::ShowEnabled(bool enabled) {
    lblNotEnabled->setVisible(!enabled);
}

void TScheduleArea::SetCronStrError(const std::string& message) {
    FCronStrErrorText = edtCronStr->text();
    FCronStrError->setToolTip(QString::fromStdString(message));
    FCronStrError->setVisible(!message.empty());
    // The field shows a button for every action it holds, visible or not, so the icon is
    // placed only while there is an error.
    const bool placed = edtCronStr->actions().contains(FCronStrError);
    if (!message.empty() && !placed) {
        edtCronStr->addAction(FCronStrError, QLineEdit::TrailingPosition);
    } else if (message.empty() && placed) {
        edtCronStr->removeAction(FCronStrError);
    }
    UpdateScheduleWords();
}

void TScheduleArea::UpdateScheduleWords() {
    // The validation's message while it speaks of the text as it stands; otherwise the words
    // of the text as typed, or why it has none (the parser's message when it does not parse).
    QString text;
    bool failed = false;
    if (FCronStrError->isVisible() && FCronStrErrorText == edtCronStr->text()) {
        text = FCronStrError->toolTip();
        failed = true;
    } else {
        const TScheduleWords words = DescribeTaskSchedule(edtCronStr->text().toStdString());
        text = QString::fromStdString(words.Text);
        failed = !words.Described;
    }
    lblScheduleWords->setText(text);
    lblScheduleWords->setToolTip(text);
    QPalette colours = FDialog.palette();
    if (failed) {
        colours.setColor(QPalette::WindowText, QColor(0xB0, 0x00, 0x20));
    }
    lblScheduleWords->setPalette(colours);
}

void TScheduleArea::ShowScheduleHint(const TScheduleCheck& check) {
    QStringList lines;
    if (!check.Error.empty()) {
        lines << QString::fromStdString(check.Error);
    } else {
        // The times the task will run at.
        lines << tr("Next runs:");
        const std::string zone = ChoiceText(cbxTimeZone);
        for (const rtl::TDateTime run : check.NextRuns) {
            lines << QString::fromStdString(WithZoneTime(rtl::DateTimeToStr(run), zone, run));
        }
        if (check.NextRuns.empty()) {
            lines << tr("Never");
        }
    }
    edtCronStr->setToolTip(lines.join(u'\n'));
}

bool TScheduleArea::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edtCronStr && event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        Guarded([this] { edtCronStrPropertiesValidate(); });
    }
    return TEditorArea::eventFilter(watched, event);
}

rtl::TDateTime TScheduleArea::NextDueTime() const {
    const rtl::TDateTime now = rtl::Now();
    try {
        TChronSchedule schedule;
        ParseChronSchedule("0 " + edtCronStr->text().toStdString(), schedule);
        TDueRules rules = DueRules();
        const rtl::TDateTime due = morvid::NextDueTime(schedule, now, 0, 0, rules);
        return due != 0 ? due : now;
    } catch (const rtl::Exception&) {
        return now;
    }
}

TDueRules TScheduleArea::DueRules() const {
    return TaskDueRules(ChoiceText(cbxTimeZone),
                        MorvidPlugin != nullptr ? ExcludedDaysOf(MorvidPlugin->Calendars,
                                                                 ChoiceText(cbxExcludeCalendar))
                                                : std::vector<std::int32_t>());
}

} // namespace morvid
