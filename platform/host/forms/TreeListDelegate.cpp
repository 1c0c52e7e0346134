#include "platform/host/forms/TreeListDelegate.h"

#include "platform/host/forms/VelmornTreeList.h"
#include "platform/rtl/SysUtils.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPersistentModelIndex>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimeEdit>
#include <limits>

namespace host {

namespace {

// Editors are found again by this property, which records the kind they were made for.
constexpr const char* EditorKindProperty = "morvidEditorKind";

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
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setMinimumDate(QDate(1, 1, 1));
        edit->setMaximumDate(QDate(9999, 12, 31));
        QObject::connect(edit, &QDateEdit::dateChanged,
                         [post](const QDate& date) { post(DateToVariant(date)); });
        editor = edit;
        break;
    }
    case TEditorKind::Time: {
        auto* edit = new QTimeEdit(parent);
        edit->setFrame(false);
        edit->setDisplayFormat(QStringLiteral("HH:mm:ss"));
        QObject::connect(edit, &QTimeEdit::timeChanged,
                         [post](const QTime& time) { post(TimeToVariant(time)); });
        editor = edit;
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
        auto* edit = static_cast<QDateEdit*>(editor);
        QDate date = VariantToDate(value);
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
        auto* edit = static_cast<QTimeEdit*>(editor);
        QTime time = VariantToTime(value);
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
    // The check box is not the editor the base class knows; keep its keys for the box itself.
    if (qobject_cast<QCheckBox*>(object) != nullptr) {
        return false;
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

} // namespace host
