// TScheduleArea: the editor's schedule: six spin edits and the schedule text kept in step, the
// text checked as the task will run it, and the schedule in words under it.
#pragma once

#include "scheduler/ChronSchedule.h"
#include "scheduler/DueRules.h"
#include "ui/editor/EditorArea.h"

#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <string>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;

namespace morvid {

class TNullSpinEdit;
class TScheduleShapeRow;
struct TScheduleCheck;

class TScheduleArea : public TEditorArea {
    Q_OBJECT

public:
    explicit TScheduleArea(QWidget& dialog);
    ~TScheduleArea() override;

    // All spin edits "Any" and the default schedule, once the dialog is whole.
    void FormCreate();

    // Shows the schedule text as stored: the spin edits follow the fields that hold one number,
    // and setting them does not rewrite the text.
    void LoadFromTask(const TScheduleItem& task) override;
    void SaveToTask(TScheduleItem& task) const override;
    // A schedule text whose last validation succeeded.
    bool Complete() const override;
    // Refuses a time zone the tz database lacks, with a message.
    bool ConfirmOk() override;
    std::vector<QWidget*> TabOrder() const override;

    // Checks the text as the task will arm and run it, shows the outcome and tells OnValidated.
    void edtCronStrPropertiesValidate();
    // The outcome of the last validation of the schedule text.
    bool CronStrValid() const noexcept { return FCronStrValid; }
    // A task that is not enabled is told, under the schedule, that it will not run.
    void ShowEnabled(bool enabled);
    // The next due time of the schedule text as typed, under the zone and calendar chosen, as a
    // machine local moment; now when it has none.
    rtl::TDateTime NextDueTime() const;
    // The zone and the excluded days chosen.
    TDueRules DueRules() const;

    // A validation has ended; the dialog recomputes Ok.
    std::function<void()> OnValidated;

    TNullSpinEdit* sedMinute = nullptr;
    TNullSpinEdit* sedHour = nullptr;
    TNullSpinEdit* sedDay = nullptr;
    TNullSpinEdit* sedWeekday = nullptr;
    TNullSpinEdit* sedMonth = nullptr;
    TNullSpinEdit* sedYear = nullptr;
    QLineEdit* edtCronStr = nullptr;
    QLabel* lblScheduleWords = nullptr;
    QLabel* lblNextRuns = nullptr;
    QLabel* lblNotEnabled = nullptr;
    TScheduleShapeRow* Shapes = nullptr;
    // The zone the schedule is read in (first item: the machine's), and the calendar of dates
    // on which the task does not run (first item: none).
    QComboBox* cbxTimeZone = nullptr;
    QComboBox* cbxExcludeCalendar = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void sedHourPropertiesChange();
    void sedHourPropertiesEditValueChanged();

    // The schedule field's tool tip: the next due times of the text as typed, or why it fails.
    void ShowScheduleHint(const TScheduleCheck& check);
    // Each spin edit shows its field's value when the field holds one number it can show, else
    // "Any"; quietly, so the text is not rebuilt.
    void ShowScheduleFields(const TChronSchedule& schedule);
    static void ShowField(TNullSpinEdit& edit, std::optional<int> value);
    // The next due times, under the schedule's words, on the clock of the zone chosen.
    void ShowNextRuns(const TScheduleCheck& check, TDueRules& rules);
    // Shows or clears the error icon of the schedule field.
    void SetCronStrError(const std::string& message);
    // The label under the schedule field: the schedule in words, or why the text fails.
    void UpdateScheduleWords();

    QAction* FCronStrError = nullptr;
    // The text that the error icon's message was about.
    QString FCronStrErrorText;
    // The spin edits in the order of the schedule string's fields: minute, hour, day, month,
    // weekday, year (the screen shows weekday before month).
    std::array<TNullSpinEdit*, 6> FFieldEdits{};
    bool FCronStrValid = true;
};

} // namespace morvid
