#include "ui/editor/EditorArea.h"

#include "platform/host/forms/MessageDlg.h"

#include <QBoxLayout>
#include <QLabel>

namespace morvid {

QVBoxLayout* TEditorArea::Captioned(const char* name, const QString& caption, QWidget* field) {
    auto* label = new QLabel(caption, &FDialog);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(field);
    auto* column = new QVBoxLayout;
    column->setSpacing(editor::CaptionGap);
    column->addWidget(label);
    column->addWidget(field);
    return column;
}

void TEditorArea::ShowError(const std::exception& error) {
    host::MessageDlg(error.what(), host::TMsgDlgType::mtError, host::mbOK);
}

} // namespace morvid
