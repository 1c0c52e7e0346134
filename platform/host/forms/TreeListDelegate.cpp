#include "platform/host/forms/TreeListDelegate.h"

#include "platform/host/forms/VelmornTreeList.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPersistentModelIndex>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QTimeEdit>
#include <QToolButton>
#include <functional>
#include <limits>

namespace host {

namespace {

// Editors are found again by this property, which records the kind they were made for.
constexpr const char* EditorKindProperty = "morvidEditorKind";
// Set on the parts of an editor made of a frame with more than one control.
constexpr const char* InFrameProperty = "morvidInFrame";

TEditorKind KindOf(const QWidget* editor) {
    return static_cast<TEditorKind>(editor->property(EditorKindProperty).toInt());
}

// A check box centred in its cell: the editor is the frame, the box its one child.
QCheckBox* CheckBoxOf(QWidget* editor) {
    return editor->findChild<QCheckBox*>();
}

QRect CentredCheckRect(const QStyleOptionViewItem& option, const QWidget* widget) {
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    QStyleOptionButton button;
    const QRect box = style->subElementRect(QStyle::SE_CheckBoxIndicator, &button, widget);
    return QStyle::alignedRect(option.direction, Qt::AlignCenter, box.size(), option.rect);
}

// A Date or Time editor with words: the picker, and beside it the list of words (editable, so
// a word with a number can be typed). Choosing the first item, or the picker, gives a fixed value.
QWidget* WithWords(QWidget* picker, const TEditProperties& properties,
                   const std::function<void(const rtl::TVariant&)>& post) {
    auto* frame = new QWidget(picker->parentWidget());
    frame->setAutoFillBackground(true);
    picker->setParent(frame);
    auto* words = new QComboBox(frame);
    words->setObjectName(QStringLiteral("cbbWords"));
    words->setFrame(false);
    words->setEditable(true);
    words->setInsertPolicy(QComboBox::NoInsert);
    for (const std::string& word : properties.Words) {
        words->addItem(QString::fromStdString(word));
    }
    // The list opens wide enough for its longest word, however narrow the cell.
    words->view()->setMinimumWidth(words->view()->sizeHintForColumn(0) +
                                   words->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8);
    auto* layout = new QHBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    // The date or time keeps its own width; the words take the rest, so a long word is not cut
    // where the value column has room for both.
    layout->addWidget(picker, 0);
    layout->addWidget(words, 1);
    frame->setFocusProxy(picker);
    QObject::connect(words, &QComboBox::currentTextChanged, [post, words](const QString& text) {
        if (words->findText(text) != 0 && !text.trimmed().isEmpty()) {
            post(rtl::TVariant(text.trimmed().toStdString()));
        }
    });
    return frame;
}

// A button beside the date that opens the calendar with one click. The date edit's own arrow
// is small and was easily missed in a narrow cell, so a date was picked by clicking twice into
// it. The calendar is a popup of the button, so the editor keeps the focus while it is open.
QWidget* WithCalendarButton(QDateEdit* edit, QWidget* editor) {
    QWidget* frame = editor;
    auto* layout = qobject_cast<QHBoxLayout*>(editor->layout());
    if (editor == edit || layout == nullptr) {
        frame = new QWidget(edit->parentWidget());
        frame->setAutoFillBackground(true);
        edit->setParent(frame);
        layout = new QHBoxLayout(frame);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(2);
        layout->addWidget(edit, 1);
        frame->setFocusProxy(edit);
    }
    auto* button = new QToolButton(frame);
    button->setObjectName(QStringLiteral("btnCalendar"));
    button->setIcon(QIcon::fromTheme(QStringLiteral("view-calendar"),
                                     button->style()->standardIcon(QStyle::SP_ArrowDown)));
    button->setToolTip(QCoreApplication::translate("host::TTreeListDelegate", "Calendar"));
    button->setAccessibleName(button->toolTip());
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRaise(true);
    layout->insertWidget(layout->indexOf(edit) + 1, button);
    QObject::connect(button, &QToolButton::clicked, edit, [edit, button] {
        auto* calendar = new QCalendarWidget(button);
        calendar->setObjectName(QStringLiteral("calDate"));
        calendar->setWindowFlags(Qt::Popup);
        calendar->setAttribute(Qt::WA_DeleteOnClose);
        calendar->setDateRange(edit->minimumDate(), edit->maximumDate());
        calendar->setSelectedDate(edit->date());
        for (const auto signal : {&QCalendarWidget::clicked, &QCalendarWidget::activated}) {
            QObject::connect(calendar, signal, edit, [edit, calendar](QDate date) {
                edit->setDate(date);
                calendar->close();
            });
        }
        calendar->move(button->mapToGlobal(QPoint(button->width(), button->height())) -
                       QPoint(calendar->sizeHint().width(), 0));
        calendar->show();
    });
    return frame;
}

// The picker of an editor that may stand in a frame with words.
template <class T> T* PickerOf(QWidget* editor) {
    if (auto* picker = qobject_cast<T*>(editor)) {
        return picker;
    }
    return editor->findChild<T*>();
}

// Shows a word in the list beside the picker, or the list's first item for a fixed value.
// True when the value is a word.
bool ShowWord(QWidget* editor, const rtl::TVariant& value) {
    auto* words = editor->findChild<QComboBox*>(QStringLiteral("cbbWords"));
    if (words == nullptr) {
        return false;
    }
    const bool word = value.VarType() == rtl::TVarType::String;
    const QString text = word ? QString::fromStdString(value.AsString()) : words->itemText(0);
    if (words->currentText() != text) {
        const QSignalBlocker blocker(words);
        const int item = words->findText(text);
        if (item >= 0) {
            words->setCurrentIndex(item);
        } else {
            words->setEditText(text);
        }
    }
    return word;
}

} // namespace

// No QObject parent: the grid owns its delegate and frees it itself.
TTreeListDelegate::TTreeListDelegate(TVelmornTreeList& grid) : FGrid(grid) {}

QWidget* TTreeListDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                                         const QModelIndex& index) const {
    const TEditProperties& properties = FGrid.EditPropertiesFor(index.row(), index.column());
    const QPersistentModelIndex cell(index);
    TVelmornTreeList* grid = &FGrid;
    auto post = [grid, cell](const rtl::TVariant& value) {
        if (cell.isValid()) {
            grid->PostEditValue(cell, value);
        }
    };

    QWidget* editor = nullptr;
    switch (properties.Kind) {
    case TEditorKind::Text: {
        auto* edit = new QLineEdit(parent);
        edit->setFrame(false);
        QObject::connect(edit, &QLineEdit::textChanged,
                         [post](const QString& text) { post(rtl::TVariant(text.toStdString())); });
        editor = edit;
        break;
    }
    case TEditorKind::Number: {
        auto* spin = new QSpinBox(parent);
        spin->setFrame(false);
        spin->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
        QObject::connect(spin, &QSpinBox::valueChanged,
                         [post](int value) { post(rtl::TVariant(std::int32_t(value))); });
        editor = spin;
        break;
    }
    case TEditorKind::Boolean: {
        auto* frame = new QWidget(parent);
        frame->setAutoFillBackground(true);
        auto* layout = new QHBoxLayout(frame);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* check = new QCheckBox(frame);
        layout->addWidget(check, 0, Qt::AlignCenter);
        frame->setFocusProxy(check);
        QObject::connect(check, &QCheckBox::toggled,
                         [post](bool checked) { post(rtl::TVariant(checked)); });
        // Key presses reach the box, not the frame the view filters; filter the box too.
        check->installEventFilter(const_cast<TTreeListDelegate*>(this));
        editor = frame;
        break;
    }
    case TEditorKind::Date: {
        auto* edit = new QDateEdit(parent);
        edit->setFrame(false);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setMinimumDate(QDate(1, 1, 1));
        edit->setMaximumDate(QDate(9999, 12, 31));
        editor = edit;
        if (!properties.Words.empty()) {
            editor = WithWords(edit, properties, post);
        }
        editor = WithCalendarButton(edit, editor);
        auto* words = editor->findChild<QComboBox*>();
        QObject::connect(edit, &QDateEdit::dateChanged, [post, words](const QDate& date) {
            if (words != nullptr) {
                const QSignalBlocker blocker(words);
                words->setCurrentIndex(0);
            }
            post(DateToVariant(date));
        });
        break;
    }
    case TEditorKind::Time: {
        auto* edit = new QTimeEdit(parent);
        edit->setFrame(false);
        edit->setDisplayFormat(QStringLiteral("HH:mm:ss"));
        editor = edit;
        if (!properties.Words.empty()) {
            editor = WithWords(edit, properties, post);
        }
        auto* words = editor->findChild<QComboBox*>();
        QObject::connect(edit, &QTimeEdit::timeChanged, [post, words](const QTime& time) {
            if (words != nullptr) {
                const QSignalBlocker blocker(words);
                words->setCurrentIndex(0);
            }
            post(TimeToVariant(time));
        });
        break;
    }
    case TEditorKind::DropDown: {
        auto* combo = new QComboBox(parent);
        combo->setFrame(false);
        for (const TDropDownItem& item : properties.Items) {
            combo->addItem(QString::fromStdString(item.Caption), item.Value);
        }
        QObject::connect(combo, &QComboBox::currentIndexChanged, [post, combo](int index) {
            if (index >= 0) {
                post(rtl::TVariant(std::int32_t(combo->itemData(index).toInt())));
            }
        });
        editor = combo;
        break;
    }
    }
    editor->setProperty(EditorKindProperty, static_cast<int>(properties.Kind));
    // Key presses reach the picker and the words, not the frame the view filters.
    if (auto* words = editor->findChild<QComboBox*>(QStringLiteral("cbbWords"))) {
        for (QWidget* part : {static_cast<QWidget*>(words), editor->focusProxy()}) {
            part->setProperty(InFrameProperty, true);
            part->installEventFilter(const_cast<TTreeListDelegate*>(this));
        }
    }
    return editor;
}

void TTreeListDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    // Filling an editor is not an edit: nothing may be posted back while it happens, and an
    // editor that already shows the value is left alone, so a posted keystroke keeps the cursor.
    const rtl::TVariant& value = FGrid.Values(index.row(), index.column());
    switch (KindOf(editor)) {
    case TEditorKind::Text: {
        auto* edit = static_cast<QLineEdit*>(editor);
        const QString text = QString::fromStdString(
            FGrid.EditPropertiesFor(index.row(), index.column()).DisplayText(value));
        if (edit->text() != text) {
            const QSignalBlocker blocker(edit);
            edit->setText(text);
        }
        break;
    }
    case TEditorKind::Number: {
        auto* spin = static_cast<QSpinBox*>(editor);
        int number = 0;
        try {
            number = value.AsInteger();
        } catch (const rtl::Exception&) {
        }
        if (spin->value() != number) {
            const QSignalBlocker blocker(spin);
            spin->setValue(number);
        }
        break;
    }
    case TEditorKind::Boolean: {
        QCheckBox* check = CheckBoxOf(editor);
        bool checked = false;
        try {
            checked = value.AsBoolean();
        } catch (const rtl::Exception&) {
        }
        if (check->isChecked() != checked) {
            const QSignalBlocker blocker(check);
            check->setChecked(checked);
        }
        break;
    }
    case TEditorKind::Date: {
        auto* edit = PickerOf<QDateEdit>(editor);
        // Beside a word the picker offers today, where a fixed day is most likely picked.
        const bool word = ShowWord(editor, value);
        QDate date = VariantToDate(word ? rtl::TVariant(rtl::Date()) : value);
        if (!date.isValid()) {
            date = QDate::currentDate();
        }
        if (edit->date() != date) {
            const QSignalBlocker blocker(edit);
            edit->setDate(date);
        }
        break;
    }
    case TEditorKind::Time: {
        auto* edit = PickerOf<QTimeEdit>(editor);
        const bool word = ShowWord(editor, value);
        QTime time = VariantToTime(word ? rtl::TVariant() : value);
        if (!time.isValid()) {
            time = QTime(0, 0);
        }
        if (edit->time() != time) {
            const QSignalBlocker blocker(edit);
            edit->setTime(time);
        }
        break;
    }
    case TEditorKind::DropDown: {
        auto* combo = static_cast<QComboBox*>(editor);
        const int item = FGrid.EditPropertiesFor(index.row(), index.column()).IndexOfValue(value);
        if (combo->currentIndex() != item) {
            const QSignalBlocker blocker(combo);
            combo->setCurrentIndex(item);
        }
        break;
    }
    }
}

