#include "browserdetection.h"

#include "tabreader.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace
{
struct TabAnswer {
    QString url;
    QString title;
};

TabAnswer parseAnswer(const QString &answer)
{
    const QStringList pieces = answer.split("|||"_L1);
    TabAnswer tab{.url = pieces.value(0).trimmed(), .title = pieces.value(1).trimmed()};
    tab.title.remove(u" \u2014 Mozilla Firefox"_s).remove(" - Mozilla Firefox"_L1);
    return tab;
}

bool isNewTabPage(const QString &url)
{
    static constexpr std::array prefixes{"chrome://newtab"_L1, "favorites://"_L1, "about:newtab"_L1, "about:home"_L1};
    return url.isEmpty()
        || std::any_of(prefixes.cbegin(), prefixes.cend(), [&url](QLatin1StringView prefix) { return url.startsWith(prefix); });
}

// A bare host gets a scheme; anything else without one (an internal address) stays as it is.
QString normalisedUrl(const QString &url)
{
    if (url.startsWith("http://"_L1) || url.startsWith("https://"_L1) || !url.contains(u'.'))
        return url;
    return "https://"_L1 + url;
}

int scoreOf(const KnownBrowser &browser, const BrowserSituation &situation)
{
    int score = 0;
    if (situation.frontmostApplication == browser.id)
        score += 1000;
    if (situation.trackedBrowser == browser.id)
        score += 600;
    if (situation.topmostVisibleBrowser == browser.id)
        score += 300;
    return score;
}
}

namespace BrowserDetection
{
QList<DetectionCandidate> rankCandidates(const BrowserSituation &situation)
{
    QList<DetectionCandidate> candidates;
    for (const KnownBrowser &browser : knownBrowsers) {
        if (situation.runningApplicationIds.contains(browser.id))
            candidates.append({.browser = &browser, .score = scoreOf(browser, situation)});
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const DetectionCandidate &a, const DetectionCandidate &b) { return a.score > b.score; });
    return candidates;
}

DetectionRecord detect(const BrowserSituation &situation, TabReader &reader)
{
    DetectionRecord record{.candidates = rankCandidates(situation), .result = std::nullopt};
    std::optional<ActiveBrowserTab> fallback;
    for (DetectionCandidate &candidate : record.candidates) {
        if (record.result) {
            candidate.verdict = u"not asked: an earlier browser showed a web page"_s;
            continue;
        }
        const QString appName(candidate.browser->appName);
        candidate.asked = true;
        candidate.answer = reader.readActiveTab(*candidate.browser);
        candidate.readerReport = reader.lastReadReport();
        if (!candidate.answer) {
            candidate.verdict = u"no answer"_s;
            continue;
        }
        const TabAnswer tab = parseAnswer(*candidate.answer);
        // A page is known to be there, so a lower-ranked browser's tab would be the wrong one.
        if (tab.url.isEmpty() && reader.lastAddressPending()) {
            candidate.verdict = u"a web page whose address is not known yet; chosen, waiting"_s;
            record.result = ActiveBrowserTab{.title = tab.title, .url = {}, .browserName = appName, .isAddressPending = true};
            continue;
        }
        if (isNewTabPage(tab.url)) {
            candidate.verdict = fallback ? u"no web page; an earlier fallback is kept"_s : u"no web page; kept as the fallback"_s;
            if (!fallback)
                fallback = ActiveBrowserTab{.title
                                            = tab.title.isEmpty() ? QCoreApplication::translate("BrowserDetection", "New Tab") : tab.title,
                                            .url = {},
                                            .browserName = appName};
            continue;
        }
        const QString url = normalisedUrl(tab.url);
        candidate.verdict = u"chosen"_s;
        record.result = ActiveBrowserTab{.title = tab.title.isEmpty() ? url : tab.title, .url = url, .browserName = appName};
    }
    if (!record.result)
        record.result = fallback;
    return record;
}

std::optional<ActiveBrowserTab> detectAnyOpenBrowserTab(const BrowserSituation &situation, const std::shared_ptr<TabReader> &reader)
{
    return detect(situation, *reader).result;
}
}
