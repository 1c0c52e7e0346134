// TDeliveryArea: the editor's "Delivery" area, whether the export goes out by mail after a run,
// to whom (addresses checked as typed), the subject and text made from the run's fields, whether
// the files go as one zip and an HTML summary goes along, and the further targets (a share, an
// SFTP folder, a web hook), kept in a small list dialog of their own.
#pragma once

#include "ui/editor/EditorArea.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace morvid {

class TDeliveryArea : public TEditorArea {
    Q_OBJECT

public:
    explicit TDeliveryArea(QWidget& dialog);

    void LoadFromTask(const TScheduleItem& task) override;
    void SaveToTask(TScheduleItem& task) const override;
    std::vector<QWidget*> TabOrder() const override;
    // With mail on, refuses an address that is not one, naming it, and a mail to nobody.
    bool ConfirmOk() override;

    QComboBox* cbbMailWhen = nullptr;
    QLineEdit* edtMailTo = nullptr;
    QLineEdit* edtMailCc = nullptr;
    QLineEdit* edtMailBcc = nullptr;
    QLineEdit* edtMailSubject = nullptr;
    QPlainTextEdit* memMailBody = nullptr;
    QLabel* lblMailFields = nullptr;
    QPushButton* btnTargets = nullptr; // "Targets (2)..."
    QCheckBox* cbxMailZip = nullptr;
    QCheckBox* cbxMailHtml = nullptr;

private:
    struct TAddressField {
        std::string Caption;
        QLineEdit* Edit;
        QAction* Error;
    };
    // Shows the field's fault as its error icon, whose tool tip names it; "" when it has none.
    static std::string CheckAddresses(const TAddressField& field);
    void ShowMailFields();
    void ShowTargetCount();

    std::vector<TAddressField> FAddresses;
    std::vector<QWidget*> FMailFields; // hidden while no mail is sent
    std::vector<std::string> FTargets;
};

} // namespace morvid
