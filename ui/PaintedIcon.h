// An icon drawn by code at whatever size and pixel density it is asked for, so it stays sharp
// at every display scale where a pixmap would be stretched.
#pragma once

#include <QIcon>
#include <QRectF>
#include <functional>

class QPainter;

namespace morvid {

// `paint` draws the picture into the square it is given; disabled icons are drawn faded.
QIcon PaintedIcon(std::function<void(QPainter& painter, const QRectF& square)> paint);

} // namespace morvid
