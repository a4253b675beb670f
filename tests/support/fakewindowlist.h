#pragma once

#include "windowlist.h"

// An on-screen window list that the test sets up, front to back.
class FakeWindowList : public WindowList
{
public:
    std::optional<QList<QVariantMap>> onScreenWindows() const override { return windows; }

    // A window description as the window server gives it.
    static QVariantMap window(const QVariant &processId, double width = 800, double height = 600, const QVariant &layer = 0)
    {
        return {{QStringLiteral("kCGWindowLayer"), layer},
                {QStringLiteral("kCGWindowOwnerPID"), processId},
                {QStringLiteral("kCGWindowBounds"), QVariantMap{{QStringLiteral("Width"), width}, {QStringLiteral("Height"), height}}}};
    }

    std::optional<QList<QVariantMap>> windows = QList<QVariantMap>();
};
