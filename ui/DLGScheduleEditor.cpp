#include "ui/DLGScheduleEditor.h"

#include "platform/host/core/ReportParamInfo.h"
#include "platform/host/core/SysObjects.h"
#include "platform/host/forms/DirDialog.h"
#include "platform/host/forms/MessageDlg.h"
#include "platform/host/forms/VelmornTreeList.h"
#include "platform/host/report/ExportFilterCollection.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"
#include "plugin/MorvidPlugin.h"
#include "plugin/MorvidResources.h"
#include "scheduler/ChronSchedule.h"
#include "scheduler/ScheduleCheck.h"
#include "scheduler/ScheduleWords.h"
#include "tasks/ScheduleItem.h"
#include "ui/NullSpinEdit.h"
#include "ui/PaintedIcon.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <exception>

namespace morvid {

namespace {

const char* const DefaultSchedule = LoadResString(SDefaultCronStr);
const char* const ScheduleFormat = LoadResString(SCronStrFormat);

// The designed client size; the dialog opens at it unless its controls need more, and may be
// made larger.
constexpr int DesignedWidth = 345;
constexpr int DesignedHeight = 485;
// Room around the controls, between neighbouring fields, and between a caption and its field.
constexpr int Margin = 16;
constexpr int FieldGap = 7;
constexpr int CaptionGap = 2;
// Extra room between the groups of fields: task, schedule fields, options.
constexpr int GroupGap = 8;
// The schedule's words stand this close under its field.
constexpr int WordsGap = 3;
// The schedule's words keep room for this many lines, so the controls below do not jump as
// the text is typed.
constexpr int WordsLines = 2;
// Hints of the width a long name or path may widen the dialog to, as a share of the screen.
constexpr double WidestShareOfScreen = 0.9;

// How many due times the schedule field's tool tip lists.
constexpr int HintedRuns = 5;

// The three dots of a browse button, drawn in the palette's text colour.
QIcon EllipsisIcon(const QPalette& palette) {
    const QColor colour = palette.color(QPalette::WindowText);
    return PaintedIcon([colour](QPainter& painter, const QRectF& square) {
        const double unit = square.width() / 16.0;
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        for (int dot = 0; dot < 3; ++dot) {
            painter.drawEllipse(square.topLeft() + QPointF((3.5 + dot * 4.5) * unit, 11.0 * unit),
                                1.3 * unit, 1.3 * unit);
        }
    });
}

std::string FieldText(const TNullSpinEdit& edit) {
    return edit.IsNull() ? std::string("*") : rtl::IntToStr(edit.value());
}

// Undoes a BeginUpdate on every way out.
class TGridUpdate {
public:
    explicit TGridUpdate(host::TVelmornTreeList& grid) : FGrid(grid) { FGrid.BeginUpdate(); }
    ~TGridUpdate() { FGrid.EndUpdate(); }
    TGridUpdate(const TGridUpdate&) = delete;
    TGridUpdate& operator=(const TGridUpdate&) = delete;

private:
    host::TVelmornTreeList& FGrid;
};

} // namespace

TDLGScheduleEditor::TDLGScheduleEditor(QWidget* owner)
    : host::TDialogBase(owner), DirDialog1(std::make_unique<host::TDirDialog>()) {
    setObjectName(QStringLiteral("DLGScheduleEditor"));
    SetCaption("Report schedule");
    QFont dialogFont = QApplication::font();
    dialogFont.setPointSize(9);
    setFont(dialogFont);

    // The fields stand in layouts rather than at fixed places, so no caption or item is cut at
    // any font or display scale and the dialog can be made larger.
    auto* fields = new QVBoxLayout;
    fields->setContentsMargins(Margin, Margin - CaptionGap, Margin, 0);
    fields->setSpacing(0);
    fields->addLayout(CreateTaskFields());
    fields->addSpacing(FieldGap + GroupGap);
    fields->addLayout(CreateScheduleFields());
    fields->addSpacing(CaptionGap);
    fields->addLayout(CreateParameterGrid(), 1);
    fields->addSpacing(FieldGap);
    fields->addLayout(CreateOptions());

    auto* dialog = new QVBoxLayout(this);
    dialog->setContentsMargins(0, 0, 0, 0);
    dialog->setSpacing(0);
    dialog->addLayout(fields, 1);
    dialog->addSpacing(FieldGap);
    dialog->addLayout(CreateButtons());
    SetSizableClientSize(DesignedWidth, DesignedHeight);

    ChainTabOrder();
    FormCreate();
}

TDLGScheduleEditor::~TDLGScheduleEditor() {
    // The grid and the schedule field call back into this object; they go while it is whole,
    // not later with the base class's children.
    edtCronStr->removeEventFilter(this);
    delete cxTreeList1;
}

template <class F> void TDLGScheduleEditor::Guarded(F&& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        host::MessageDlg(error.what(), host::TMsgDlgType::mtError, host::mbOK);
    }
}

