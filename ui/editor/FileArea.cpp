#include "ui/editor/FileArea.h"

#include "platform/host/forms/ErrorStyle.h"
#include "platform/host/report/ExportFilterCollection.h"
#include "tasks/ScheduleItem.h"

#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QToolButton>
#include <algorithm>

namespace morvid {

TFileArea::TFileArea(QWidget& dialog) : TEditorArea(dialog) {
    edtNamePattern = new QLineEdit(&FDialog);
    edtNamePattern->setObjectName(QStringLiteral("edtNamePattern"));
    edtNamePattern->setPlaceholderText(tr("Empty for a time-stamped name, or a pattern such as "
                                          "{report}_{period:yyyy-MM-dd}"));
    edtNamePattern->setToolTip(
        tr("Fields: {task}, {report}, {ext}, {due:FORMAT}, {period:FORMAT}, "
           "{period-start:FORMAT}, {period-end:FORMAT}; FORMAT of yyyy, yy, MM, dd, HH, mm, ss. A "
           "slash makes a folder, as in {due:yyyy}/{due:MM}/{report}."));

    lblNamePreview = new QLabel(&FDialog);
    lblNamePreview->setObjectName(QStringLiteral("lblNamePreview"));
    lblNamePreview->setTextFormat(Qt::PlainText);
    lblNamePreview->setWordWrap(true);

    cbbNameExists = new QComboBox(&FDialog);
    cbbNameExists->setObjectName(QStringLiteral("cbbNameExists"));
    cbbNameExists->addItem(tr("Replace it"), QVariant(int(neReplace)));
    cbbNameExists->addItem(tr("Keep both (_2, _3, ...)"), QVariant(int(neKeepBoth)));
    cbbNameExists->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    cbbNameExists->setEnabled(false);

    btnMoreFilters = new QToolButton(&FDialog);
    btnMoreFilters->setObjectName(QStringLiteral("btnMoreFilters"));
    btnMoreFilters->setPopupMode(QToolButton::InstantPopup);
    btnMoreFilters->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    FMoreFilters = new QMenu(btnMoreFilters);
    btnMoreFilters->setMenu(FMoreFilters);
    FMoreFilters->installEventFilter(this);

    connect(edtNamePattern, &QLineEdit::textChanged, this, [this] {
        cbbNameExists->setEnabled(!edtNamePattern->text().isEmpty());
        UpdatePreview();
        if (OnChange) {
            OnChange();
        }
    });

    auto* patternRow = new QHBoxLayout;
    patternRow->setSpacing(editor::FieldGap);
    patternRow->addLayout(Captioned("lblNamePattern", tr("File name"), edtNamePattern), 1);
    patternRow->addLayout(Captioned("lblNameExists", tr("When the name exists"), cbbNameExists));
    auto* area = new QVBoxLayout;
    area->setSpacing(editor::CaptionGap);
    area->addLayout(patternRow);
    area->addWidget(lblNamePreview);
    area->addSpacing(editor::FieldGap - editor::CaptionGap);
    area->addLayout(Captioned("lblMoreFilters", tr("Further formats"), btnMoreFilters));
    FLayout = area;
}

bool TFileArea::eventFilter(QObject* watched, QEvent* event) {
    // A menu closes when an item is chosen; a list of boxes stays open until the user leaves it,
    // so several formats are ticked in one go.
    if (watched == FMoreFilters) {
        QAction* action = nullptr;
        if (event->type() == QEvent::MouseButtonRelease) {
            action = FMoreFilters->actionAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
                action = FMoreFilters->activeAction();
            }
        }
        if (action != nullptr && action->isCheckable() && action->isEnabled()) {
            action->toggle();
            return true;
        }
    }
    return TEditorArea::eventFilter(watched, event);
}

void TFileArea::FormCreate() {
    FMoreFilters->clear();
    for (int i = 0; i < host::frxExportFilters.Count(); ++i) {
        const host::TfrxCustomExportFilter* filter = host::frxExportFilters.GetExportFilterItem(i);
        if (filter == host::frxDotMatrixExport) {
            continue;
        }
        QAction* action = FMoreFilters->addAction(QString::fromStdString(filter->Description()));
        action->setCheckable(true);
        connect(action, &QAction::toggled, this, [this] { UpdateMoreFilters(); });
    }
    UpdateMoreFilters();
    UpdatePreview();
}

std::vector<QWidget*> TFileArea::TabOrder() const {
    return {edtNamePattern, cbbNameExists, btnMoreFilters};
}

void TFileArea::LoadFromTask(const TScheduleItem& task) {
    edtNamePattern->setText(QString::fromStdString(task.NamePattern));
    cbbNameExists->setCurrentIndex(task.NameExists == neKeepBoth ? 1 : 0);
    for (QAction* action : FMoreFilters->actions()) {
        const std::string description = action->text().toStdString();
        action->setChecked(std::find(task.MoreFilters.begin(), task.MoreFilters.end(),
                                     description) != task.MoreFilters.end());
    }
    UpdateMoreFilters();
    UpdatePreview();
}

void TFileArea::SaveToTask(TScheduleItem& task) const {
    task.NamePattern = edtNamePattern->text().toStdString();
    task.NameExists = task.NamePattern.empty() ? neReplace : cbbNameExists->currentData().toInt();
    task.MoreFilters.clear();
    const std::string main = MainFilter ? MainFilter() : std::string();
    for (const QAction* action : FMoreFilters->actions()) {
        if (action->isChecked() && action->text().toStdString() != main) {
            task.MoreFilters.push_back(action->text().toStdString());
        }
    }
}

bool TFileArea::Complete() const {
    const std::string pattern = edtNamePattern->text().toStdString();
    return pattern.empty() || NamePatternFault(pattern).empty();
}

void TFileArea::UpdatePreview() {
    const std::string pattern = edtNamePattern->text().toStdString();
    if (pattern.empty()) {
        lblNamePreview->setText(tr("Files are named YYMMDD_HHMM_ followed by the report."));
        ShowAsFault(false);
        return;
    }
    std::string text;
    bool fault = false;
    try {
        text = tr("Next file: %1")
                   .arg(QString::fromStdString(
                       ExpandNamePattern(pattern, NextRunFields ? NextRunFields() : TNameFields{})))
                   .toStdString();
    } catch (const std::exception& error) {
        text = error.what();
        fault = true;
    }
    lblNamePreview->setText(QString::fromStdString(text));
    ShowAsFault(fault);
}

void TFileArea::ShowAsFault(bool fault) {
    // The text says what is wrong, so the colour is nobody's only clue.
    QPalette palette = FDialog.palette();
    if (fault) {
        palette.setColor(QPalette::WindowText, host::ErrorColor(palette));
    }
    lblNamePreview->setPalette(palette);
}

void TFileArea::UpdateMoreFilters() {
    QStringList chosen;
    for (const QAction* action : FMoreFilters->actions()) {
        if (action->isChecked()) {
            chosen << action->text();
        }
    }
    btnMoreFilters->setText(chosen.isEmpty() ? tr("None") : chosen.join(QStringLiteral(", ")));
}

} // namespace morvid
