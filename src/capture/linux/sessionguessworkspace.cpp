#include "sessionguessworkspace.h"

#include "linux/filestamp.h"
#include "linux/linuxbrowsernames.h"
#include "linux/linuxprocess.h"

std::optional<QString> SessionGuessWorkspace::frontmostApplicationId() const
{
    const QHash<QString, qint64> running = LinuxBrowserNames::runningBrowserProcesses();
    const QMutexLocker locker(&m_profilesLock);
    std::optional<QString> newest;
    qint64 newestMsecs = -1;
    for (const KnownBrowser &browser : knownBrowsers) {
        const auto process = running.constFind(QString(browser.id));
        if (process == running.cend())
            continue;
        const std::optional<BrowserProfile> profile = m_profiles.locate(browser, LinuxProcess::commandLine(*process), {});
        if (!profile || profile->sessionFile.isEmpty())
            continue;
        const qint64 modified = FileStamp::of(profile->sessionFile).modifiedMsecs;
        if (modified > newestMsecs) {
            newestMsecs = modified;
            newest = process.key();
        }
    }
    return newest;
}

QStringList SessionGuessWorkspace::runningApplicationIds() const
{
    return LinuxBrowserNames::runningBrowserProcesses().keys();
}

std::optional<QString> SessionGuessWorkspace::applicationIdOfProcess(qint64 processId) const
{
    return LinuxBrowserNames::browserOfProcess(processId);
}
