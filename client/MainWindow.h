// The client's main window: the main menu and main toolbar that plug-ins link their commands
// into, the Connect and Disconnect commands, and a status bar showing the latest message, the
// connection state and how many report tasks are failing.
#pragma once

#include "platform/host/core/BarManager.h"
#include "platform/host/core/HostMenu.h"

#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QLabel;
class QMenu;
class QToolBar;

namespace host {
class TBarButton;
class THostObjectRegistry;
class THostToolbar;
} // namespace host

namespace morvid {

class TStatusMessage;

class TMainWindow : public QMainWindow {
    Q_OBJECT

public:
    // Lists the main menu as "Menus.Main.Object" and the main toolbar as "Toolbars.Main" in
    // `objects`, which must outlive the window.
    explicit TMainWindow(host::THostObjectRegistry& objects);
    ~TMainWindow() override;

    QMenu* MainMenu() const noexcept { return FMainMenu; }
    QToolBar* MainToolBar() const noexcept { return FMainToolBar; }
    host::TBarManager& BarManager() noexcept { return FBars; }

    // Shows "Online", with what it is connected to, or "Offline", and offers the command that
    // changes it.
    void ShowConnectionState(std::uint8_t state, const std::string& detail);
    std::string ConnectionText() const;

    // "1 task failing", "3 tasks failing" in the error colour; nothing while none is.
    void ShowFailingTasks(int count);
    // The text shown, empty while it is hidden.
    std::string FailingText() const;

    // Shows `text` in the status bar left of its labels, never over them, for `timeoutMs`
    // (0: until the next message); a newer message replaces it and its time.
    void ShowMessage(const std::string& text, int timeoutMs);
    // The message whole, empty once its time is up.
    std::string MessageText() const;

    host::TBarButton* bbConnect = nullptr;
    host::TBarButton* bbDisconnect = nullptr;
    host::TBarButton* bbExit = nullptr;

    // Closing the window ends the client; the owner decides how.
    std::function<void()> OnClose;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    host::THostObjectRegistry& FObjects;
    host::TBarManager FBars;
    QMenu* FMainMenu = nullptr;
    QToolBar* FMainToolBar = nullptr;
    std::unique_ptr<host::THostMenu> FHostMenu;
    host::THostToolbar* FHostToolbar = nullptr; // owned by FBars
    TStatusMessage* FMessage = nullptr;
    QLabel* FStateLabel = nullptr;
    QLabel* FFailingIcon = nullptr;
    QLabel* FFailingLabel = nullptr;
};

} // namespace morvid
