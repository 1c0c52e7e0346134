// TWrappedLabel: a label that wraps its text and asks its layout for every line it needs, which
// Qt leaves out of a dialog's smallest size; it keeps room for a few lines so nothing jumps.
#pragma once

#include <QLabel>

namespace morvid {

class TWrappedLabel : public QLabel {
public:
    // Room for keptLines lines always; more once shown, when its width says it needs them.
    TWrappedLabel(QWidget* parent, int keptLines);

    QSize minimumSizeHint() const override;
    int heightForWidth(int width) const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int KeptHeight() const;

    int FKeptLines;
};

} // namespace morvid
