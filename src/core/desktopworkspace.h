#pragma once

#include "workspace.h"

// Opens addresses through QDesktopServices and follows this application's activation; it
// cannot see other applications, so it reports none.
class DesktopWorkspace : public Workspace
{
    Q_OBJECT

public:
    explicit DesktopWorkspace(QObject *parent = nullptr);

    [[nodiscard]] std::optional<QString> frontmostApplicationId() const override;
    [[nodiscard]] QStringList runningApplicationIds() const override;
    [[nodiscard]] std::optional<QString> applicationIdOfProcess(qint64 processId) const override;
    bool openUrl(const QUrl &url) override;
};
