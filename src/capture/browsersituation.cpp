#include "browsersituation.h"

#include "browsertracker.h"
#include "knownbrowsers.h"
#include "windowlist.h"
#include "workspace.h"

#include <QVariantMap>

#include <limits>

using namespace Qt::StringLiterals;

namespace
{
// Window descriptions are loosely typed: only a number without a fraction is an integer.
std::optional<qint64> integerIn(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return value.toLongLong();
    case QMetaType::ULongLong:
        if (value.toULongLong() <= quint64(std::numeric_limits<qint64>::max()))
            return value.toLongLong();
        return std::nullopt;
    case QMetaType::Double: {
        const double number = value.toDouble();
        if (number == double(qint64(number)))
            return qint64(number);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

bool isNumberAbove(const QVariant &value, double threshold)
{
    bool isNumber = false;
    const double number = value.toDouble(&isNumber);
    return value.typeId() != QMetaType::QString && isNumber && number > threshold;
}

bool isLargeNormalWindow(const QVariantMap &window)
{
    if (integerIn(window.value(u"kCGWindowLayer"_s)) != 0)
        return false;
    const QVariantMap bounds = window.value(u"kCGWindowBounds"_s).toMap();
    return isNumberAbove(bounds.value(u"Width"_s), 150) && isNumberAbove(bounds.value(u"Height"_s), 150);
}
}

BrowserSituation BrowserSituation::observe(const Workspace &workspace, const WindowList &windowList, const BrowserTracker &tracker)
{
    return {
        .runningApplicationIds = workspace.runningApplicationIds(),
        .frontmostApplication = workspace.frontmostApplicationId(),
        .trackedBrowser = tracker.lastActiveBrowser(),
        .topmostVisibleBrowser = findTopmostVisibleBrowser(workspace, windowList),
    };
}

std::optional<QString> BrowserSituation::findTopmostVisibleBrowser(const Workspace &workspace, const WindowList &windowList)
{
    const std::optional<QList<QVariantMap>> windows = windowList.onScreenWindows();
    if (!windows)
        return std::nullopt;
    for (const QVariantMap &window : *windows) {
        if (!isLargeNormalWindow(window))
            continue;
        const std::optional<qint64> processId = integerIn(window.value(u"kCGWindowOwnerPID"_s));
        if (!processId || *processId < std::numeric_limits<qint32>::min() || *processId > std::numeric_limits<qint32>::max())
            continue;
        std::optional<QString> applicationId = workspace.applicationIdOfProcess(*processId);
        if (applicationId && isSupportedBrowser(*applicationId))
            return applicationId;
    }
    return std::nullopt;
}

void BrowserSituation::seedTracker(BrowserTracker &tracker, const Workspace &workspace, const WindowList &windowList)
{
    const std::optional<QString> frontmost = workspace.frontmostApplicationId();
    if (frontmost && tracker.setLastActiveBrowser(*frontmost))
        return;
    if (const std::optional<QString> topmost = findTopmostVisibleBrowser(workspace, windowList))
        tracker.setLastActiveBrowser(*topmost);
}
