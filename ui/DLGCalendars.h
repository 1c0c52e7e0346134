// TDLGCalendars: the client's calendars of excluded dates, each a name and its dates, typed or
// imported from an iCalendar (.ics) file of holidays.
#pragma once

#include "platform/host/forms/DialogBase.h"
#include "tasks/ExcludeCalendars.h"

#include <vector>

class QListWidget;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace morvid {

class TDLGCalendars : public host::TDialogBase {
    Q_OBJECT

public:
    explicit TDLGCalendars(std::vector<TExcludeCalendar> calendars, QWidget* owner = nullptr);

    // The calendars as Ok left them: each named once, its dates read.
    const std::vector<TExcludeCalendar>& Calendars() const noexcept { return FCalendars; }

    // Adds the days of the .ics file `path` to the calendar shown; false, with a message, when
    // the file cannot be read as a calendar.
    bool ImportIcs(const std::string& path);

    QListWidget* lstCalendars = nullptr;
    QLineEdit* edtCalendarName = nullptr;
    QPlainTextEdit* memCalendarDates = nullptr;
    QPushButton* btnAddCalendar = nullptr;
    QPushButton* btnRemoveCalendar = nullptr;
    QPushButton* btnImportIcs = nullptr;

private:
    // The texts of the calendar shown go back to its row; false, with a message, when its dates
    // do not read.
    bool KeepShown();
    void ShowCalendar(int row);
    void accept() override;

    struct TEdited {
        QString Name;
        QString Dates;
    };
    std::vector<TEdited> FEdited;
    int FShown = -1;
    std::vector<TExcludeCalendar> FCalendars;
};

} // namespace morvid
