#include "addonidentity.h"
#include "appdelegate.h"
#include "appviewmodel.h"
#include "browserbridge.h"
#include "capturereport.h"
#include "desktopcaptureplatform.h"
#include "hostregistration.h"
#include "knownbrowsers.h"
#include "nativehost.h"
#include "resourcefiles.h"
#include "singleinstance.h"
#include "translation.h"

#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QtQml/qqmlextensionplugin.h>

#include <algorithm>
#include <cstdio>
#include <string_view>

#include <unistd.h>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

using namespace Qt::StringLiterals;

namespace
{
bool hasArgument(int argc, char *argv[], std::string_view argument)
{
    return std::find(argv + 1, argv + argc, argument) != argv + argc;
}

// A browser started this program for the add-on: relay until the browser closes the channel.
int runNativeHost(int argc, char *argv[])
{
    const QCoreApplication application(argc, argv);
    const bool chromiumFamily = QCoreApplication::arguments().contains(AddonIdentity::chromiumOrigin);
    const QString browserId = browserOfProcess(::getppid()).value_or(chromiumFamily ? u"chromium"_s : u"firefox"_s);
    NativeHost host(browserId, BrowserBridge::sessionServerName());
    QObject::connect(&host, &NativeHost::finished, &application, &QCoreApplication::quit);
    host.start();
    return QCoreApplication::exec();
}

// Writes or removes the host manifests and says what it did with each browser's folder.
int registerWithBrowsers(int argc, char *argv[], bool connect)
{
    const QCoreApplication application(argc, argv);
    const HostRegistration registration(QDir::homePath(), QCoreApplication::applicationFilePath());
    const QList<HostRegistration::Result> results = connect ? registration.connectBrowsers() : registration.disconnectBrowsers();
    bool failed = false;
    for (const HostRegistration::Result &result : results) {
        const char *outcome = "written";
        switch (result.outcome) {
        case HostRegistration::Outcome::Written:
            break;
        case HostRegistration::Outcome::Unchanged:
            outcome = "already in place";
            break;
        case HostRegistration::Outcome::Removed:
            outcome = "removed";
            break;
        case HostRegistration::Outcome::Foreign:
            outcome = "left alone: not written by Corvane";
            failed = true;
            break;
        case HostRegistration::Outcome::Failed:
            outcome = "could not be changed";
            failed = true;
            break;
        }
        std::printf("%s: %s %s\n", qPrintable(result.browserId), qPrintable(result.path), outcome);
    }
    if (results.isEmpty())
        std::printf("no supported browser found for this user\n");
    return failed ? 1 : 0;
}

// Detects once and prints what it saw, without a window and without the stored session or
// preferences, even while another instance runs.
int printCaptureReport(int argc, char *argv[])
{
    const QCoreApplication application(argc, argv);
    const QString bridgeServer = BrowserBridge::sessionServerName();
    const std::shared_ptr<BrowserBridge> bridge
        = BrowserBridge::fromReport(BrowserBridge::askRunning(bridgeServer).value("browsers"_L1).toArray());
    const DesktopCapturePlatform platform = withBrowserBridge(makeDesktopCapturePlatform(), bridge);
    QJsonObject json = CaptureReport(*platform.workspace, *platform.windowList, *platform.tabReader).run().object();
    // The page text the add-on gives for the tab found, asked after detection so it is that tab's.
    const KnownBrowser *browser = findBrowserByName(json.value("result"_L1)["browserName"_L1].toString());
    const bool askText = browser && bridge->state(QString(browser->id));
    json.insert(u"browserAddOn"_s,
                askText ? BrowserBridge::askRunning(bridgeServer, QString(browser->id)) : QJsonObject{{u"browsers"_s, bridge->report()}});
    const QByteArray report = QJsonDocument(json).toJson();
    std::fwrite(report.constData(), 1, size_t(report.size()), stdout);
    return 0;
}
}

int main(int argc, char *argv[])
{
    if (hasArgument(argc, argv, "--capture-report"))
        return printCaptureReport(argc, argv);
    if (hasArgument(argc, argv, "--connect-browsers") || hasArgument(argc, argv, "--disconnect-browsers"))
        return registerWithBrowsers(argc, argv, hasArgument(argc, argv, "--connect-browsers"));
    if (AddonIdentity::isHostLaunch(QStringList(argv + 1, argv + argc)))
        return runNativeHost(argc, argv);

    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Corvane"));
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QGuiApplication::setDesktopFileName(QStringLiteral(CORVANE_DESKTOP_ID));
    // The panel is only ever hidden; the process lives on with the tray item.
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance(SingleInstance::sessionServerName());
    if (instance.notifyRunningInstance())
        return 0;
    instance.listen();

    // Before the panel's engine loads its views.
    const auto translation = installTranslation(QLocale::system());
    AppDelegate delegate(std::make_unique<AppViewModel>(AppViewModelDependencies::forDesktop()), ResourceFiles::standardFolders());
    QObject::connect(&instance, &SingleInstance::activationRequested, &delegate, &AppDelegate::reopen);
    delegate.launch();
    return application.exec();
}
