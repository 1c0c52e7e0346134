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
    // Opens `path` when it can be read; otherwise, or when nothing opens it, says why.
    void Open(const std::string& path, const char* what);
    void Refuse(const std::string& message);

    std::vector<host::TRunRecord> FRuns;
};

} // namespace morvid
