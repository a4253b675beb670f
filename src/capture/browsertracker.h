#pragma once

#include <QString>

#include <optional>

// The supported browser the user activated last, by its id. Read and written on the main thread:
// detection gets a copy in the situation it observes.
class BrowserTracker
{
public:
    [[nodiscard]] const std::optional<QString> &lastActiveBrowser() const { return m_lastActiveBrowser; }
    // Keeps only a supported browser, and says whether it did; once set it is never cleared.
    bool setLastActiveBrowser(const QString &applicationId);

private:
    std::optional<QString> m_lastActiveBrowser;
};
