#include "state/appviewmodel.h"

// Browser capture is not built yet: no tracker to seed, nothing to detect or poll.

void AppViewModel::seedBrowserTracker()
{
}

void AppViewModel::handleApplicationActivated(const QString &)
{
}

void AppViewModel::startBrowserPolling()
{
}

void AppViewModel::refreshActiveBrowserTab()
{
}
