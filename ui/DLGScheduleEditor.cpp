#include "ui/DLGScheduleEditor.h"

#include "platform/host/forms/MessageDlg.h"
#include "platform/host/forms/VelmornTreeList.h"
#include "platform/host/report/ExportFilterCollection.h"
#include "tasks/ParamValues.h"
#include "ui/editor/DeliveryArea.h"
#include "ui/editor/FileArea.h"
#include "ui/editor/OptionsArea.h"
#include "ui/editor/ParameterArea.h"
#include "ui/editor/ScheduleArea.h"
#include "ui/editor/TaskArea.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace morvid {

namespace {

// The designed client size; the dialog opens at it unless its controls need more, and may be
// made larger.
constexpr int DesignedWidth = 440;
constexpr int DesignedHeight = 730;
// Hints of the width a long name or path may widen the dialog to, as a share of the screen.
constexpr double WidestShareOfScreen = 0.9;
// Room kept on the screen for a window manager's title bar and borders, which are not known
// before the dialog is first shown.
constexpr int TitleBarAllowance = 40;
// An available height no screen is short of.
constexpr int RoomyScreen = 1 << 20;

// The scroll area makes its pane as tall as the pane's height for its width, which for the
// parameter grid is the height it would like; the fields need only their smallest heights at that
// width (wrapped texts take the lines the width gives them).
class TFieldsPane final : public QWidget {
public:
    int heightForWidth(int width) const override {
        return layout()->totalMinimumHeightForWidth(width);
    }
};

} // namespace

TDLGScheduleEditor::TDLGScheduleEditor(QWidget* owner) : host::TDialogBase(owner) {
    setObjectName(QStringLiteral("DLGScheduleEditor"));
    SetCaption(tr("Report schedule").toStdString());
    QFont dialogFont = QApplication::font();
    dialogFont.setPointSize(9);
    setFont(dialogFont);

    Task = std::make_unique<TTaskArea>(*this);
    Schedule = std::make_unique<TScheduleArea>(*this);
    Parameters = std::make_unique<TParameterArea>(*this);
    Files = std::make_unique<TFileArea>(*this);
    Delivery = std::make_unique<TDeliveryArea>(*this);
    Options = std::make_unique<TOptionsArea>(*this);
    Areas = {Task.get(),  Schedule.get(), Parameters.get(),
             Files.get(), Delivery.get(), Options.get()};

    Task->OnChange = [this] {
        Files->UpdatePreview();
        UpdateOkButton();
    };
    Task->OnReportChange = [this] { Parameters->UpdateReportParams(Task->ReportValue()); };
    Schedule->OnValidated = [this] {
        // Period words show what they give at the next due time, and so does the file name.
        Parameters->cxTreeList1->viewport()->update();
        Files->UpdatePreview();
        UpdateOkButton();
    };
    // The words resolve as the run will: on the task's clock, past its calendar's days.
    Parameters->NextDue = [this] { return Schedule->DueRules().ToWall(Schedule->NextDueTime()); };
    Parameters->CronStr = [this] { return Schedule->edtCronStr->text().toStdString(); };
    Parameters->DueRules = [this] { return Schedule->DueRules(); };
    Parameters->OnChange = [this] { Files->UpdatePreview(); };
    Files->NextRunFields = [this] { return NextRunFields(); };
    Files->MainFilter = [this] { return Task->cbbFilter->currentText().toStdString(); };
    Files->OnChange = [this] { UpdateOkButton(); };
    Options->OnEnabledChange = [this](bool enabled) { Schedule->ShowEnabled(enabled); };

    // The fields stand in layouts rather than at fixed places, so no caption or item is cut at
    // any font or display scale and the dialog can be made larger. Their pane has no frame and
    // shows a scroll bar only on a screen too short for it, so elsewhere the dialog looks as if
    // the fields stood on it directly.
    sbxFields = new QScrollArea(this);
    sbxFields->setObjectName(QStringLiteral("sbxFields"));
    sbxFields->setFrameShape(QFrame::NoFrame);
    // Tab and the dialog's first focus go to the fields, not to the pane around them.
    sbxFields->setFocusPolicy(Qt::NoFocus);
    sbxFields->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sbxFields->setWidgetResizable(true);
    pnlFields = new TFieldsPane;
    pnlFields->setObjectName(QStringLiteral("pnlFields"));
    auto* fields = new QVBoxLayout(pnlFields);
    fields->setContentsMargins(editor::Margin, editor::Margin - editor::CaptionGap, editor::Margin,
                               0);
    fields->setSpacing(0);
    fields->addLayout(Task->Layout());
    fields->addSpacing(editor::FieldGap + editor::GroupGap);
    fields->addLayout(Schedule->Layout());
    fields->addSpacing(editor::CaptionGap);
    fields->addLayout(Parameters->Layout(), 1);
    fields->addSpacing(editor::FieldGap);
    fields->addLayout(Files->Layout());
    fields->addSpacing(editor::FieldGap + editor::GroupGap);
    fields->addLayout(Delivery->Layout());
    fields->addSpacing(editor::FieldGap + editor::GroupGap);
    fields->addLayout(Options->Layout());
    sbxFields->setWidget(pnlFields);
    // Fields shown or grown (mail on, a longer text under the schedule) make the dialog taller.
    pnlFields->installEventFilter(this);
    // A control reached with Tab or its caption's shortcut scrolls whole into sight (the scroll
    // area's own scrolling shows only a text field's cursor).
    connect(qApp, &QApplication::focusChanged, sbxFields, [this](QWidget*, QWidget* now) {
        if (now != nullptr && pnlFields->isAncestorOf(now)) {
            const QRect place(now->mapTo(pnlFields, QPoint(0, 0)), now->size());
            sbxFields->ensureVisible(place.center().x(), place.center().y(), place.width() / 2 + 1,
                                     place.height() / 2 + 1);
        }
    });

    auto* dialog = new QVBoxLayout(this);
    dialog->setContentsMargins(0, 0, 0, 0);
    dialog->setSpacing(0);
    dialog->addWidget(sbxFields, 1);
    dialog->addSpacing(editor::FieldGap);
    FButtons = CreateButtons();
    dialog->addLayout(FButtons);
    SetSizableClientSize(DesignedWidth, DesignedHeight);
    // The height it opens at where the screen has room, and then on the screen it is made for.
    FitHeightTo(RoomyScreen);
    FOpenHeight = height();
    const QScreen* shown = screen();
    FitHeightTo(shown != nullptr ? shown->availableGeometry().height() : DesignedHeight * 2);

    ChainTabOrder();
    FormCreate();
}

