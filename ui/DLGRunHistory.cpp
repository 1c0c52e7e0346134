#include "ui/DLGRunHistory.h"

#include "platform/host/forms/ListView.h"
#include "platform/host/forms/MessageDlg.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"
#include "tasks/TaskZone.h"
#include "ui/DesktopOpen.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace morvid {

namespace {

// A dialog left open for days keeps this many runs, as many as the history keeps of a task.
constexpr std::size_t RunsShownAtMost = 1000;

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

} // namespace

TDLGRunHistory::TDLGRunHistory(const std::string& taskName, std::vector<host::TRunRecord> runs,
                               QWidget* owner)
    : TDLGRunHistory(tr("History of \"%1\"").arg(QString::fromStdString(taskName)).toStdString(),
                     false, std::move(runs), owner) {}

TDLGRunHistory::TDLGRunHistory(std::vector<host::TRunRecord> runs, QWidget* owner)
    : TDLGRunHistory(tr("Recent runs").toStdString(), true, std::move(runs), owner) {}

TDLGRunHistory::TDLGRunHistory(const std::string& caption, bool taskColumn,
                               std::vector<host::TRunRecord> runs, QWidget* owner)
    : host::TDialogBase(owner), OnOpen(OpenWithDesktop), FTaskColumn(taskColumn),
      FRuns(std::make_move_iterator(runs.begin()), std::make_move_iterator(runs.end())) {
    setObjectName(QStringLiteral("DLGRunHistory"));
    SetCaption(caption);

    lstRuns = new host::TListView(this);
    lstRuns->setObjectName(QStringLiteral("lstRuns"));
    using host::TListView;
    lstRuns->AddColumn(tr("Started").toStdString(), TListView::SizedToContent);
    if (FTaskColumn) {
        lstRuns->AddColumn(tr("Task").toStdString(), TListView::SizedToContent);
    }
    lstRuns->AddColumn(tr("Due").toStdString(), TListView::SizedToContent);
    lstRuns->AddColumn(tr("How").toStdString(), TListView::SizedToContent);
    lstRuns->AddColumn(tr("Duration").toStdString(), TListView::SizedToContent);
    // The result says what went wrong: it takes the width the others leave.
    lstRuns->AddColumn(tr("Result").toStdString(), TListView::SizedToFitFirst);
    lstRuns->AddColumn(tr("File").toStdString(), TListView::SizedToFit);
    lstRuns->setFrameShape(QFrame::StyledPanel);

    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    btnOpenFile = new QPushButton(tr("Open file"), this);
    btnOpenFile->setObjectName(QStringLiteral("btnOpenFile"));
    btnOpenFolder = new QPushButton(tr("Open folder"), this);
    btnOpenFolder->setObjectName(QStringLiteral("btnOpenFolder"));
    btnClose = new QPushButton(tr("Close"), this);
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

    lstRuns->Items.BeginUpdate();
    for (std::size_t i = 0; i < FRuns.size(); ++i) {
        AddRow(i, int(i));
    }
    lstRuns->Items.EndUpdate();
    if (!FRuns.empty()) {
        lstRuns->SetSelected(lstRuns->Items[0]);
    }
    ShowSummary();
    UpdateButtons();
}

void TDLGRunHistory::Follow(host::TTaskRuns& runs, const std::string& taskId) {
    FFollowing = runs.Listen([this, taskId](const host::TRunRecord& told) {
        if (taskId.empty() || told.TaskId == taskId) {
            RunEnded(told);
        }
    });
}

void TDLGRunHistory::RunEnded(const host::TRunRecord& told) {
    host::TRunRecord run = told;
    // As the history stamps it, so "Open file" knows the file is still the one written.
    if (const std::optional<host::TFileFacts> facts = host::RegularFileFacts(run.FileName)) {
        run.FileSize = facts->Size;
        run.FileStamp = facts->Stamp;
    }
    FRuns.push_front(std::move(run));
    AddRow(0, 0);
    if (FRuns.size() > RunsShownAtMost) {
        lstRuns->Items.Delete(lstRuns->Items.Count() - 1);
        FRuns.pop_back();
    }
    if (lstRuns->Selected() == nullptr) {
        lstRuns->SetSelected(lstRuns->Items[0]);
    }
    ShowSummary();
    UpdateButtons();
}

