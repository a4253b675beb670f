#include "browsertracker.h"

#include "knownbrowsers.h"

#include <QMutexLocker>

BrowserTracker &BrowserTracker::shared()
{
    static BrowserTracker tracker;
    return tracker;
}

std::optional<QString> BrowserTracker::lastActiveBrowserBundleId() const
{
    const QMutexLocker locker(&m_lock);
    return m_lastActiveBrowserBundleId;
}

void BrowserTracker::setLastActiveBrowserBundleId(const QString &bundleId)
{
    if (!isSupportedBrowser(bundleId))
        return;
    const QMutexLocker locker(&m_lock);
    m_lastActiveBrowserBundleId = bundleId;
}
