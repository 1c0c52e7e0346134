// The main window's message area: the latest information or error, left of the status bar's
// permanent labels and never over them, elided with "…" to the room it has and whole in its
// tool tip, until its time is up or a newer message replaces it.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

namespace morvid {

class TStatusMessage final : public QWidget {
public:
    explicit TStatusMessage(QWidget* parent = nullptr);

    // Replaces the message and its timer; a `timeoutMs` of 0 keeps it until the next one.
    void Post(const QString& text, int timeoutMs);
    void Clear();
    // The message whole, empty while there is none.
    const QString& Text() const noexcept { return FText; }
    // What is painted: the message on one line, elided to the width the area has now.
    QString ShownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString FText;
    QTimer FTimer;
};

} // namespace morvid