// The areas go first, with the connections they are the context of, while the controls that
// would call them are still whole; so do the dialog's own watches over its pane.
TDLGScheduleEditor::~TDLGScheduleEditor() {
    pnlFields->removeEventFilter(this);
    disconnect(qApp, nullptr, sbxFields, nullptr);
}

QLayout* TDLGScheduleEditor::CreateButtons() {
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);

    btnOk = new QPushButton(tr("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnOk->setEnabled(false);
    connect(btnOk, &QPushButton::clicked, this, [this] { accept(); });

    btnCancel = new QPushButton(tr("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    // Enter on the focused Cancel presses Cancel, not the default Ok.
    btnCancel->setAutoDefault(true);
    connect(btnCancel, &QPushButton::clicked, this, [this] { reject(); });

    // The line runs the dialog's full width; the buttons keep to its bottom right corner.
    auto* buttonRow = new QHBoxLayout;
    buttonRow->setContentsMargins(0, 12, 5, 6);
    buttonRow->setSpacing(5);
    buttonRow->addStretch(1);
    for (QPushButton* button : {btnOk, btnCancel}) {
        button->setMinimumSize(75, 25);
        buttonRow->addWidget(button);
    }
    auto* area = new QVBoxLayout;
    area->setSpacing(0);
    area->addWidget(Bevel1);
    area->addLayout(buttonRow);
    return area;
}

void TDLGScheduleEditor::ChainTabOrder() {
    std::vector<QWidget*> order;
    for (const TEditorArea* area : Areas) {
        const std::vector<QWidget*> own = area->TabOrder();
        order.insert(order.end(), own.begin(), own.end());
    }
    order.push_back(btnOk);
    order.push_back(btnCancel);
    for (std::size_t i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void TDLGScheduleEditor::FormCreate() {
    Schedule->FormCreate();
    Task->FormCreate();
    Files->FormCreate();
    Schedule->ShowEnabled(Options->cbxScheduleEnabled->isChecked());
    UpdateOkButton();
}

void TDLGScheduleEditor::LoadFromTask(const TScheduleItem& task) {
    for (TEditorArea* area : Areas) {
        area->LoadFromTask(task);
    }
    UpdateOkButton();
    WidenForLongTexts();
}

void TDLGScheduleEditor::WidenForLongTexts() {
    // A line edit's size hint is room for 17 'x' plus its frame, margins and buttons.
    const auto needed = [](const QLineEdit& field) {
        const QFontMetrics metrics = field.fontMetrics();
        return field.sizeHint().width() - 17 * metrics.horizontalAdvance(QLatin1Char('x')) +
               metrics.horizontalAdvance(field.text()) + 2;
    };
    const QScreen* shown = screen();
    const int widest =
        shown != nullptr ? int(shown->availableGeometry().width() * WidestShareOfScreen) : width();
    // The scroll area gives its pane the width only once shown; the fields' widths are wanted now.
    layout()->activate();
    const bool scrolls = sbxFields->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn;
    pnlFields->resize(sbxFields->width() -
                          (scrolls ? sbxFields->verticalScrollBar()->sizeHint().width() : 0),
                      pnlFields->height());
    pnlFields->layout()->activate();
    int missing = 0;
    for (const QLineEdit* field : {Task->edtName, Task->edtPath}) {
        missing = std::max(missing, needed(*field) - field->width());
    }
    if (missing > 0 && width() < widest) {
        resize(std::min(width() + missing, widest), height());
    }
}

void TDLGScheduleEditor::FitHeightTo(int available) {
    if (layout() == nullptr) {
        return;
    }
    // A dialog made as tall as a short screen allowed opens at its first height on a taller one.
    const bool capped = FAvailableHeight > 0 && height() >= FAvailableHeight - TitleBarAllowance;
    FAvailableHeight = available;
    pnlFields->layout()->activate();
    const QSize fieldsLeast = pnlFields->minimumSizeHint();
    const int bar = sbxFields->verticalScrollBar()->sizeHint().width();
    // The dialog has no margins of its own: the pane is as wide as the dialog, less a scroll bar.
    const auto fieldsNeed = [&](int paneWidth) {
        return std::max(fieldsLeast.height(),
                        pnlFields->heightForWidth(std::max(paneWidth, fieldsLeast.width())));
    };
    const int most = available - TitleBarAllowance;
    const int room = most - editor::FieldGap - FButtons->minimumSize().height();
    const bool scrolls = fieldsNeed(width()) > room;
    sbxFields->setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    sbxFields->setMinimumSize(fieldsLeast.width() + (scrolls ? bar : 0),
                              scrolls ? std::max(room, 0) : fieldsNeed(width()));
    layout()->activate();
    const QSize least = minimumSizeHint();
    resize(std::max(width(), least.width()),
           std::clamp(capped ? std::max(height(), FOpenHeight) : height(), least.height(),
                      std::max(most, least.height())));
}

bool TDLGScheduleEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pnlFields && event->type() == QEvent::LayoutRequest && FAvailableHeight > 0) {
        FitHeightTo(FAvailableHeight);
    }
    return host::TDialogBase::eventFilter(watched, event);
}

void TDLGScheduleEditor::resizeEvent(QResizeEvent* event) {
    host::TDialogBase::resizeEvent(event);
    // Wrapped texts need more lines at a narrower width.
    if (FAvailableHeight > 0 && event->oldSize().width() != event->size().width()) {
        FitHeightTo(FAvailableHeight);
    }
}

void TDLGScheduleEditor::showEvent(QShowEvent* event) {
    // The dialog may open on another screen than the one it was made for: its owner's.
    if (const QScreen* shown = screen()) {
        FitHeightTo(shown->availableGeometry().height());
        // A scroll bar the fields need there takes width from the name and the path.
        WidenForLongTexts();
    }
    host::TDialogBase::showEvent(event);
    if (!event->spontaneous()) {
        FShownState = EditedState();
    }
}

QString TDLGScheduleEditor::EditedState() const {
    // Read from the controls rather than from a task, so a control added later counts without
    // being named here. Editors open in the parameter grid are the grid's cells, read below.
    QStringList state;
    for (const QWidget* widget : pnlFields->findChildren<QWidget*>()) {
        const QWidget* parent = widget->parentWidget();
        while (parent != nullptr && qobject_cast<const QAbstractItemView*>(parent) == nullptr) {
            parent = parent->parentWidget();
        }
        if (parent != nullptr) {
            continue;
        }
        if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
            state << edit->text();
        } else if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(widget)) {
            state << spin->text();
        } else if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
            state << combo->currentText();
        } else if (const auto* text = qobject_cast<const QPlainTextEdit*>(widget)) {
            state << text->toPlainText();
        } else if (const auto* tool = qobject_cast<const QToolButton*>(widget)) {
            // A list of boxes behind a button shows what is ticked on the button.
            state << (tool->menu() != nullptr ? tool->text() : QString());
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            state << QString::number(button->isCheckable() && button->isChecked());
        }
    }
    const QAbstractItemModel& grid = *Parameters->cxTreeList1->model();
    for (int row = 0; row < grid.rowCount(); ++row) {
        for (int column = 0; column < grid.columnCount(); ++column) {
            state << grid.index(row, column).data(Qt::DisplayRole).toString();
        }
    }
    return state.join(QChar(u'\x1f'));
}