QVBoxLayout* TDLGScheduleEditor::Captioned(const char* name, const char* caption, QWidget* field) {
    auto* label = new QLabel(QString::fromUtf8(caption), this);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(field);
    auto* column = new QVBoxLayout;
    column->setSpacing(CaptionGap);
    column->addWidget(label);
    column->addWidget(field);
    return column;
}

// --- setup, one function per area --------------------------------------------------------------

QLayout* TDLGScheduleEditor::CreateTaskFields() {
    edtName = new QLineEdit(this);
    edtName->setObjectName(QStringLiteral("edtName"));

    icbReport = new QComboBox(this);
    icbReport->setObjectName(QStringLiteral("icbReport"));
    // Never narrower than its longest report name.
    icbReport->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    edtPath = new QLineEdit(this);
    edtPath->setObjectName(QStringLiteral("edtPath"));

    cbbFilter = new QComboBox(this);
    cbbFilter->setObjectName(QStringLiteral("cbbFilter"));
    cbbFilter->setEditable(true);
    // What the user types picks an item or nothing; it never becomes a new item, and it is not
    // completed to one either: a fragment such as "c" must not turn into "CSV table".
    cbbFilter->setInsertPolicy(QComboBox::NoInsert);
    cbbFilter->setCompleter(nullptr);
    // Shows its longest format whole.
    cbbFilter->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    connect(edtName, &QLineEdit::textChanged, this, [this] { edtNamePropertiesChange(); });
    connect(icbReport, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            FUnlistedReportId.reset();
        }
        UpdateReportParams();
        edtNamePropertiesChange();
    });
    connect(edtPath, &QLineEdit::textChanged, this, [this] { edtNamePropertiesChange(); });
    connect(cbbFilter, &QComboBox::editTextChanged, this, [this] { edtNamePropertiesChange(); });
    connect(cbbFilter, &QComboBox::currentIndexChanged, this,
            [this] { edtNamePropertiesChange(); });

    // Report and format take the width their items need; name and path take the rest, and what
    // the dialog gains.
    auto* nameRow = new QHBoxLayout;
    nameRow->setSpacing(FieldGap);
    nameRow->addLayout(Captioned("lblName", "Task name", edtName), 1);
    nameRow->addLayout(Captioned("lblReport", "Report", icbReport));
    auto* pathRow = new QHBoxLayout;
    pathRow->setSpacing(FieldGap);
    pathRow->addLayout(Captioned("lblPath", "Export path", edtPath), 1);
    pathRow->addLayout(Captioned("lblFilter", "Format:", cbbFilter));
    auto* area = new QVBoxLayout;
    area->setSpacing(FieldGap);
    area->addLayout(nameRow);
    area->addLayout(pathRow);
    return area;
}

