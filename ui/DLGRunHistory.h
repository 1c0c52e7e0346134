// TDLGRunHistory: the modal history of one report task, or of every task ("Recent runs") - runs
// newest first, also those that end while it is open, failures marked, and the file a run wrote
// opened, or its folder.
#pragma once

#include "platform/host/forms/DialogBase.h"
#include "platform/host/history/RunHistory.h"
#include "platform/host/report/TaskRuns.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;

namespace host {
class TListItem;
class TListView;
} // namespace host

namespace morvid {

class TDLGRunHistory : public host::TDialogBase {
    Q_OBJECT

public:
    // One task's runs, `runs` newest first as the history gives them.
    TDLGRunHistory(const std::string& taskName, std::vector<host::TRunRecord> runs,
                   QWidget* owner = nullptr);
    // "Recent runs": the runs of every task, newest first, each with its task's name.
    explicit TDLGRunHistory(std::vector<host::TRunRecord> runs, QWidget* owner = nullptr);

    // From now on shows each run told on `runs` at the top: those of the task `taskId`, or of
    // every task when it is empty. The dialog stops listening when it goes.
    void Follow(host::TTaskRuns& runs, const std::string& taskId);

    // The run of the selected row, nullptr when none is selected.
    const host::TRunRecord* SelectedRun() const;

    // From now on each run's start and due time show also in its task's own zone where that
    // differs from the machine's: `zoneOf` gives a task's zone by its identity (empty: none).
    void ShowTaskZones(std::function<std::string(const std::string& taskId)> zoneOf);

    void btnOpenFileClick();
    void btnOpenFolderClick();

    // Hands a file or folder to the desktop; false when nothing could open it. Tests replace it.
    std::function<bool(const std::string& path)> OnOpen;

    host::TListView* lstRuns = nullptr;
    QLabel* lblSummary = nullptr;
    QPushButton* btnOpenFile = nullptr;
    QPushButton* btnOpenFolder = nullptr;
    QPushButton* btnClose = nullptr;

private:
    TDLGRunHistory(const std::string& caption, bool taskColumn, std::vector<host::TRunRecord> runs,
                   QWidget* owner);
    // A row for FRuns[index] at `at` in the list's own order.
    void AddRow(std::size_t index, int at);
    // Its start and due time, in the task's zone too.
    void ShowTimes(host::TListItem& row, const host::TRunRecord& run);
    // A run told while the dialog is open, above the others.
    void RunEnded(const host::TRunRecord& told);
    void ShowSummary();
    void UpdateButtons();
    // Opens `path` when it can be read; otherwise, or when nothing opens it, says why.
    void Open(const std::string& path, const char* what);
    void Refuse(const std::string& message);

    const bool FTaskColumn;
    // Rows point into it; a deque keeps them in place as runs come in at its front.
    std::deque<host::TRunRecord> FRuns;
    host::TRunSubscription FFollowing;
    std::function<std::string(const std::string& taskId)> FZoneOf;
};

} // namespace morvid
