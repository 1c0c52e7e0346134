#include "ui/editor/ParameterArea.h"

#include "platform/host/core/SysObjects.h"
#include "platform/host/forms/MessageDlg.h"
#include "platform/host/forms/VelmornTreeList.h"
#include "platform/host/server/PeriodWords.h"
#include "platform/host/server/ReportParameterValue.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"
#include "plugin/MorvidPlugin.h"
#include "tasks/ParamValues.h"
#include "tasks/ScheduleItem.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

namespace morvid {

namespace {

// The width the widest value editor needs: a date with the calendar's button and the period
// words beside it, each at its own width (the grid's Date editor).
int ValueEditorWidth(const QWidget& dialog, const std::vector<std::string>& words) {
    QDateEdit date;
    date.setFont(dialog.font());
    date.setFrame(false);
    date.setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    QComboBox list;
    list.setFont(dialog.font());
    list.setFrame(false);
    list.setEditable(true);
    // A list never shown measures its items only when told to.
    list.setSizeAdjustPolicy(QComboBox::AdjustToContents);
    for (const std::string& word : words) {
        list.addItem(QString::fromStdString(word));
    }
    QToolButton button;
    button.setAutoRaise(true);
    button.setIcon(dialog.style()->standardIcon(QStyle::SP_ArrowDown));
    // Two gaps of the editor's layout, and the cell's own margin.
    constexpr int Gaps = 3 * 2;
    return date.sizeHint().width() + list.sizeHint().width() + button.sizeHint().width() + Gaps;
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

std::int32_t TypeCode(const rtl::TVariant& type) {
    return type.IsClear() ? std::int32_t(rpText) : type.AsInteger();
}

// A Date or Time row holding a word stands for a parameter of the period codes.
std::uint8_t StoredCode(std::int32_t type, const rtl::TVariant& value) {
    const bool word = value.VarType() == rtl::TVarType::String;
    if (word && type == rpDate) {
        return rpDatePeriod;
    }
    if (word && type == rpTime) {
        return rpTimePeriod;
    }
    return static_cast<std::uint8_t>(type);
}

// A report's declared default as a row's value: a period word stays a word, other texts
// become the type's value; empty when it is none.
rtl::TVariant DefaultValue(std::uint8_t type, const std::string& text) {
    if (text.empty()) {
        return {};
    }
    rtl::TDateTime moment = 0;
    std::int32_t number = 0;
    switch (type) {
    case rpNumber:
        return rtl::TryStrToInt(text, number) ? rtl::TVariant(number) : rtl::TVariant();
    case rpBoolean:
        return rtl::TVariant(rtl::SameText(text, "true") || text == "1" ||
                             rtl::SameText(text, "yes"));
    case rpDate:
        if (rtl::TryParseDateTimeISO(text, moment)) {
            return rtl::TVariant(double(moment));
        }
        return PeriodWordFault(rpDatePeriod, text).empty() ? rtl::TVariant(text) : rtl::TVariant();
    case rpTime:
        if (host::TryParseTimeText(text, moment)) {
            return rtl::TVariant(double(moment));
        }
        return PeriodWordFault(rpTimePeriod, text).empty() ? rtl::TVariant(text) : rtl::TVariant();
    default:
        return rtl::TVariant(text);
    }
}

} // namespace

TParameterArea::TParameterArea(QWidget& dialog) : TEditorArea(dialog) {
    cxTreeList1 = new host::TVelmornTreeList(&FDialog);
    cxTreeList1->setObjectName(QStringLiteral("cxTreeList1"));

    tlcIdx = cxTreeList1->CreateColumn("tlcIdx", "#", 35);
    tlcIdx->ReadOnly = true;
    tlcIdx->ValueType = rtl::TVarType::Integer;
    tlcIdx->OnGetDisplayText = [this](int row, const rtl::TVariant&) {
        return tlcIdxGetDisplayText(row);
    };

    tlcType = cxTreeList1->CreateColumn("tlcType", tr("Type").toStdString(), 136);
    tlcType->ValueType = rtl::TVarType::Integer;
    tlcType->Properties = host::TEditProperties(host::TEditorKind::DropDown);
    tlcType->Properties.Items = {{tr("Text").toStdString(), rpText},
                                 {tr("Number").toStdString(), rpNumber},
                                 {tr("Boolean").toStdString(), rpBoolean},
                                 {tr("Date").toStdString(), rpDate},
                                 {tr("Time").toStdString(), rpTime}};

    tlcValue = cxTreeList1->CreateColumn("tlcValue", tr("Value").toStdString(), 175);
    tlcValue->OnGetEditProperties = [this](int row) { return tlcValueGetEditProperties(row); };
    tlcValue->OnGetDisplayText = [this](int row, const rtl::TVariant& value) {
        return tlcValueGetDisplayText(row, value);
    };
    // Beside the date picker the period words, beside the time picker the due time.
    // The first word stands for a fixed value and is never stored; the others are stored as
    // written, in every language.
    erDate.Words = {tr("fixed date").toStdString()};
    for (const std::string_view word : host::DatePeriodWords()) {
        erDate.Words.emplace_back(word == "today-N" ? "today-7" : word);
    }
    erDate.Words.emplace_back(PreviousDueWord);
    erDate.Words.emplace_back(PreviousWorkingDayWord);
    erTime.Words = {tr("fixed time").toStdString(), std::string(host::DueTimeWord),
                    std::string(PreviousDueTimeWord)};
    std::vector<std::string> words = erDate.Words;
    words.insert(words.end(), erTime.Words.begin(), erTime.Words.end());
    tlcValue->SetMinWidth(ValueEditorWidth(FDialog, words));

    // The report's own name for the parameter at the row's position, where it tells one. Made
    // last, so the value columns keep their indices, and shown after "#".
    tlcName = cxTreeList1->CreateColumn("tlcName", tr("Name").toStdString(), 110);
    tlcName->ReadOnly = true;
    tlcName->OnGetDisplayText = [this](int row, const rtl::TVariant&) {
        return tlcNameGetDisplayText(row);
    };
    cxTreeList1->MoveColumn(tlcName->Index(), 1);
    cxTreeList1->SetColumnVisible(tlcName->Index(), false);

    cxTreeList1->OnCreateNode = [this](int row) { cxTreeList1CreateNode(row); };

    btnFillParams = new QPushButton(tr("Fill from report"), &FDialog);
    btnFillParams->setObjectName(QStringLiteral("btnFillParams"));
    btnFillParams->setToolTip(tr("One row for each parameter the report takes"));
    btnFillParams->setAutoDefault(false);
    btnFillParams->setEnabled(false);
    connect(btnFillParams, &QPushButton::clicked, this,
            [this] { Guarded([this] { btnFillParamsClick(); }); });

    lblParamsWarning = new QLabel(&FDialog);
    lblParamsWarning->setObjectName(QStringLiteral("lblParamsWarning"));
    lblParamsWarning->setPixmap(
        FDialog.style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(QSize(16, 16)));
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
    QVBoxLayout* area = Captioned("lblParams", tr("Report parameters"), cxTreeList1);
    QLayoutItem* caption = area->takeAt(0);
    auto* captionRow = new QHBoxLayout;
    captionRow->setSpacing(editor::FieldGap);
    captionRow->addItem(caption);
    captionRow->addStretch(1);
    captionRow->addWidget(lblParamsWarning);
    captionRow->addWidget(btnFillParams);
    area->insertLayout(0, captionRow);
    area->setStretch(1, 1);
    // The command is taller than the caption; the caption's gap is taken from it.
    area->setSpacing(0);
    FLayout = area;
}

TParameterArea::~TParameterArea() {
    // The grid calls back into this area; it goes while the area is whole, not later with the
    // dialog's children.
    cxTreeList1->model()->disconnect(this);
    delete cxTreeList1;
}

std::vector<QWidget*> TParameterArea::TabOrder() const {
    return {cxTreeList1};
}

void TParameterArea::LoadFromTask(const TScheduleItem& task) {
    const TGridUpdate update(*cxTreeList1);
    for (const TReportParam& param : task.Params) {
        const int row = cxTreeList1->AddNode();
        // A period word shows in its Date or Time row, as the word.
        std::int32_t type = param.ParamType;
        if (type == rpDatePeriod || type == rpTimePeriod) {
            type = type == rpDatePeriod ? rpDate : rpTime;
        }
        cxTreeList1->SetValues(row, tlcType->Index(), rtl::TVariant(type));
        cxTreeList1->SetValues(row, tlcValue->Index(), param.Value);
    }
}

void TParameterArea::SaveToTask(TScheduleItem& task) const {
    task.ClearParams();
    for (int row = 0; row < cxTreeList1->Count(); ++row) {
        const rtl::TVariant& value = cxTreeList1->Values(row, tlcValue->Index());
        if (value.IsClear()) {
            continue;
        }
        const std::int32_t code = TypeCode(cxTreeList1->Values(row, tlcType->Index()));
        task.AddParam(StoredCode(code, value), value);
    }
}

std::string TParameterArea::tlcNameGetDisplayText(int row) const {
    return FReportTellsParams && row >= 0 && std::size_t(row) < FReportParams.size()
               ? FReportParams[std::size_t(row)].Name
               : std::string();
}

void TParameterArea::UpdateReportParams(std::optional<std::int32_t> report) {
    FReportParams.clear();
    FReportTellsParams = false;
    host::TCustomSysObject* object = nullptr;
    if (MorvidPlugin != nullptr && report && MorvidPlugin->Reports.FindById(*report, object)) {
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

void TParameterArea::btnFillParamsClick() {
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
        if (i < before.size() && TypeCode(before[i].Type) == code) {
            cxTreeList1->SetValues(row, tlcValue->Index(), before[i].Value);
        } else {
            cxTreeList1->SetValues(row, tlcValue->Index(),
                                   DefaultValue(FReportParams[i].Type, FReportParams[i].Default));
        }
    }
}

std::vector<std::string> TParameterArea::MissingParams() const {
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

TReportParams TParameterArea::CurrentParams() const {
    TReportParams params;
    for (int row = 0; row < cxTreeList1->Count(); ++row) {
        const rtl::TVariant& value = cxTreeList1->Values(row, tlcValue->Index());
        if (!value.IsClear()) {
            params.push_back(
                {StoredCode(TypeCode(cxTreeList1->Values(row, tlcType->Index())), value), value});
        }
    }
    return params;
}

void TParameterArea::UpdateParamsWarning() {
    if (OnChange) {
        OnChange();
    }
    const std::vector<std::string> missing = MissingParams();
    lblParamsWarning->setVisible(!missing.empty());
    if (!missing.empty()) {
        QStringList names;
        for (const std::string& name : missing) {
            names << QString::fromStdString(name);
        }
        lblParamsWarning->setToolTip(
            tr("The report needs a value for: %1. Without it the run asks for one.")
                .arg(names.join(tr(", ", "between parameter names"))));
    }
}

std::string TParameterArea::tlcValueGetDisplayText(int row, const rtl::TVariant& value) const {
    const std::int32_t type = TypeCode(cxTreeList1->Values(row, tlcType->Index()));
    const std::uint8_t code = StoredCode(type, value);
    if (code == rpDatePeriod || code == rpTimePeriod) {
        const TDueRules rules = DueRules ? DueRules() : TDueRules();
        const TScheduleContext schedule{CronStr ? CronStr() : std::string(), &rules};
        return ParamValueText({code, value}, NextDue ? NextDue() : rtl::Now(), &schedule);
    }
    const host::TEditProperties* properties = tlcValueGetEditProperties(row);
    return properties != nullptr ? properties->DisplayText(value) : value.AsString();
}

std::string TParameterArea::WordFault() const {
    for (int row = 0; row < cxTreeList1->Count(); ++row) {
        const rtl::TVariant& value = cxTreeList1->Values(row, tlcValue->Index());
        const std::uint8_t code =
            StoredCode(TypeCode(cxTreeList1->Values(row, tlcType->Index())), value);
        if (code == rpDatePeriod || code == rpTimePeriod) {
            if (std::string fault = PeriodWordFault(code, value.AsString()); !fault.empty()) {
                return tr("Parameter %1: %2")
                    .arg(row + 1)
                    .arg(QString::fromStdString(fault))
                    .toStdString();
            }
        }
    }
    return {};
}

bool TParameterArea::ConfirmOk() {
    const std::string fault = WordFault();
    if (!fault.empty()) {
        host::MessageDlg(fault, host::TMsgDlgType::mtError, host::mbOK);
    }
    return fault.empty();
}

std::string TParameterArea::tlcIdxGetDisplayText(int row) const {
    return rtl::IntToStr(row + 1);
}

const host::TEditProperties* TParameterArea::tlcValueGetEditProperties(int row) const {
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

void TParameterArea::cxTreeList1CreateNode(int row) {
    cxTreeList1->SetValues(row, tlcType->Index(), rtl::TVariant(std::int32_t(rpText)));
    cxTreeList1->SetValues(row, tlcValue->Index(), rtl::TVariant());
}

void TParameterArea::cxTreeList1EditValueChanged(host::TcxVelmornTreeListColumn& column) {
    if (&column != tlcType) {
        return;
    }
    const int row = cxTreeList1->FocusedRow();
    if (row < 0) {
        return;
    }
    rtl::TVariant value;
    switch (TypeCode(cxTreeList1->Values(row, tlcType->Index()))) {
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

} // namespace morvid
