#include "capturereport.h"

#include "browserdetection.h"
#include "browsersituation.h"
#include "browsertracker.h"
#include "knownbrowsers.h"

#include <QJsonArray>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace
{
QJsonValue optionalText(const std::optional<QString> &text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

// The report has always named browsers by their macOS application identifiers.
QJsonValue applicationJson(const std::optional<QString> &applicationId)
{
    if (!applicationId)
        return QJsonValue::Null;
    const KnownBrowser *browser = findBrowser(*applicationId);
    return browser ? QString(browser->bundleId) : *applicationId;
}

QJsonValue tabJson(const std::optional<ActiveBrowserTab> &tab)
{
    if (!tab)
        return QJsonValue::Null;
    return QJsonObject{{u"title"_s, tab->title}, {u"url"_s, tab->url}, {u"browserName"_s, tab->browserName}, {u"domain"_s, tab->domain()}};
}

QJsonObject candidateJson(const DetectionCandidate &candidate, int rank)
{
    QJsonObject json{
        {u"rank"_s, rank},
        {u"bundleId"_s, QString(candidate.browser->bundleId)},
        {u"appName"_s, QString(candidate.browser->appName)},
        {u"score"_s, candidate.score},
        {u"asked"_s, candidate.asked},
        {u"verdict"_s, candidate.verdict},
    };
    if (candidate.asked) {
        json.insert(u"answer"_s, optionalText(candidate.answer));
        json.insert(u"reader"_s, candidate.readerReport);
    }
    return json;
}
}

CaptureReport::CaptureReport(const Workspace &workspace, const WindowList &windowList, TabReader &tabReader)
    : m_workspace(workspace)
    , m_windowList(windowList)
    , m_tabReader(tabReader)
{ }

QJsonDocument CaptureReport::run() const
{
    BrowserTracker tracker;
    BrowserSituation::seedTracker(tracker, m_workspace, m_windowList);
    const BrowserSituation situation = BrowserSituation::observe(m_workspace, m_windowList, tracker);
    const DetectionRecord record = BrowserDetection::detect(situation, m_tabReader);

    QJsonArray running;
    QJsonArray candidates;
    // Every running supported browser is a candidate.
    for (qsizetype index = 0; index < record.candidates.size(); ++index) {
        const DetectionCandidate &candidate = record.candidates.at(index);
        running.append(QString(candidate.browser->bundleId));
        candidates.append(candidateJson(candidate, int(index) + 1));
    }
    return QJsonDocument(QJsonObject{
        {u"browserAccess"_s, u"not consulted: this report detects once whatever the stored browser access switch says"_s},
        {u"runningSupportedBrowsers"_s, running},
        {u"frontmostApplication"_s, applicationJson(situation.frontmostApplication)},
        {u"tracker"_s, applicationJson(situation.trackedBrowser)},
        {u"trackerNote"_s, u"seeded as at start-up; a running panel's tracker also follows later activations"_s},
        {u"topmostVisibleBrowser"_s, applicationJson(situation.topmostVisibleBrowser)},
        {u"candidates"_s, candidates},
        {u"result"_s, tabJson(record.result)},
    });
}
