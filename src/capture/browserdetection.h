#pragma once

#include "browsersituation.h"
#include "knownbrowsers.h"
#include "records.h"

#include <QJsonObject>
#include <QList>

#include <memory>
#include <optional>

class TabReader;

// One running supported browser as detection saw it.
struct DetectionCandidate {
    const KnownBrowser *browser = nullptr;
    int score = 0;
    bool asked = false;
    // The reader's raw answer, and its own account of the read.
    std::optional<QString> answer;
    QJsonObject readerReport;
    // What detection made of the answer, or why it did not ask.
    QString verdict;
};

// Everything one detection looked at, for the capture report.
struct DetectionRecord {
    // In rank order.
    QList<DetectionCandidate> candidates;
    std::optional<ActiveBrowserTab> result;
};

// Finds the tab the user most likely looks at: the running supported browsers ranked by
// frontmost application (1000), last activated browser (600) and topmost visible window (300),
// ties in table order, each asked in turn until one shows a web page, even one whose address
// is still pending. The same for every tab reader: readers only fetch raw answers.
namespace BrowserDetection
{
[[nodiscard]] QList<DetectionCandidate> rankCandidates(const BrowserSituation &situation);

// Blocks while the reader runs; call it on a worker thread.
[[nodiscard]] DetectionRecord detect(const BrowserSituation &situation, TabReader &reader);

// detect() reduced to its result, shaped for QtConcurrent::run.
[[nodiscard]] std::optional<ActiveBrowserTab> detectAnyOpenBrowserTab(const BrowserSituation &situation,
                                                                      const std::shared_ptr<TabReader> &reader);
}