void TDLGScheduleEditor::reject() {
    if (isVisible() && !FShownState.isNull() && EditedState() != FShownState &&
        host::MessageDlg(
            tr("This task has changes that are not saved. Discard them?").toStdString(),
            host::TMsgDlgType::mtConfirmation, host::mbYes | host::mbNo) != host::mrYes) {
        return;
    }
    host::TDialogBase::reject();
}

void TDLGScheduleEditor::SaveToTask(TScheduleItem& task) const {
    for (const TEditorArea* area : Areas) {
        area->SaveToTask(task);
    }
}

std::optional<std::int32_t> TDLGScheduleEditor::ReportValue() const {
    return Task->ReportValue();
}

bool TDLGScheduleEditor::CronStrValid() const noexcept {
    return Schedule->CronStrValid();
}

void TDLGScheduleEditor::btnFillParamsClick() {
    Parameters->btnFillParamsClick();
}

std::vector<std::string> TDLGScheduleEditor::MissingParams() const {
    return Parameters->MissingParams();
}

TNameFields TDLGScheduleEditor::NextRunFields() const {
    TNameFields fields;
    fields.Task = Task->edtName->text().toStdString();
    fields.Report = Task->icbReport->currentText().toStdString();
    const std::string filter = Task->cbbFilter->currentText().toStdString();
    for (int i = 0; i < host::frxExportFilters.Count(); ++i) {
        if (host::frxExportFilters.GetExportFilterItem(i)->Description() == filter) {
            fields.Ext = host::frxExportFilters.GetExportFilterItem(i)->DefaultExt;
        }
    }
    fields.Due = Schedule->NextDueTime();
    fields.PeriodStart = fields.PeriodEnd = std::floor(fields.Due);
    try {
        TDueRules rules = Schedule->DueRules();
        const TScheduleContext schedule{Schedule->edtCronStr->text().toStdString(), &rules};
        const TResolvedParams params =
            ResolveParams(Parameters->CurrentParams(), rules.ToWall(fields.Due), &schedule);
        fields.PeriodStart = params.PeriodStart;
        fields.PeriodEnd = params.PeriodEnd;
    } catch (const rtl::Exception&) {
        // A word no period has is the parameter grid's to refuse; the name takes the due day.
    }
    return fields;
}

void TDLGScheduleEditor::UpdateOkButton() {
    bool ok = true;
    for (const TEditorArea* area : Areas) {
        ok = ok && area->Complete();
    }
    btnOk->setEnabled(ok);
}

void TDLGScheduleEditor::accept() {
    bool validated = false;
    try {
        Schedule->edtCronStrPropertiesValidate();
        validated = true;
    } catch (const std::exception& error) {
        host::MessageDlg(error.what(), host::TMsgDlgType::mtError, host::mbOK);
    }
    if (!validated || !btnOk->isEnabled()) {
        return;
    }
    for (TEditorArea* area : Areas) {
        if (!area->ConfirmOk()) {
            return;
        }
    }
    host::TDialogBase::accept();
}

} // namespace morvid
