#include "panelgeometry.h"

#include <algorithm>

namespace PanelGeometry
{
QSize clampedSize(QSize proposed)
{
    return {std::clamp(proposed.width(), kMinimumSize.width(), kMaximumSize.width()),
            std::clamp(proposed.height(), kMinimumSize.height(), kMaximumSize.height())};
}

QRect switchedWidth(const QRect &frame)
{
    const int width = frame.width() <= kWideLayoutThreshold ? kWideWidth : kBaseWidth;
    return {frame.x() + (frame.width() - width) / 2, frame.y(), width, frame.height()};
}
}
