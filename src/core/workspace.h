#pragma once

#include <QObject>
#include <QStringList>
#include <QUrl>

#include <optional>

// Running applications, the frontmost one, activation notices and opening addresses in the
// default browser. A supported browser is named by its id in capture's browser table, any other
// application as the platform names it. The desktop implementation reports no running browsers.
class Workspace : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~Workspace() override = default;

    [[nodiscard]] virtual std::optional<QString> frontmostApplicationId() const = 0;
    [[nodiscard]] virtual QStringList runningApplicationIds() const = 0;
    [[nodiscard]] virtual std::optional<QString> applicationIdOfProcess(qint64 processId) const = 0;
    virtual bool openUrl(const QUrl &url) = 0;

Q_SIGNALS:
    // Another application came to the front.
    void applicationActivated(const QString &applicationId);
    // This application became the active one.
    void thisApplicationActivated();
};
