// TDLGRunHistory: the modal history of one report task - its runs newest first, failures marked,
// and the file a run wrote opened, or its folder.
#pragma once

#include "platform/host/forms/DialogBase.h"
#include "platform/host/history/RunHistory.h"

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;

namespace host {
class TListView;
} // namespace host

namespace morvid {

class TDLGRunHistory : public host::TDialogBase {
    Q_OBJECT

public:
    // `runs` newest first, as the history gives them.
    TDLGRunHistory(const std::string& taskName, std::vector<host::TRunRecord> runs,
                   QWidget* owner = nullptr);

    // The run of the selected row, nullptr when none is selected.
    const host::TRunRecord* SelectedRun() const;

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
    void FillList();
    void UpdateButtons();
    // Opens `path` when it is still there; otherwise, or when nothing opens it, says so.
    void Open(const std::string& path, const char* what);

    std::vector<host::TRunRecord> FRuns;
};

} // namespace morvid
