#pragma once

#include "workspace.h"

#include <QList>
#include <QMap>

// A workspace whose applications the test sets up, and which records what it was asked to open.
class FakeWorkspace : public Workspace
{
    Q_OBJECT

public:
    using Workspace::Workspace;

    std::optional<QString> frontmostApplicationBundleId() const override { return frontmostBundleId; }
    QStringList runningApplicationBundleIds() const override { return processBundleIds.values(); }
    std::optional<QString> bundleIdOfProcess(qint64 processId) const override
    {
        const auto found = processBundleIds.constFind(processId);
        if (found == processBundleIds.cend())
            return std::nullopt;
        return *found;
    }
    bool openUrl(const QUrl &url) override
    {
        openedUrls.append(url);
        return true;
    }

    std::optional<QString> frontmostBundleId;
    QMap<qint64, QString> processBundleIds;
    QList<QUrl> openedUrls;
};