QLayout* TDLGScheduleEditor::CreateScheduleFields() {
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
    area->setHorizontalSpacing(FieldGap);
    area->setVerticalSpacing(FieldGap);
    for (int column = 0; column < Columns; ++column) {
        area->setColumnStretch(column, 1);
    }
    int cell = 0;
    const TSpinLayout layouts[] = {
        {"sedMinute", "lblMinute", "Minute", 0, 59, &sedMinute},
        {"sedHour", "lblHour", "Hour", 0, 23, &sedHour},
        {"sedDay", "lblDay", "Day", 1, 31, &sedDay},
        {"sedWeekday", "lblWeekday", "Weekday", 1, 7, &sedWeekday},
        {"sedMonth", "lblMonth", "Month", 1, 12, &sedMonth},
        {"sedYear", "lblYear", "Year", 1900, 3000, &sedYear},
    };
    for (const TSpinLayout& layout : layouts) {
        auto* edit = new TNullSpinEdit(layout.Low, layout.High, this);
        edit->setObjectName(QString::fromLatin1(layout.Name));
        area->addLayout(Captioned(layout.LabelName, layout.Caption, edit), cell / Columns,
                        cell % Columns);
        ++cell;
        connect(edit, &QSpinBox::valueChanged, this,
                [this] { Guarded([this] { sedHourPropertiesChange(); }); });
        *layout.Edit = edit;
    }
    FFieldEdits = {sedMinute, sedHour, sedDay, sedMonth, sedWeekday, sedYear};

    edtCronStr = new QLineEdit(this);
    edtCronStr->setObjectName(QStringLiteral("edtCronStr"));
    // Set apart from the spin edits, as wide as three of them.
    QVBoxLayout* cronStr = Captioned("lblCronStr", "Schedule definition", edtCronStr);
    cronStr->setContentsMargins(0, GroupGap, 0, 0);
    area->addLayout(cronStr, 2, 0, 1, Columns - 1);
    FCronStrError =
        new QAction(style()->standardIcon(QStyle::SP_MessageBoxCritical), QString(), edtCronStr);
    FCronStrError->setObjectName(QStringLiteral("edtCronStrError"));
    FCronStrError->setVisible(false);
    // The field validates as its text changes, so Ok never stands for a text not validated, and
    // again when the focus leaves it.
    edtCronStr->installEventFilter(this);

    lblScheduleWords = new QLabel(this);
    lblScheduleWords->setObjectName(QStringLiteral("lblScheduleWords"));
    lblScheduleWords->setWordWrap(true);
    lblScheduleWords->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblScheduleWords->setMinimumHeight(WordsLines * lblScheduleWords->fontMetrics().lineSpacing());
    // Validating shows the error or clears it, which rewrites the words as well.
    connect(edtCronStr, &QLineEdit::textChanged, this,
            [this] { Guarded([this] { edtCronStrPropertiesValidate(); }); });

    // The words read as the field's own line, close under it.
    auto* withWords = new QVBoxLayout;
    withWords->setSpacing(WordsGap);
    withWords->addLayout(area);
    withWords->addWidget(lblScheduleWords);
    return withWords;
}

