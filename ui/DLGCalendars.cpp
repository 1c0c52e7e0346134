#include "ui/DLGCalendars.h"

#include "platform/host/forms/MessageDlg.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"
#include "tasks/IcsDates.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>

namespace morvid {

namespace {

// Repeating holidays of an imported file are taken this many years ahead.
constexpr int ImportYears = 10;

QString DatesForEditing(const std::vector<std::int32_t>& days) {
    return QString::fromStdString(CalendarDatesText(days)).replace(u',', QStringLiteral(",\n"));
}

std::string DatesAsStored(const QString& text) {
    QString stored = text;
    stored.replace(u'\n', u',');
    return stored.toStdString();
}

} // namespace

TDLGCalendars::TDLGCalendars(std::vector<TExcludeCalendar> calendars, QWidget* owner)
    : TDialogBase(owner) {
    setObjectName(QStringLiteral("DLGCalendars"));
    SetCaption(tr("Excluded dates").toStdString());
    for (const TExcludeCalendar& calendar : calendars) {
        FEdited.push_back({QString::fromStdString(calendar.Name), DatesForEditing(calendar.Days)});
    }

    lstCalendars = new QListWidget(this);
    lstCalendars->setObjectName(QStringLiteral("lstCalendars"));
    btnAddCalendar = new QPushButton(tr("Add"), this);
    btnAddCalendar->setObjectName(QStringLiteral("btnAddCalendar"));
    btnRemoveCalendar = new QPushButton(tr("Remove"), this);
    btnRemoveCalendar->setObjectName(QStringLiteral("btnRemoveCalendar"));
    edtCalendarName = new QLineEdit(this);
    edtCalendarName->setObjectName(QStringLiteral("edtCalendarName"));
    memCalendarDates = new QPlainTextEdit(this);
    memCalendarDates->setObjectName(QStringLiteral("memCalendarDates"));
    memCalendarDates->setPlaceholderText(QStringLiteral("2026-12-24, 2026-12-25, ..."));
    btnImportIcs = new QPushButton(tr("Import .ics..."), this);
    btnImportIcs->setObjectName(QStringLiteral("btnImportIcs"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(lstCalendars, 1);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(btnAddCalendar);
    listButtons->addWidget(btnRemoveCalendar);
    listColumn->addLayout(listButtons);
    auto* editColumn = new QVBoxLayout;
    editColumn->addWidget(new QLabel(tr("Name"), this));
    editColumn->addWidget(edtCalendarName);
    editColumn->addWidget(new QLabel(tr("Dates (YYYY-MM-DD, separated by commas)"), this));
    editColumn->addWidget(memCalendarDates, 1);
    editColumn->addWidget(btnImportIcs, 0, Qt::AlignLeft);
    auto* columns = new QHBoxLayout;
    columns->addLayout(listColumn, 1);
    columns->addLayout(editColumn, 2);
    auto* whole = new QVBoxLayout(this);
    whole->addLayout(columns, 1);
    whole->addWidget(buttons);
    SetSizableClientSize(560, 360);

    for (const TEdited& edited : FEdited) {
        lstCalendars->addItem(edited.Name);
    }
    connect(lstCalendars, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row != FShown && !KeepShown()) {
            const QSignalBlocker quiet(lstCalendars);
            lstCalendars->setCurrentRow(FShown);
            return;
        }
        ShowCalendar(row);
    });
    connect(edtCalendarName, &QLineEdit::textEdited, this, [this](const QString& name) {
        if (FShown >= 0) {
            lstCalendars->item(FShown)->setText(name);
        }
    });
    connect(btnAddCalendar, &QPushButton::clicked, this, [this] {
        if (!KeepShown()) {
            return;
        }
        FEdited.push_back({tr("Holidays %1").arg(FEdited.size() + 1), QString()});
        lstCalendars->addItem(FEdited.back().Name);
        lstCalendars->setCurrentRow(static_cast<int>(FEdited.size()) - 1);
    });
    connect(btnRemoveCalendar, &QPushButton::clicked, this, [this] {
        if (FShown < 0) {
            return;
        }
        const int row = FShown;
        FShown = -1;
        FEdited.erase(FEdited.begin() + row);
        delete lstCalendars->takeItem(row);
        ShowCalendar(lstCalendars->currentRow());
    });
    connect(btnImportIcs, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(
            this, tr("Import holidays"), QString(), tr("iCalendar files (*.ics);;All files (*)"));
        if (!path.isEmpty()) {
            ImportIcs(path.toStdString());
        }
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &TDLGCalendars::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    lstCalendars->setCurrentRow(FEdited.empty() ? -1 : 0);
    ShowCalendar(lstCalendars->currentRow());
}

void TDLGCalendars::ShowCalendar(int row) {
    FShown = row;
    const bool shown = row >= 0 && row < static_cast<int>(FEdited.size());
    edtCalendarName->setText(shown ? FEdited[std::size_t(row)].Name : QString());
    memCalendarDates->setPlainText(shown ? FEdited[std::size_t(row)].Dates : QString());
    for (QWidget* part : std::initializer_list<QWidget*>{edtCalendarName, memCalendarDates,
                                                         btnImportIcs, btnRemoveCalendar}) {
        part->setEnabled(shown);
    }
}

bool TDLGCalendars::KeepShown() {
    if (FShown < 0) {
        return true;
    }
    TEdited& edited = FEdited[std::size_t(FShown)];
    edited.Name = edtCalendarName->text().trimmed();
    edited.Dates = memCalendarDates->toPlainText();
    try {
        ParseCalendarDates(DatesAsStored(edited.Dates));
    } catch (const rtl::Exception& e) {
        host::MessageDlg(tr("Calendar \"%1\": %2")
                             .arg(edited.Name, QString::fromStdString(e.Message()))
                             .toStdString(),
                         host::TMsgDlgType::mtError, host::mbOK);
        return false;
    }
    return true;
}

bool TDLGCalendars::ImportIcs(const std::string& path) {
    if (FShown < 0 || !KeepShown()) {
        return false;
    }
    int year = 0, month = 0, day = 0;
    rtl::DecodeDate(rtl::Date(), year, month, day);
    try {
        std::vector<std::int32_t> days = IcsFileDays(path, year + ImportYears);
        const std::vector<std::int32_t> kept =
            ParseCalendarDates(DatesAsStored(FEdited[std::size_t(FShown)].Dates));
        days.insert(days.end(), kept.begin(), kept.end());
        NormaliseDays(days);
        memCalendarDates->setPlainText(DatesForEditing(days));
        return KeepShown();
    } catch (const rtl::Exception& e) {
        host::MessageDlg(tr("Cannot import \"%1\": %2")
                             .arg(QString::fromStdString(path), QString::fromStdString(e.Message()))
                             .toStdString(),
                         host::TMsgDlgType::mtError, host::mbOK);
        return false;
    }
}

void TDLGCalendars::accept() {
    if (!KeepShown()) {
        return;
    }
    std::vector<TExcludeCalendar> calendars;
    for (const TEdited& edited : FEdited) {
        const std::string name = edited.Name.toStdString();
        if (name.empty() ||
            std::any_of(calendars.begin(), calendars.end(),
                        [&](const TExcludeCalendar& c) { return rtl::SameText(c.Name, name); })) {
            host::MessageDlg(
                name.empty() ? tr("A calendar needs a name").toStdString()
                             : tr("Two calendars are called \"%1\"").arg(edited.Name).toStdString(),
                host::TMsgDlgType::mtError, host::mbOK);
            return;
        }
        calendars.push_back({name, ParseCalendarDates(DatesAsStored(edited.Dates))});
    }
    FCalendars = std::move(calendars);
    TDialogBase::accept();
}

} // namespace morvid
