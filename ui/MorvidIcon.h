// The picture of the "Report scheduler" command: a clock over a report page, painted at the
// size asked for, so the 16 px menu image and the 32 px toolbar image are both sharp.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace morvid {

// A square picture of `size` pixels with a transparent background.
QPixmap MorvidIcon(int size);
// The same picture drawn at every size and display scale it is shown at.
QIcon MorvidIconSet();

} // namespace morvid