QLayout* TDLGScheduleEditor::CreateParameterGrid() {
    cxTreeList1 = new host::TVelmornTreeList(this);
    cxTreeList1->setObjectName(QStringLiteral("cxTreeList1"));

    tlcIdx = cxTreeList1->CreateColumn("tlcIdx", "#", 35);
    tlcIdx->ReadOnly = true;
    tlcIdx->ValueType = rtl::TVarType::Integer;
    tlcIdx->OnGetDisplayText = [this](int row, const rtl::TVariant&) {
        return tlcIdxGetDisplayText(row);
    };

    tlcType = cxTreeList1->CreateColumn("tlcType", "Type", 136);
    tlcType->ValueType = rtl::TVarType::Integer;
    tlcType->Properties = host::TEditProperties(host::TEditorKind::DropDown);
    tlcType->Properties.Items = {{"Text", rpText},
                                 {"Number", rpNumber},
                                 {"Boolean", rpBoolean},
                                 {"Date", rpDate},
                                 {"Time", rpTime}};

    tlcValue = cxTreeList1->CreateColumn("tlcValue", "Value", 175);
    tlcValue->OnGetEditProperties = [this](int row) { return tlcValueGetEditProperties(row); };

    // The report's own name for the parameter at the row's position, where it tells one. Made
    // last, so the value columns keep their indices, and shown after "#".
    tlcName = cxTreeList1->CreateColumn("tlcName", "Name", 110);
    tlcName->ReadOnly = true;
    tlcName->OnGetDisplayText = [this](int row, const rtl::TVariant&) {
        return tlcNameGetDisplayText(row);
    };
    cxTreeList1->MoveColumn(tlcName->Index(), 1);
    cxTreeList1->SetColumnVisible(tlcName->Index(), false);

    cxTreeList1->OnCreateNode = [this](int row) { cxTreeList1CreateNode(row); };

    btnFillParams = new QPushButton(QStringLiteral("Fill from report"), this);
    btnFillParams->setObjectName(QStringLiteral("btnFillParams"));
    btnFillParams->setToolTip(QStringLiteral("One row for each parameter the report takes"));
    btnFillParams->setAutoDefault(false);
    btnFillParams->setEnabled(false);
    connect(btnFillParams, &QPushButton::clicked, this,
            [this] { Guarded([this] { btnFillParamsClick(); }); });

    lblParamsWarning = new QLabel(this);
    lblParamsWarning->setObjectName(QStringLiteral("lblParamsWarning"));
    lblParamsWarning->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(QSize(16, 16)));
    lblParamsWarning->hide();

    // Every change of the rows may give or take a needed value.
    QAbstractItemModel* rows = cxTreeList1->model();
    for (const auto& signal :
         {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(rows, signal, this, [this] { UpdateParamsWarning(); });
    }
    connect(rows, &QAbstractItemModel::dataChanged, this, [this] { UpdateParamsWarning(); });
    connect(rows, &QAbstractItemModel::modelReset, this, [this] { UpdateParamsWarning(); });
    cxTreeList1->OnEditValueChanged = [this](host::TcxVelmornTreeListColumn& column) {
        Guarded([&] { cxTreeList1EditValueChanged(column); });
    };

    // The caption, and at the right of it the warning and the command, over the grid, which
    // takes the height the dialog is given beyond its designed size.
    QVBoxLayout* area = Captioned("lblParams", "Report parameters", cxTreeList1);
    QLayoutItem* caption = area->takeAt(0);
    auto* captionRow = new QHBoxLayout;
    captionRow->setSpacing(FieldGap);
    captionRow->addItem(caption);
    captionRow->addStretch(1);
    captionRow->addWidget(lblParamsWarning);
    captionRow->addWidget(btnFillParams);
    area->insertLayout(0, captionRow);
    area->setStretch(1, 1);
    // The command is taller than the caption; the caption's gap is taken from it.
    area->setSpacing(0);
    return area;
}

QLayout* TDLGScheduleEditor::CreateOptions() {
    cbxScheduleEnabled = new QCheckBox(QStringLiteral("Enabled"), this);
    cbxScheduleEnabled->setObjectName(QStringLiteral("cbxScheduleEnabled"));

    sedKeepFiles = new QSpinBox(this);
    sedKeepFiles->setObjectName(QStringLiteral("sedKeepFiles"));
    sedKeepFiles->setRange(0, 99999);
    // 0 keeps every file, as a task did before it had the option.
    sedKeepFiles->setSpecialValueText(QStringLiteral("All"));
    auto* keepLabel = new QLabel(QStringLiteral("Keep the last N files"), this);
    keepLabel->setObjectName(QStringLiteral("lblKeepFiles"));
    keepLabel->setBuddy(sedKeepFiles);

    cbxRunMissed = new QCheckBox(QStringLiteral("Run once at start if missed"), this);
    cbxRunMissed->setObjectName(QStringLiteral("cbxRunMissed"));

    auto* enabledRow = new QHBoxLayout;
    enabledRow->setSpacing(FieldGap);
    enabledRow->addWidget(cbxScheduleEnabled);
    enabledRow->addStretch(1);
    enabledRow->addWidget(keepLabel);
    enabledRow->addWidget(sedKeepFiles);
    auto* area = new QVBoxLayout;
    area->setSpacing(FieldGap);
    area->addLayout(enabledRow);
    area->addWidget(cbxRunMissed);
    return area;
}

QLayout* TDLGScheduleEditor::CreateButtons() {
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);

    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnOk->setEnabled(false);
    connect(btnOk, &QPushButton::clicked, this, [this] { accept(); });

    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    // Enter on the focused Cancel presses Cancel, not the default Ok.
    btnCancel->setAutoDefault(true);
    connect(btnCancel, &QPushButton::clicked, this, [this] { reject(); });

    // The line runs the dialog's full width; the buttons keep to its bottom right corner.
    auto* buttonRow = new QHBoxLayout;
    buttonRow->setContentsMargins(0, 12, 5, 6);
    buttonRow->setSpacing(5);
    buttonRow->addStretch(1);
    for (QPushButton* button : {btnOk, btnCancel}) {
        button->setMinimumSize(75, 25);
        buttonRow->addWidget(button);
    }
    auto* area = new QVBoxLayout;
    area->setSpacing(0);
    area->addWidget(Bevel1);
    area->addLayout(buttonRow);
    return area;
}

