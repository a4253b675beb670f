#pragma once

#include <QRect>
#include <QSize>

// The panel's size limits and its wide/compact width switch, free of any window so that the
// arithmetic can be checked on its own.
namespace PanelGeometry
{
inline constexpr int kBaseWidth = 430;
inline constexpr int kWideWidth = 820;
inline constexpr int kWideLayoutThreshold = 540;
inline constexpr QSize kInitialSize{kBaseWidth, 590};
inline constexpr QSize kMinimumSize{kBaseWidth, 520};
inline constexpr QSize kMaximumSize{1600, 1400};

// The size the panel accepts for a proposed one: each side held within the limits.
[[nodiscard]] QSize clampedSize(QSize proposed);

[[nodiscard]] constexpr bool isWideLayout(int width)
{
    return width >= kWideLayoutThreshold;
}

// The frame after the width switch: a panel up to the threshold widens, a wider one becomes
// compact. Top and height stay, and so does the horizontal centre.
[[nodiscard]] QRect switchedWidth(const QRect &frame);
}
