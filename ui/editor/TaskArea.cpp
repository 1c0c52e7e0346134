#include "ui/editor/TaskArea.h"

#include "platform/host/core/SysObjects.h"
#include "platform/host/forms/DirDialog.h"
#include "platform/host/forms/ErrorStyle.h"
#include "platform/host/forms/MessageDlg.h"
#include "platform/host/report/ExportFilterCollection.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Words.h"
#include "plugin/MorvidPlugin.h"
#include "tasks/ExportPathCheck.h"
#include "tasks/ScheduleItem.h"
#include "tasks/TaskName.h"
#include "ui/PaintedIcon.h"
#include "ui/editor/WrappedLabel.h"

#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSignalBlocker>
#include <QToolButton>

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

// Most task names fit whole in the name field.
constexpr int NameChars = 40;

} // namespace

TTaskArea::TTaskArea(QWidget& dialog)
    : TEditorArea(dialog), DirDialog1(std::make_unique<host::TDirDialog>()) {
    edtName = new QLineEdit(&FDialog);
    edtName->setObjectName(QStringLiteral("edtName"));
    // A line edit's size hint is room for 17 'x' besides its frame and margins; a name gets room
    // for NameChars of them, as wide as the characters of a name on average, at any font and
    // display scale.
    const QFontMetrics metrics = edtName->fontMetrics();
    edtName->setMinimumWidth(edtName->sizeHint().width() -
                             17 * metrics.horizontalAdvance(QLatin1Char('x')) +
                             NameChars * metrics.horizontalAdvance(QLatin1Char('x')));

    lblNameCheck = new TWrappedLabel(&FDialog, 1);
    lblNameCheck->setObjectName(QStringLiteral("lblNameCheck"));
    lblNameCheck->hide();

    icbReport = new QComboBox(&FDialog);
    icbReport->setObjectName(QStringLiteral("icbReport"));
    // Never narrower than its longest report name.
    icbReport->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    edtPath = new QLineEdit(&FDialog);
    edtPath->setObjectName(QStringLiteral("edtPath"));
    // A button of its own rather than one inside the field, so that Tab reaches it.
    btnPathBrowse = new QToolButton(&FDialog);
    btnPathBrowse->setObjectName(QStringLiteral("btnPathBrowse"));
    btnPathBrowse->setFocusPolicy(Qt::StrongFocus);
    // As high as the field, whatever height its own hint would take, and square.
    btnPathBrowse->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
    btnPathBrowse->setFixedWidth(edtPath->sizeHint().height());
    QAction* browse = new QAction(EllipsisIcon(FDialog.palette()), QString(), btnPathBrowse);
    browse->setObjectName(QStringLiteral("edtPathBrowse"));
    browse->setToolTip(tr("Browse"));
    connect(browse, &QAction::triggered, this,
            [this] { Guarded([this] { edtPathButtonClick(); }); });
    btnPathBrowse->setDefaultAction(browse);
    btnPathBrowse->setAccessibleName(tr("Browse"));
    lblPathCheck = new TWrappedLabel(&FDialog, 1);
    lblPathCheck->setObjectName(QStringLiteral("lblPathCheck"));
    lblPathCheck->hide();

    cbbFilter = new QComboBox(&FDialog);
    cbbFilter->setObjectName(QStringLiteral("cbbFilter"));
    cbbFilter->setEditable(true);
    // What the user types picks an item or nothing; it never becomes a new item, and it is not
    // completed to one either: a fragment such as "c" must not turn into "CSV table".
    cbbFilter->setInsertPolicy(QComboBox::NoInsert);
    cbbFilter->setCompleter(nullptr);
    // Shows its longest format whole.
    cbbFilter->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    connect(edtName, &QLineEdit::textChanged, this, [this] {
        UpdateNameCheck();
        edtNamePropertiesChange();
    });
    connect(icbReport, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            FUnlistedReportId.reset();
        }
        if (OnReportChange) {
            OnReportChange();
        }
        edtNamePropertiesChange();
    });
    connect(edtPath, &QLineEdit::textChanged, this, [this] {
        UpdatePathCheck();
        edtNamePropertiesChange();
    });
    connect(cbbFilter, &QComboBox::editTextChanged, this, [this] { edtNamePropertiesChange(); });
    connect(cbbFilter, &QComboBox::currentIndexChanged, this,
            [this] { edtNamePropertiesChange(); });

    // Report and format take the width their items need; name and path take the rest, and what
    // the dialog gains.
    auto* nameRow = new QHBoxLayout;
    nameRow->setSpacing(editor::FieldGap);
    nameRow->addLayout(Captioned("lblName", tr("Task name"), edtName), 1);
    nameRow->addLayout(Captioned("lblReport", tr("Report"), icbReport));
    auto* pathRow = new QHBoxLayout;
    pathRow->setSpacing(editor::FieldGap);
    auto* pathField = new QHBoxLayout;
    pathField->setSpacing(editor::CaptionGap);
    QVBoxLayout* path = Captioned("lblPath", tr("Export path"), edtPath);
    path->removeWidget(edtPath);
    pathField->addWidget(edtPath, 1);
    pathField->addWidget(btnPathBrowse);
    path->addLayout(pathField);
    pathRow->addLayout(path, 1);
    pathRow->addLayout(Captioned("lblFilter", tr("Format"), cbbFilter));
    auto* area = new QVBoxLayout;
    area->setSpacing(editor::FieldGap);
    area->addLayout(nameRow);
    area->addWidget(lblNameCheck);
    area->addLayout(pathRow);
    area->addWidget(lblPathCheck);
    FLayout = area;
}

