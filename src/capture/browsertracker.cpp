#include "browsertracker.h"

#include "knownbrowsers.h"

bool BrowserTracker::setLastActiveBrowser(const QString &applicationId)
{
    if (!isSupportedBrowser(applicationId))
        return false;
    m_lastActiveBrowser = applicationId;
    return true;
}
