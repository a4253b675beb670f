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

    std::optional<QString> frontmostApplicationId() const override { return frontmostApplication; }
    QStringList runningApplicationIds() const override { return processApplicationIds.values(); }
    std::optional<QString> applicationIdOfProcess(qint64 processId) const override
    {
        return processApplicationIds.contains(processId) ? std::optional(processApplicationIds.value(processId)) : std::nullopt;
    }
    bool openUrl(const QUrl &url) override
    {
        openedUrls.append(url);
        return true;
    }

    std::optional<QString> frontmostApplication;
    QMap<qint64, QString> processApplicationIds;
    QList<QUrl> openedUrls;
};
