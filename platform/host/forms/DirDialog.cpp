#include "platform/host/forms/DirDialog.h"

#include "platform/host/forms/ModalAnswerer.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace host {

std::string TDirDialog::StartDirectory() const {
    const QString initial = QString::fromStdString(InitialDir);
    if (!initial.isEmpty() && QFileInfo(initial).isDir()) {
        return QDir(initial).absolutePath().toStdString();
    }
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir()) {
        return desktop.toStdString();
    }
    return QDir::homePath().toStdString();
}

bool TDirDialog::Execute(QWidget* parent) {
    if (TModalAnswerer* answerer = TModalAnswerer::Current()) {
        TModalRequest request;
        request.Kind = TModalKind::Directory;
        request.Caption = Prompt;
        request.Text = Prompt;
        request.InitialDir = InitialDir;
        answerer->Requests.push_back(request);
        if (!answerer->OnDirectory) {
            return false;
        }
        const std::optional<std::string> chosen = answerer->OnDirectory(request);
        // A directory name is never empty; an empty answer is a cancel, not a choice of "".
        if (!chosen.has_value() || chosen->empty()) {
            return false;
        }
        Directory = *chosen;
        return true;
    }
    if (!InteractiveSession()) {
        return false;
    }
    QFileDialog dialog(parent != nullptr ? parent : QApplication::activeWindow(),
                       QString::fromStdString(Prompt), QString::fromStdString(StartDirectory()));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    Directory = QDir::toNativeSeparators(dialog.selectedFiles().constFirst()).toStdString();
    return true;
}

} // namespace host
