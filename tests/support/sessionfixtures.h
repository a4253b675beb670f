#pragma once

#include "linux/browserwindows.h"
#include "linux/sessiontab.h"
#include "support/testdata.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

// Browser files as the browsers write them, built by the tests and the benchmarks.
namespace SessionFixtures
{

struct Visit {
    QString url;
    QString title;
    QDateTime visited = QDateTime::currentDateTimeUtc();
};

// "mozLz40\0", the size, one LZ4 block.
[[nodiscard]] QByteArray mozLz4(const QByteArray &data);
// A Firefox session with one window whose selected tab is selectedTab (0-based); each tab has
// one entry.
[[nodiscard]] QByteArray firefoxSessionJson(const QList<SessionTab> &tabs, qsizetype selectedTab);
using ::writeFile;
void setModified(const QString &path, const QDateTime &time);

// A Firefox profile folder tree under root: profiles.ini with these profile folders (the first
// marked Default=1) and installs.ini naming installDefault.
void writeFirefoxProfiles(const QString &root, const QStringList &profiles, const QString &installDefault);
void writeFirefoxHistory(const QString &profileDirectory, const QList<Visit> &visits);
void writeChromiumHistory(const QString &profileDirectory, const QList<Visit> &visits);

// Chromium's session commands, appended in order.
class SnssWriter
{
public:
    SnssWriter();
    SnssWriter &tabInWindow(qint32 window, qint32 tab, qint32 index);
    SnssWriter &navigation(qint32 tab, qint32 index, const QString &url, const QString &title = {});
    SnssWriter &selectedNavigation(qint32 tab, qint32 index);
    SnssWriter &selectedTab(qint32 window, qint32 index);
    SnssWriter &activeWindow(qint32 window);
    SnssWriter &tabClosed(qint32 tab);
    // A tab with one navigation, made the selected tab of window and window the active one.
    SnssWriter &activeTab(qint32 window, qint32 tab, const QString &url, const QString &title = {});
    SnssWriter &raw(const QByteArray &bytes);
    [[nodiscard]] QByteArray bytes() const { return m_bytes; }

private:
    SnssWriter &command(quint8 id, const QByteArray &payload);
    QByteArray m_bytes;
};

// Windows the test decides on, by browser id.
class FakeBrowserWindows : public BrowserWindows
{
public:
    bool knowsWindows() const override { return known; }
    std::optional<BrowserWindow> topmostWindow(const QString &browserId) const override
    {
        const auto found = windows.constFind(browserId);
        if (found == windows.cend())
            return std::nullopt;
        return *found;
    }

    bool known = true;
    QHash<QString, BrowserWindow> windows;
};
}
