#pragma once

#include <QMutex>
#include <QString>

#include <optional>

// The supported browser the user activated last. Written on the main thread, read by detection
// on its worker, so every access copies the value under the lock.
class BrowserTracker
{
public:
    // The one instance of the process.
    [[nodiscard]] static BrowserTracker &shared();

    [[nodiscard]] std::optional<QString> lastActiveBrowserBundleId() const;
    // Keeps the value only for a supported browser; once set it is never cleared.
    void setLastActiveBrowserBundleId(const QString &bundleId);

private:
    mutable QMutex m_lock;
    std::optional<QString> m_lastActiveBrowserBundleId;
};