void TTreeListDelegate::setModelData(QWidget* /*editor*/, QAbstractItemModel* /*model*/,
                                     const QModelIndex& /*index*/) const {
    // Every change was posted when it happened. Writing the editor's state again on close would
    // turn a cell the user only passed through (an empty value) into a value.
}

void TTreeListDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                             const QModelIndex& /*index*/) const {
    editor->setGeometry(option.rect);
}

void TTreeListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    // The selection shows only while the grid or its editor has the focus.
    if (!FGrid.OwnsFocus()) {
        opt.state &= ~QStyle::State_Selected;
        opt.state &= ~QStyle::State_HasFocus;
    }
    const QWidget* widget = option.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    if (FGrid.EditPropertiesFor(index.row(), index.column()).Kind != TEditorKind::Boolean) {
        return;
    }
    const rtl::TVariant& value = FGrid.Values(index.row(), index.column());
    QStyleOptionButton box;
    box.rect = CentredCheckRect(option, widget);
    box.state = QStyle::State_Enabled;
    bool checked = false;
    try {
        checked = value.AsBoolean();
    } catch (const rtl::Exception&) {
    }
    box.state |=
        value.IsClear() ? QStyle::State_NoChange : (checked ? QStyle::State_On : QStyle::State_Off);
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, widget);
}

bool TTreeListDelegate::eventFilter(QObject* object, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        const bool gridKey = TVelmornTreeList::IsGridKey(*key);
        if (gridKey) {
            if (event->type() == QEvent::ShortcutOverride) {
                // Claim the key before a window shortcut with the same keys takes it.
                event->accept();
                return true;
            }
            FGrid.HandleGridKey(*key);
            return true;
        }
    }
    // The check box and the parts of a frame are not the editor the base class knows; keep
    // their keys for themselves.
    if (qobject_cast<QCheckBox*>(object) != nullptr || object->property(InFrameProperty).toBool()) {
        return false;
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

} // namespace host
