#pragma once

#include <QObject>
#include <QStringList>
#include <QUrl>

#include <optional>

// Running applications, the frontmost one, activation notices and opening addresses in the
// default browser. Platforms with a notion of application bundles implement it fully; the
// desktop implementation reports no running browsers.
class Workspace : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~Workspace() override = default;

    [[nodiscard]] virtual std::optional<QString> frontmostApplicationBundleId() const = 0;
    [[nodiscard]] virtual QStringList runningApplicationBundleIds() const = 0;
    [[nodiscard]] virtual std::optional<QString> bundleIdOfProcess(qint64 processId) const = 0;
    virtual bool openUrl(const QUrl &url) = 0;

Q_SIGNALS:
    // Another application came to the front.
    void applicationActivated(const QString &bundleId);
    // This application became the active one.
    void thisApplicationActivated();
};
