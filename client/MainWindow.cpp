#include "client/MainWindow.h"

#include "client/StatusMessage.h"
#include "platform/host/core/BarButton.h"
#include "platform/host/core/HostObject.h"
#include "platform/host/core/HostToolbar.h"
#include "platform/host/core/QuorClient.h"
#include "platform/host/forms/ErrorStyle.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

namespace morvid {

namespace {

QPixmap StandardPixmap(QStyle::StandardPixmap which) {
    return QApplication::style()->standardIcon(which).pixmap(32, 32);
}

} // namespace

TMainWindow::TMainWindow(host::THostObjectRegistry& objects) : FObjects(objects) {
    setObjectName("MainWindow");
    setWindowTitle(tr("Quor Client"));
    resize(800, 500);

    QMenu* fileMenu = menuBar()->addMenu(tr("&File"));
    fileMenu->setObjectName("mnuFile");
    FMainMenu = menuBar()->addMenu(tr("&Main"));
    FMainMenu->setObjectName("mnuMain");
    FMainToolBar = addToolBar(tr("Main"));
    FMainToolBar->setObjectName("tbMain");
    FMainToolBar->setMovable(false);

    bbConnect = FBars.AddButton("bbConnect");
    bbConnect->SetCaption(tr("&Connect").toStdString());
    bbConnect->SetHint(tr("Connect to the server").toStdString());
    bbConnect->SetLargeGlyph(StandardPixmap(QStyle::SP_DriveNetIcon));
    bbDisconnect = FBars.AddButton("bbDisconnect");
    bbDisconnect->SetCaption(tr("&Disconnect").toStdString());
    bbDisconnect->SetHint(tr("Disconnect from the server").toStdString());
    bbDisconnect->SetLargeGlyph(StandardPixmap(QStyle::SP_BrowserStop));
    bbExit = FBars.AddButton("bbExit");
    bbExit->SetCaption(tr("E&xit").toStdString());
    bbExit->SetHint(tr("Save the settings and end the client").toStdString());
    bbExit->SetShortCut(QKeySequence::Quit);

    FHostMenu = std::make_unique<host::THostMenu>(FMainMenu);
    FHostMenu->ItemLinks.Add(bbConnect);
    FHostMenu->ItemLinks.Add(bbDisconnect);
    FHostToolbar = FBars.AddBar(FMainToolBar);
    FHostToolbar->ItemLinks.Add(bbConnect);
    FHostToolbar->ItemLinks.Add(bbDisconnect);
    fileMenu->addAction(bbExit->Action());

    // A status bar asks for no width of its own, so a narrow window would cut the connection
    // state under the size grip; the window keeps room for the labels, the message gives way.
    statusBar()->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    FMessage = new TStatusMessage(statusBar());
    FMessage->setObjectName("lblStatusMessage");
    statusBar()->addWidget(FMessage, 1);
    FStateLabel = new QLabel(statusBar());
    FStateLabel->setObjectName("lblConnectionState");
    FFailingIcon = new QLabel(statusBar());
    FFailingIcon->setObjectName("imgFailingTasks");
    FFailingIcon->setPixmap(host::ErrorIcon(style()).pixmap(16, 16));
    FFailingLabel = new QLabel(statusBar());
    FFailingLabel->setObjectName("lblFailingTasks");
    QPalette failingPalette = FFailingLabel->palette();
    failingPalette.setColor(QPalette::WindowText, host::ErrorColor(palette()));
    FFailingLabel->setPalette(failingPalette);
    statusBar()->addPermanentWidget(FFailingIcon);
    statusBar()->addPermanentWidget(FFailingLabel);
    statusBar()->addPermanentWidget(FStateLabel);
    ShowConnectionState(0, {});
    ShowFailingTasks(0);

    FObjects.Register(host::MainMenuObjectName, FHostMenu.get());
    FObjects.Register(host::MainToolbarObjectName, FHostToolbar);
}

TMainWindow::~TMainWindow() {
    FObjects.Unregister(FHostMenu.get());
    FObjects.Unregister(FHostToolbar);
}

void TMainWindow::ShowConnectionState(std::uint8_t state, const std::string& detail) {
    const bool online = state == host::csOnline;
    QString text = online ? tr("Online") : tr("Offline");
    if (!detail.empty()) {
        text = tr("%1: %2").arg(text, QString::fromStdString(detail));
    }
    FStateLabel->setText(text);
    bbConnect->SetEnabled(!online);
    bbDisconnect->SetEnabled(online);
}

std::string TMainWindow::ConnectionText() const {
    return FStateLabel->text().toStdString();
}

void TMainWindow::ShowFailingTasks(int count) {
    const bool any = count > 0;
    // English words its one and its many apart; a translation has its own forms for both.
    FFailingLabel->setText(!any         ? QString()
                           : count == 1 ? tr("%n task failing", nullptr, count)
                                        : tr("%n tasks failing", nullptr, count));
    FFailingIcon->setVisible(any);
    FFailingLabel->setVisible(any);
}

std::string TMainWindow::FailingText() const {
    return FFailingLabel->text().toStdString();
}

void TMainWindow::ShowMessage(const std::string& text, int timeoutMs) {
    FMessage->Post(QString::fromStdString(text), timeoutMs);
}

std::string TMainWindow::MessageText() const {
    return FMessage->Text().toStdString();
}

void TMainWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (OnClose) {
        OnClose();
    }
}

} // namespace morvid