void TDLGRunHistory::AddRow(std::size_t index, int at) {
    const host::TRunRecord& run = FRuns[index];
    host::TListItem* row = lstRuns->Items.Insert(at);
    row->Data = &FRuns[index];
    auto& subItems = row->SubItems();
    if (FTaskColumn) {
        subItems.Add(run.TaskName);
    }
    subItems.Add(std::string()); // the due time
    ShowTimes(*row, run);
    subItems.Add(host::RunTriggerText(run.Trigger));
    subItems.Add(DurationText(run.DurationMs()));
    const int result = subItems.Add(run.Result);
    subItems.SetHint(result, run.Result);
    const int file = subItems.Add(FileText(run));
    subItems.SetHint(file, run.FileName);
    row->SetError(run.Outcome == host::TRunOutcome::Failed, result);
}

void TDLGRunHistory::ShowTaskZones(std::function<std::string(const std::string&)> zoneOf) {
    FZoneOf = std::move(zoneOf);
    for (int i = 0; i < lstRuns->Items.Count(); ++i) {
        host::TListItem* row = lstRuns->Items[i];
        ShowTimes(*row, *static_cast<const host::TRunRecord*>(row->Data));
    }
}

void TDLGRunHistory::ShowTimes(host::TListItem& row, const host::TRunRecord& run) {
    std::string started = rtl::FormatDateTimeISO(run.Started);
    std::string due = run.Due != 0 ? rtl::FormatDateTimeISO(run.Due) : std::string();
    // The times were recorded on the clock of their day; the zone reads the instant they stand
    // for, so a run from before a change of the machine's zone still shows its zone's hour.
    if (const std::string zone = FZoneOf ? FZoneOf(run.TaskId) : std::string(); !zone.empty()) {
        const rtl::TDateTime startedUtc = run.StartedUtc();
        started = WithZoneTime(std::move(started), zone, rtl::UtcToLocal(startedUtc));
        if (run.Due != 0) {
            due = WithZoneTime(std::move(due), zone,
                               rtl::UtcToLocal(startedUtc - (run.Started - run.Due)));
        }
    }
    row.SetCaption(started);
    row.SubItems().Set(FTaskColumn ? 1 : 0, due);
}

void TDLGRunHistory::ShowSummary() {
    if (FRuns.empty()) {
        lblSummary->setText(tr("No runs recorded"));
        return;
    }
    const auto failed = std::count_if(FRuns.begin(), FRuns.end(), [](const host::TRunRecord& run) {
        return run.Outcome == host::TRunOutcome::Failed;
    });
    const int count = static_cast<int>(FRuns.size());
    // The failed count stands in the sentence through %1; the runs are what it counts.
    lblSummary->setText((count == 1 ? tr("%n run, %1 failed", nullptr, count)
                                    : tr("%n runs, %1 failed", nullptr, count))
                            .arg(static_cast<int>(failed)));
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
    const std::string& path = run->FileName;
    // Never through a link: what stands at the name must be the very file the run wrote.
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        Refuse(
            rtl::Format("File \"%s\" is no longer there (%s)", path.c_str(), std::strerror(errno)));
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        Refuse(rtl::Format("File \"%s\" is not opened: a %s stands at its name now", path.c_str(),
                           S_ISLNK(info.st_mode) ? "symbolic link" : "non-regular file"));
        return;
    }
    // Another run (or a person) may have written a file of that name since.
    const std::optional<host::TFileFacts> facts = host::RegularFileFacts(path);
    if (facts && !run->FileStamp.empty() && facts->Stamp != run->FileStamp) {
        Refuse(rtl::Format("File \"%s\" has been replaced since this run", path.c_str()));
        return;
    }
    Open(path, "File");
}

void TDLGRunHistory::btnOpenFolderClick() {
    const host::TRunRecord* run = SelectedRun();
    if (run == nullptr || run->FileName.empty()) {
        return;
    }
    const std::string folder = std::filesystem::path(run->FileName).parent_path().string();
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        Refuse(rtl::Format("Folder \"%s\" is no longer there", folder.c_str()));
        return;
    }
    Open(folder, "Folder");
}

void TDLGRunHistory::Open(const std::string& path, const char* what) {
    if (::access(path.c_str(), R_OK) != 0) {
        Refuse(
            rtl::Format("%s \"%s\" cannot be read (%s)", what, path.c_str(), std::strerror(errno)));
        return;
    }
    if (!OnOpen(path)) {
        Refuse(rtl::Format("No program could open \"%s\": %s", path.c_str(),
                           DesktopOpenFailure().c_str()));
    }
}

void TDLGRunHistory::Refuse(const std::string& message) {
    host::MessageDlg(message, host::TMsgDlgType::mtError, host::mbOK);
}

} // namespace morvid
