// TTargetListDialog: the small dialog of a task's targets, one line each, opened from the
// editor's delivery area: Add, Remove, each line edited in place; Ok refuses a line that is no
// target, naming why.
#pragma once

#include "platform/host/forms/DialogBase.h"

#include <string>
#include <vector>

class QListWidget;
class QPushButton;

namespace morvid {

class TTargetListDialog : public host::TDialogBase {
    Q_OBJECT

public:
    explicit TTargetListDialog(const std::vector<std::string>& targets, QWidget* owner = nullptr);

    // The lines as the list holds them, empty ones left out.
    std::vector<std::string> Targets() const;
    void accept() override;

    QListWidget* lstTargets = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnRemove = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
};

} // namespace morvid