TTaskArea::~TTaskArea() = default;

std::vector<QWidget*> TTaskArea::TabOrder() const {
    return {edtName, icbReport, edtPath, btnPathBrowse, cbbFilter};
}

void TTaskArea::FormCreate() {
    DirDialog1->Prompt = tr("Select directory").toStdString();

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
    // Qt keeps the smallest width it measured while the list was empty; the name field, which
    // takes what the row can give, would otherwise squeeze the reports' names.
    icbReport->setMinimumWidth(icbReport->sizeHint().width());
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
    task.SetExportPath(ExpandHome(edtPath->text().toStdString(), HomeFolder()));
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

std::string TTaskArea::NameFault() const {
    return TaskNameFault(edtName->text().toStdString());
}

bool TTaskArea::Complete() const {
    return NameFault().empty() && ReportValue().has_value() && FilterIndex() != -1 &&
           ExportPathFault(edtPath->text().toStdString(), HomeFolder()).empty();
}

TExportPathCheck TTaskArea::CheckPath() const {
    return CheckExportPath(edtPath->text().toStdString(), HomeFolder());
}

std::string TTaskArea::HomeFolder() {
    return QDir::homePath().toStdString();
}

void TTaskArea::UpdateNameCheck() {
    // An empty name says nothing yet; Ok waits for one.
    const std::string fault = edtName->text().isEmpty() ? std::string() : NameFault();
    lblNameCheck->setText(QString::fromStdString(fault));
    lblNameCheck->setVisible(!fault.empty());
    QPalette colours = FDialog.palette();
    colours.setColor(QPalette::WindowText, host::ErrorColor(colours));
    lblNameCheck->setPalette(colours);
}

void TTaskArea::UpdatePathCheck() {
    const TExportPathCheck check = CheckPath();
    QString message;
    QString tip;
    bool refused = true;
    switch (check.State) {
    case TExportPathState::Usable:
        break;
    case TExportPathState::Relative:
        // An empty path says nothing yet; Ok waits for one.
        if (!edtPath->text().isEmpty()) {
            // The task interface's own words for the fault, in the operator's language.
            message = QString::fromStdString(
                rtl::Words("ExportPath",
                           ExportPathFault(edtPath->text().toStdString(), HomeFolder()).c_str()));
            tip = tr("A relative path would depend on the folder the client was started in, "
                     "which differs between the window and the service.");
        }
        break;
    case TExportPathState::Missing:
        message = tr("The folder does not exist yet: Ok offers to create it.");
        refused = false;
        break;
    case TExportPathState::Unusable:
        message = tr("The client cannot write to this folder: %1.")
                      .arg(QString::fromStdString(check.Reason));
        break;
    }
    lblPathCheck->setText(message);
    lblPathCheck->setToolTip(tip);
    lblPathCheck->setVisible(!message.isEmpty());
    QPalette colours = FDialog.palette();
    if (refused) {
        colours.setColor(QPalette::WindowText, host::ErrorColor(colours));
    }
    lblPathCheck->setPalette(colours);
}

bool TTaskArea::ConfirmOk() {
    const TExportPathCheck check = CheckPath();
    if (check.State != TExportPathState::Missing) {
        return true;
    }
    const host::TModalResult answer = host::MessageDlg(
        tr("The folder \"%1\" does not exist.\n\nCreate it now? \"No\" keeps the path as it "
           "is; the task's runs fail until the folder exists.")
            .arg(QString::fromStdString(check.Path))
            .toStdString(),
        host::TMsgDlgType::mtConfirmation, host::mbYes | host::mbNo | host::mbCancel);
    if (answer == host::mrNo) {
        return true;
    }
    if (answer != host::mrYes) {
        return false;
    }
    if (const std::string reason = CreateExportFolder(check.Path); !reason.empty()) {
        host::MessageDlg(
            tr("Cannot create the folder \"%1\": %2")
                .arg(QString::fromStdString(check.Path), QString::fromStdString(reason))
                .toStdString(),
            host::TMsgDlgType::mtError, host::mbOK);
        return false;
    }
    UpdatePathCheck();
    return true;
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
