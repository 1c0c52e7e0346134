#include "ui/DLGRunHistory.h"

#include "platform/host/forms/ListView.h"
#include "platform/host/forms/MessageDlg.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>
#include <optional>

namespace morvid {

namespace {

enum TRunColumn { colStarted, colDue, colHow, colDuration, colResult, colFile };

std::string DurationText(std::int64_t milliSeconds) {
    if (milliSeconds < 1000) {
        return std::to_string(milliSeconds) + " ms";
    }
    const std::int64_t tenths = milliSeconds / 100;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s";
}

std::string SizeText(std::int64_t bytes) {
    if (bytes < 1024) {
        return std::to_string(bytes) + " bytes";
    }
    const double kilo = double(bytes) / 1024;
    return kilo < 1024 ? rtl::Format("%.1f KB", kilo) : rtl::Format("%.1f MB", kilo / 1024);
}

std::string FileText(const host::TRunRecord& run) {
    if (run.FileName.empty()) {
        return {};
    }
    std::string text = std::filesystem::path(run.FileName).filename().string();
    if (run.FileSize >= 0) {
        text += " (" + SizeText(run.FileSize) + ")";
    }
    if (run.FileRemoved != 0) {
        text += ", removed " + rtl::DateTimeToStr(run.FileRemoved);
    }
    return text;
}

bool OpenWithDesktop(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

} // namespace

TDLGRunHistory::TDLGRunHistory(const std::string& taskName, std::vector<host::TRunRecord> runs,
                               QWidget* owner)
    : host::TDialogBase(owner), OnOpen(OpenWithDesktop), FRuns(std::move(runs)) {
    setObjectName(QStringLiteral("DLGRunHistory"));
    SetCaption("History of \"" + taskName + "\"");

    lstRuns = new host::TListView(this);
    lstRuns->setObjectName(QStringLiteral("lstRuns"));
    lstRuns->AddColumn("Started", 140);
    lstRuns->AddColumn("Due", 140);
    lstRuns->AddColumn("How", 70);
    lstRuns->AddColumn("Duration", 65);
    lstRuns->AddColumn("Result", host::TListView::SizedToFit);
    lstRuns->AddColumn("File", host::TListView::SizedToFit);
    lstRuns->setFrameShape(QFrame::StyledPanel);

    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    btnOpenFile = new QPushButton(QStringLiteral("Open file"), this);
    btnOpenFile->setObjectName(QStringLiteral("btnOpenFile"));
    btnOpenFolder = new QPushButton(QStringLiteral("Open folder"), this);
    btnOpenFolder->setObjectName(QStringLiteral("btnOpenFolder"));
    btnClose = new QPushButton(QStringLiteral("Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblSummary, 1);
    buttons->addWidget(btnOpenFile);
    buttons->addWidget(btnOpenFolder);
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lstRuns, 1);
    layout->addLayout(buttons);
    // Long results and file names read whole in a larger dialog.
    SetSizableClientSize(1000, 420);

    connect(btnOpenFile, &QPushButton::clicked, this, [this] { btnOpenFileClick(); });
    connect(btnOpenFolder, &QPushButton::clicked, this, [this] { btnOpenFolderClick(); });
    connect(btnClose, &QPushButton::clicked, this, [this] { reject(); });
    connect(lstRuns, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
    lstRuns->OnDblClick = [this] {
        if (btnOpenFile->isEnabled()) {
            btnOpenFileClick();
        }
    };

    FillList();
    UpdateButtons();
}

void TDLGRunHistory::FillList() {
    int failed = 0;
    lstRuns->Items.BeginUpdate();
    for (std::size_t i = 0; i < FRuns.size(); ++i) {
        const host::TRunRecord& run = FRuns[i];
        host::TListItem* row = lstRuns->Items.Add();
        row->Data = &FRuns[i];
        row->SetCaption(rtl::FormatDateTimeISO(run.Started));
        auto& subItems = row->SubItems();
        subItems.Add(run.Due != 0 ? rtl::FormatDateTimeISO(run.Due) : std::string());
        subItems.Add(host::RunTriggerText(run.Trigger));
        subItems.Add(DurationText(run.DurationMs()));
        const int result = subItems.Add(run.Result);
        subItems.SetHint(result, run.Result);
        const int file = subItems.Add(FileText(run));
        subItems.SetHint(file, run.FileName);
        const bool runFailed = run.Outcome == host::TRunOutcome::Failed;
        row->SetError(runFailed, result);
        failed += runFailed ? 1 : 0;
    }
    lstRuns->Items.EndUpdate();
    if (FRuns.empty()) {
        lblSummary->setText(QStringLiteral("No runs recorded"));
    } else {
        lblSummary->setText(QString::fromStdString(
            rtl::Format("%d runs, %d failed", static_cast<int>(FRuns.size()), failed)));
        lstRuns->SetSelected(lstRuns->Items[0]);
    }
}

const host::TRunRecord* TDLGRunHistory::SelectedRun() const {
    const host::TListItem* row = lstRuns->Selected();
    return row != nullptr ? static_cast<const host::TRunRecord*>(row->Data) : nullptr;
}

void TDLGRunHistory::UpdateButtons() {
    const host::TRunRecord* run = SelectedRun();
    // Only a file the run wrote and retention has not removed since.
    const bool wroteOne = run != nullptr && !run->FileName.empty() && run->FileRemoved == 0;
    btnOpenFile->setEnabled(wroteOne);
    btnOpenFolder->setEnabled(wroteOne);
}

void TDLGRunHistory::btnOpenFileClick() {
    const host::TRunRecord* run = SelectedRun();
    if (run == nullptr || run->FileName.empty()) {
        return;
    }
    // Another run (or a person) may have written a file of that name since.
    const std::optional<host::TFileFacts> facts = host::RegularFileFacts(run->FileName);
    if (facts && !run->FileStamp.empty() && facts->Stamp != run->FileStamp) {
        host::MessageDlg(
            rtl::Format("File \"%s\" has been replaced since this run", run->FileName.c_str()),
            host::TMsgDlgType::mtError, host::mbOK);
        return;
    }
    Open(run->FileName, "File");
}

void TDLGRunHistory::btnOpenFolderClick() {
    if (const host::TRunRecord* run = SelectedRun(); run != nullptr && !run->FileName.empty()) {
        Open(std::filesystem::path(run->FileName).parent_path().string(), "Folder");
    }
}

void TDLGRunHistory::Open(const std::string& path, const char* what) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        host::MessageDlg(rtl::Format("%s \"%s\" is no longer there", what, path.c_str()),
                         host::TMsgDlgType::mtError, host::mbOK);
        return;
    }
    if (!OnOpen(path)) {
        host::MessageDlg(rtl::Format("No program could open \"%s\"", path.c_str()),
                         host::TMsgDlgType::mtError, host::mbOK);
    }
}

} // namespace morvid