void TDLGScheduleEditor::ChainTabOrder() {
    QWidget* const order[] = {edtName,
                              icbReport,
                              edtPath,
                              cbbFilter,
                              sedMinute,
                              sedHour,
                              sedDay,
                              sedWeekday,
                              sedMonth,
                              sedYear,
                              edtCronStr,
                              cxTreeList1,
                              cbxScheduleEnabled,
                              sedKeepFiles,
                              cbxRunMissed,
                              btnOk,
                              btnCancel};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

// --- creation, loading, storing ----------------------------------------------------------------

void TDLGScheduleEditor::FormCreate() {
    for (TNullSpinEdit* edit : FFieldEdits) {
        const QSignalBlocker quiet(edit);
        edit->Clear();
    }
    edtCronStr->setText(QString::fromLatin1(DefaultSchedule));
    FCronStrValid = true;

    QAction* browse = new QAction(EllipsisIcon(palette()), QString(), edtPath);
    browse->setObjectName(QStringLiteral("edtPathBrowse"));
    connect(browse, &QAction::triggered, this,
            [this] { Guarded([this] { edtPathButtonClick(); }); });
    browse->setToolTip(QStringLiteral("Browse"));
    edtPath->addAction(browse, QLineEdit::TrailingPosition);

    DirDialog1->Prompt = "Select directory";

    FillReports();
    FillFilters();
    UpdateOkButton();
}

void TDLGScheduleEditor::FillReports() {
    const QSignalBlocker quiet(icbReport);
    icbReport->clear();
    if (MorvidPlugin != nullptr) {
        int index = 0;
        host::TClientReport* report = nullptr;
        while (MorvidPlugin->Reports.ForEach(index, report)) {
            icbReport->addItem(QString::fromStdString(report->Name), QVariant(report->Id));
        }
    }
    icbReport->setCurrentIndex(-1);
}

void TDLGScheduleEditor::FillFilters() {
    const QSignalBlocker quiet(cbbFilter);
    cbbFilter->clear();
    for (int i = 0; i < host::frxExportFilters.Count(); ++i) {
        const host::TfrxCustomExportFilter* filter = host::frxExportFilters.GetExportFilterItem(i);
        // A dot-matrix printout is no file a task could deliver.
        if (filter == host::frxDotMatrixExport) {
            continue;
        }
        cbbFilter->addItem(QString::fromStdString(filter->Description()));
    }
    cbbFilter->setCurrentIndex(cbbFilter->count() > 0 ? 0 : -1);
}

void TDLGScheduleEditor::LoadFromTask(const TScheduleItem& task) {
    edtName->setText(QString::fromStdString(task.Name));
    cbxScheduleEnabled->setChecked(task.Enabled);
    cbxRunMissed->setChecked(task.RunMissed);
    sedKeepFiles->setValue(task.KeepFiles);

    const int reportIndex = icbReport->findData(QVariant(task.ReportId));
    icbReport->setCurrentIndex(reportIndex);
    if (reportIndex < 0) {
        // The host no longer lists the report; saving keeps its id as the task had it.
        FUnlistedReportId = task.ReportId;
        icbReport->setPlaceholderText(QString::fromStdString(
            rtl::Format(host::_ERR_REPORT_NOT_FOUND, rtl::IntToStr(task.ReportId).c_str())));
    }

    edtPath->setText(QString::fromStdString(task.ExportPath));
    const QString filter = QString::fromStdString(task.Filter);
    const int filterIndex = cbbFilter->findText(filter, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (filterIndex >= 0) {
        cbbFilter->setCurrentIndex(filterIndex);
    }
    cbbFilter->setEditText(filter);
    edtCronStr->setText(QString::fromStdString(task.CronStr));

    // The spin edits only show the fields that hold one number, even of a schedule that cannot
    // run; an unreadable one leaves them at "Any". The field's validation tells why.
    try {
        TChronSchedule schedule;
        ParseChronSchedule("0 " + task.CronStr, schedule);
        ShowScheduleFields(schedule);
    } catch (const EScheduleError&) {
    }

    {
        const TGridUpdate update(*cxTreeList1);
        for (const TReportParam& param : task.Params) {
            const int row = cxTreeList1->AddNode();
            cxTreeList1->SetValues(row, tlcType->Index(),
                                   rtl::TVariant(std::int32_t(param.ParamType)));
            cxTreeList1->SetValues(row, tlcValue->Index(), param.Value);
        }
    }
    UpdateOkButton();
    WidenForLongTexts();
}

void TDLGScheduleEditor::WidenForLongTexts() {
    // A line edit's size hint is room for 17 'x' plus its frame, margins and buttons.
    const auto needed = [](const QLineEdit& field) {
        const QFontMetrics metrics = field.fontMetrics();
        return field.sizeHint().width() - 17 * metrics.horizontalAdvance(QLatin1Char('x')) +
               metrics.horizontalAdvance(field.text()) + 2;
    };
    const QScreen* shown = screen();
    const int widest =
        shown != nullptr ? int(shown->availableGeometry().width() * WidestShareOfScreen) : width();
    layout()->activate();
    int missing = 0;
    for (const QLineEdit* field : {edtName, edtPath}) {
        missing = std::max(missing, needed(*field) - field->width());
    }
    if (missing > 0 && width() < widest) {
        resize(std::min(width() + missing, widest), height());
    }
}

void TDLGScheduleEditor::SaveToTask(TScheduleItem& task) const {
    task.SetName(edtName->text().toStdString());
    task.SetEnabled(cbxScheduleEnabled->isChecked());
    task.RunMissed = cbxRunMissed->isChecked();
    task.KeepFiles = sedKeepFiles->value();
    // Ok needs a report; without one (a caller that skipped the dialog) the task keeps its own.
    if (const std::optional<std::int32_t> report = ReportValue()) {
        task.SetReportId(*report);
    }
    task.SetExportPath(edtPath->text().toStdString());
    task.SetFilter(cbbFilter->currentText().toStdString());
    task.SetCronStr(edtCronStr->text().toStdString());

    task.ClearParams();
    for (int row = 0; row < cxTreeList1->Count(); ++row) {
        const rtl::TVariant& value = cxTreeList1->Values(row, tlcValue->Index());
        if (value.IsClear()) {
            continue;
        }
        const rtl::TVariant& type = cxTreeList1->Values(row, tlcType->Index());
        const std::int32_t code = type.IsClear() ? std::int32_t(rpText) : type.AsInteger();
        task.AddParam(static_cast<std::uint8_t>(code), value);
    }
}

std::optional<std::int32_t> TDLGScheduleEditor::ReportValue() const {
    const int index = icbReport->currentIndex();
    if (index >= 0) {
        return icbReport->itemData(index).toInt();
    }
    return FUnlistedReportId;
}

// --- Ok ---------------------------------------------------------------------------------------

int TDLGScheduleEditor::FilterIndex() const {
    // Exact and case-sensitive: the task's run finds its filter by exactly this text.
    return cbbFilter->findText(cbbFilter->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void TDLGScheduleEditor::UpdateOkButton() {
    const bool ok = !edtName->text().isEmpty() && ReportValue().has_value() &&
                    !edtPath->text().isEmpty() && FilterIndex() != -1 &&
                    !edtCronStr->text().isEmpty() && FCronStrValid;
    btnOk->setEnabled(ok);
}

void TDLGScheduleEditor::accept() {
    bool validated = false;
    Guarded([&] {
        edtCronStrPropertiesValidate();
        validated = true;
    });
    if (validated && btnOk->isEnabled()) {
        host::TDialogBase::accept();
    }
}

void TDLGScheduleEditor::edtNamePropertiesChange() {
    UpdateOkButton();
}

// --- handlers ---------------------------------------------------------------------------------

void TDLGScheduleEditor::edtPathButtonClick() {
    DirDialog1->InitialDir = edtPath->text().toStdString();
    if (DirDialog1->Execute(this)) {
        edtPath->setText(QString::fromStdString(DirDialog1->Directory));
    }
}

void TDLGScheduleEditor::sedHourPropertiesChange() {
    // Every change of a spin edit counts at once, keystrokes included.
    sedHourPropertiesEditValueChanged();
}

void TDLGScheduleEditor::sedHourPropertiesEditValueChanged() {
    std::array<std::string, 6> texts;
    for (std::size_t field = 0; field < FFieldEdits.size(); ++field) {
        texts[field] = FieldText(*FFieldEdits[field]);
    }
    // The new text is validated as it changes.
    edtCronStr->setText(QString::fromStdString(
        rtl::Format(ScheduleFormat, texts[0].c_str(), texts[1].c_str(), texts[2].c_str(),
                    texts[3].c_str(), texts[4].c_str(), texts[5].c_str())));
}

void TDLGScheduleEditor::edtCronStrPropertiesValidate() {
    // Checked as the task will arm and run it: a schedule that parses but reaches a time no
    // clock has (minute 75, hour 25) would stop its task at that time.
    const TScheduleCheck check =
        CheckTaskSchedule(edtCronStr->text().toStdString(), rtl::Now(), HintedRuns);
    FCronStrValid = check.Error.empty();
    SetCronStrError(check.Error);
    if (FCronStrValid) {
        ShowScheduleFields(check.Entries);
    }
    ShowScheduleHint(check);
    UpdateOkButton();
}

void TDLGScheduleEditor::ShowScheduleFields(const TChronSchedule& schedule) {
    for (std::size_t field = 0; field < FFieldEdits.size(); ++field) {
        const TChronEntry& entry = schedule[field + 1];
        TNullSpinEdit* edit = FFieldEdits[field];
        // A value the field cannot hold (75 minutes) would show as a different one.
        const bool single = !entry.Relative && entry.Values.size() == 1 &&
                            entry.Values.front() >= edit->Low() &&
                            entry.Values.front() <= edit->High();
        const int value = single ? entry.Values.front() : edit->minimum();
        // Set only when it differs, so that a spin edit being typed in keeps its text.
        if (single ? edit->value() != value : !edit->IsNull()) {
            const QSignalBlocker quiet(edit);
            edit->setValue(value);
        }
    }
}

void TDLGScheduleEditor::SetCronStrError(const std::string& message) {
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

void TDLGScheduleEditor::UpdateScheduleWords() {
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
    QPalette colours = palette();
    if (failed) {
        colours.setColor(QPalette::WindowText, QColor(0xB0, 0x00, 0x20));
    }
    lblScheduleWords->setPalette(colours);
}

void TDLGScheduleEditor::ShowScheduleHint(const TScheduleCheck& check) {
    QStringList lines;
    if (!check.Error.empty()) {
        lines << QString::fromStdString(check.Error);
    } else {
        // The times the task will run at.
        lines << QStringLiteral("Next runs:");
        for (const rtl::TDateTime run : check.NextRuns) {
            lines << QString::fromStdString(rtl::DateTimeToStr(run));
        }
        if (check.NextRuns.empty()) {
            lines << QStringLiteral("Never");
        }
    }
    edtCronStr->setToolTip(lines.join(u'\n'));
}

std::string TDLGScheduleEditor::tlcNameGetDisplayText(int row) const {
    return FReportTellsParams && row >= 0 && std::size_t(row) < FReportParams.size()
               ? FReportParams[std::size_t(row)].Name
               : std::string();
}

void TDLGScheduleEditor::UpdateReportParams() {
    FReportParams.clear();
    FReportTellsParams = false;
    host::TCustomSysObject* object = nullptr;
    const std::optional<std::int32_t> id = ReportValue();
    if (MorvidPlugin != nullptr && id && MorvidPlugin->Reports.FindById(*id, object)) {
        if (const host::IReportParamInfo* info =
                host::ReportParamInfo(dynamic_cast<const host::TClientReport*>(object))) {
            FReportParams = info->ParamInfo();
            FReportTellsParams = true;
        }
    }
    cxTreeList1->SetColumnVisible(tlcName->Index(), FReportTellsParams);
    cxTreeList1->viewport()->update();
    btnFillParams->setEnabled(FReportTellsParams);
    UpdateParamsWarning();
}

void TDLGScheduleEditor::btnFillParamsClick() {
    if (!FReportTellsParams) {
        return;
    }
    struct TRow {
        rtl::TVariant Type;
        rtl::TVariant Value;
    };
    std::vector<TRow> before;
    for (int row = 0; row < cxTreeList1->Count(); ++row) {
        before.push_back({cxTreeList1->Values(row, tlcType->Index()),
                          cxTreeList1->Values(row, tlcValue->Index())});
    }
    const TGridUpdate update(*cxTreeList1);
    cxTreeList1->Clear();
    for (std::size_t i = 0; i < FReportParams.size(); ++i) {
        const std::int32_t code = FReportParams[i].Type;
        const int row = cxTreeList1->AddNode();
        cxTreeList1->SetValues(row, tlcType->Index(), rtl::TVariant(code));
        const bool sameType =
            i < before.size() &&
            (before[i].Type.IsClear() ? std::int32_t(rpText) : before[i].Type.AsInteger()) == code;
        if (sameType) {
            cxTreeList1->SetValues(row, tlcValue->Index(), before[i].Value);
        }
    }
}

std::vector<std::string> TDLGScheduleEditor::MissingParams() const {
    std::vector<std::string> missing;
    if (!FReportTellsParams) {
        return missing;
    }
    // The report gets the rows that hold a value, closed up, as saving stores them.
    std::size_t given = 0;
    for (int row = 0; row < cxTreeList1->Count(); ++row) {
        given += cxTreeList1->Values(row, tlcValue->Index()).IsClear() ? 0 : 1;
    }
    for (std::size_t i = given; i < FReportParams.size(); ++i) {
        if (FReportParams[i].NeedsValue) {
            missing.push_back(
                rtl::Format("%s (row %d)", FReportParams[i].Name.c_str(), int(i + 1)));
        }
    }
    return missing;
}

void TDLGScheduleEditor::UpdateParamsWarning() {
    const std::vector<std::string> missing = MissingParams();
    lblParamsWarning->setVisible(!missing.empty());
    if (!missing.empty()) {
        QStringList names;
        for (const std::string& name : missing) {
            names << QString::fromStdString(name);
        }
        lblParamsWarning->setToolTip(
            QStringLiteral("The report needs a value for: %1. Without it the run asks for one.")
                .arg(names.join(QStringLiteral(", "))));
    }
}

std::string TDLGScheduleEditor::tlcIdxGetDisplayText(int row) const {
    return rtl::IntToStr(row + 1);
}

const host::TEditProperties* TDLGScheduleEditor::tlcValueGetEditProperties(int row) const {
    const rtl::TVariant& type = cxTreeList1->Values(row, tlcType->Index());
    std::int32_t code = rpText;
    if (!type.IsClear()) {
        try {
            code = type.AsInteger();
        } catch (const rtl::Exception&) {
            return nullptr;
        }
    }
    switch (code) {
    case rpText:
        return &erText;
    case rpNumber:
        return &erNumber;
    case rpBoolean:
        return &erBoolean;
    case rpDate:
        return &erDate;
    case rpTime:
        return &erTime;
    default:
        return nullptr;
    }
}

void TDLGScheduleEditor::cxTreeList1CreateNode(int row) {
    cxTreeList1->SetValues(row, tlcType->Index(), rtl::TVariant(std::int32_t(rpText)));
    cxTreeList1->SetValues(row, tlcValue->Index(), rtl::TVariant());
}

void TDLGScheduleEditor::cxTreeList1EditValueChanged(host::TcxVelmornTreeListColumn& column) {
    if (&column != tlcType) {
        return;
    }
    const int row = cxTreeList1->FocusedRow();
    if (row < 0) {
        return;
    }
    const rtl::TVariant& type = cxTreeList1->Values(row, tlcType->Index());
    const std::int32_t code = type.IsClear() ? std::int32_t(rpText) : type.AsInteger();
    rtl::TVariant value;
    switch (code) {
    case rpNumber:
        value = std::int32_t(0);
        break;
    case rpBoolean:
        value = false;
        break;
    case rpDate:
        value = double(rtl::Date());
        break;
    case rpTime:
        value = double(rtl::Time());
        break;
    default:
        // A text takes whatever the row held, as its text.
        return;
    }
    cxTreeList1->SetValues(row, tlcValue->Index(), value);
}

bool TDLGScheduleEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edtCronStr && event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        Guarded([this] { edtCronStrPropertiesValidate(); });
    }
    return host::TDialogBase::eventFilter(watched, event);
}

} // namespace morvid
