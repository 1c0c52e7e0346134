// TFormBase: the base of the host's tool windows. A top-level window that is first shown centred
// on the host's main window, keeps a placement that settings can store, and only hides on close.
#pragma once

#include <QPointer>
#include <QWidget>
#include <optional>
#include <string>

namespace host {

// The outer frame of a window on the desktop, as settings store it.
struct TFormPlacement {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool operator==(const TFormPlacement&) const = default;
};

class TFormBase : public QWidget {
    Q_OBJECT

public:
    // The main window is only the reference for centring and, unless AppWindow is set, the
    // window this one belongs to on the taskbar; it does not own the form.
    explicit TFormBase(QWidget* mainWindow = nullptr);

    void SetCaption(const std::string& caption);
    std::string Caption() const;
    void SetClientSize(int width, int height);

    void SetMainWindow(QWidget* mainWindow);
    QWidget* MainWindow() const { return FMainWindow; }

    // Left, top, width and height of the outer frame. Setting a placement also stops the
    // centring at first show, so a stored placement wins over it.
    TFormPlacement Placement() const;
    void SetPlacement(const TFormPlacement& placement);
    bool HasPlacement() const noexcept { return FPlaced; }
    // What settings should store: the frame once the window has been shown; before that the
    // placement set on it, if any. A window never shown nor placed has none: its frame would
    // read as the client area at 0,0, and storing that would open it in the corner next time.
    std::optional<TFormPlacement> PlacementToStore() const;

    // True gives the form its own taskbar entry; false lets it stand under the main window's.
    void SetAppWindow(bool appWindow);
    bool AppWindow() const noexcept { return FAppWindow; }

    // Brings the form up as a user expects from a menu command: restores it when minimised,
    // shows it and puts it in front.
    void BringToFront();

    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CentreOnMainWindow();
    void ApplyTransientParent();

    QPointer<QWidget> FMainWindow;
    bool FPlaced = false;
    bool FShown = false;
    std::optional<TFormPlacement> FPendingPlacement;
    bool FAppWindow = false;
};

} // namespace host
