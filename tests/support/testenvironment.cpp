#include "testenvironment.h"

#include "faketabreader.h"
#include "librarycopies.h"

#include <QJsonDocument>
#include <QSettings>
#include <QStandardPaths>

TestEnvironment::TestEnvironment()
{
    // Process-wide stores fall back to the standard folders; keep those out of the user's.
    QStandardPaths::setTestModeEnabled(true);
    if (!m_directory.isValid())
        qFatal("cannot create a temporary directory");
}

std::unique_ptr<Preferences> TestEnvironment::preferences() const
{
    return std::make_unique<Preferences>(std::make_unique<QSettings>(path(QStringLiteral("preferences.ini")), QSettings::IniFormat));
}

void TestEnvironment::storeSession(const User &user, const QString &token) const
{
    const auto stored = preferences();
    stored->setText(Preferences::kJWTToken, token);
    stored->setData(Preferences::kCurrentUser, QJsonDocument(user.toJson()).toJson(QJsonDocument::Compact));
}

std::unique_ptr<AppViewModel> TestEnvironment::makeViewModel(const QString &portalUrl)
{
    auto workspace = std::make_unique<FakeWorkspace>();
    m_workspace = workspace.get();
    auto clipboard = std::make_unique<FakeClipboard>();
    m_clipboard = clipboard.get();
    auto saveDialog = std::make_unique<FakeSaveDialog>();
    m_saveDialog = saveDialog.get();
    auto tabReader = std::make_unique<FakeTabReader>();
    m_tabReader = tabReader.get();
    // As at a real start, before the preferences are opened.
    LibraryCopies::moveCopyOutOfPreferences(path(QStringLiteral("preferences.ini")));
    AppViewModelDependencies dependencies{
        .webPortalUrl = portalUrl,
        .preferences = preferences(),
        .secrets = std::move(m_secrets),
        .localStoreDirectory = localStoreDirectory(),
        .workspace = std::move(workspace),
        .windowList = std::make_unique<UnavailableWindowList>(),
        .tabReader = std::move(tabReader),
        .clipboard = std::move(clipboard),
        .saveDialog = std::move(saveDialog),
    };
    return std::make_unique<AppViewModel>(std::move(dependencies));
}

QProcessEnvironment isolatedProcessEnvironment(const QString &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
    return environment;
}
