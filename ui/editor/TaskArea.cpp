#include "ui/editor/TaskArea.h"

#include "platform/host/core/SysObjects.h"
#include "platform/host/forms/DirDialog.h"
#include "platform/host/report/ExportFilterCollection.h"
#include "platform/rtl/SysUtils.h"
#include "plugin/MorvidPlugin.h"
#include "tasks/ScheduleItem.h"
#include "ui/PaintedIcon.h"

#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QLineEdit>
#include <QPainter>
#include <QSignalBlocker>

namespace morvid {

namespace {

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

} // namespace

TTaskArea::TTaskArea(QWidget& dialog)
    : TEditorArea(dialog), DirDialog1(std::make_unique<host::TDirDialog>()) {
    edtName = new QLineEdit(&FDialog);
    edtName->setObjectName(QStringLiteral("edtName"));

    icbReport = new QComboBox(&FDialog);
    icbReport->setObjectName(QStringLiteral("icbReport"));
    // Never narrower than its longest report name.
    icbReport->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    edtPath = new QLineEdit(&FDialog);
    edtPath->setObjectName(QStringLiteral("edtPath"));

    cbbFilter = new QComboBox(&FDialog);
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
        if (OnReportChange) {
            OnReportChange();
        }
        edtNamePropertiesChange();
    });
    connect(edtPath, &QLineEdit::textChanged, this, [this] { edtNamePropertiesChange(); });
    connect(cbbFilter, &QComboBox::editTextChanged, this, [this] { edtNamePropertiesChange(); });
    connect(cbbFilter, &QComboBox::currentIndexChanged, this,
            [this] { edtNamePropertiesChange(); });

    // Report and format take the width their items need; name and path take the rest, and what
    // the dialog gains.
    auto* nameRow = new QHBoxLayout;
    nameRow->setSpacing(editor::FieldGap);
    nameRow->addLayout(Captioned("lblName", "Task name", edtName), 1);
    nameRow->addLayout(Captioned("lblReport", "Report", icbReport));
    auto* pathRow = new QHBoxLayout;
    pathRow->setSpacing(editor::FieldGap);
    pathRow->addLayout(Captioned("lblPath", "Export path", edtPath), 1);
    pathRow->addLayout(Captioned("lblFilter", "Format:", cbbFilter));
    auto* area = new QVBoxLayout;
    area->setSpacing(editor::FieldGap);
    area->addLayout(nameRow);
    area->addLayout(pathRow);
    FLayout = area;
}

TTaskArea::~TTaskArea() = default;

std::vector<QWidget*> TTaskArea::TabOrder() const {
    return {edtName, icbReport, edtPath, cbbFilter};
}

void TTaskArea::FormCreate() {
    QAction* browse = new QAction(EllipsisIcon(FDialog.palette()), QString(), edtPath);
    browse->setObjectName(QStringLiteral("edtPathBrowse"));
    connect(browse, &QAction::triggered, this,
            [this] { Guarded([this] { edtPathButtonClick(); }); });
    browse->setToolTip(QStringLiteral("Browse"));
    edtPath->addAction(browse, QLineEdit::TrailingPosition);

    DirDialog1->Prompt = "Select directory";

    FillReports();
    FillFilters();
}

void TTaskArea::FillReports() {
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

void TTaskArea::FillFilters() {
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

void TTaskArea::LoadFromTask(const TScheduleItem& task) {
    edtName->setText(QString::fromStdString(task.Name));

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
}

void TTaskArea::SaveToTask(TScheduleItem& task) const {
    task.SetName(edtName->text().toStdString());
    // Ok needs a report; without one (a caller that skipped the dialog) the task keeps its own.
    if (const std::optional<std::int32_t> report = ReportValue()) {
        task.SetReportId(*report);
    }
    task.SetExportPath(edtPath->text().toStdString());
    task.SetFilter(cbbFilter->currentText().toStdString());
}

std::optional<std::int32_t> TTaskArea::ReportValue() const {
    const int index = icbReport->currentIndex();
    if (index >= 0) {
        return icbReport->itemData(index).toInt();
    }
    return FUnlistedReportId;
}

int TTaskArea::FilterIndex() const {
    // Exact and case-sensitive: the task's run finds its filter by exactly this text.
    return cbbFilter->findText(cbbFilter->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

bool TTaskArea::Complete() const {
    return !edtName->text().isEmpty() && ReportValue().has_value() && !edtPath->text().isEmpty() &&
           FilterIndex() != -1;
}

void TTaskArea::edtNamePropertiesChange() {
    if (OnChange) {
        OnChange();
    }
}

void TTaskArea::edtPathButtonClick() {
    DirDialog1->InitialDir = edtPath->text().toStdString();
    if (DirDialog1->Execute(&FDialog)) {
        edtPath->setText(QString::fromStdString(DirDialog1->Directory));
    }
}

} // namespace morvid
