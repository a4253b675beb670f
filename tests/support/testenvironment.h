#pragma once

#include "appviewmodel.h"
#include "fakeclipboard.h"
#include "fakesavedialog.h"
#include "faketabreader.h"
#include "fakeworkspace.h"

#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <memory>

// A throw-away home for one view model: preferences in an INI file and a local-store folder, both
// inside a temporary directory, plus fakes for the platform seams that tests inspect afterwards.
class TestEnvironment
{
public:
    TestEnvironment();

    [[nodiscard]] QString path(const QString &relative) const { return m_directory.filePath(relative); }
    [[nodiscard]] QString localStoreDirectory() const { return path(QStringLiteral("Corvane")); }

    // A preferences store over the same file every time, to seed data before a model exists
    // or to read what a model left behind.
    [[nodiscard]] std::unique_ptr<Preferences> preferences() const;
    // Stores a session the way sign-in does, so the next model built here starts signed in.
    void storeSession(const User &user, const QString &token = QStringLiteral("token-1")) const;

    // Builds a view model; the fakes it received stay reachable through workspace() and friends
    // until the next call.
    std::unique_ptr<AppViewModel> makeViewModel(const QString &portalUrl = QStringLiteral("https://portal.test"));

    [[nodiscard]] FakeWorkspace *workspace() const { return m_workspace; }
    [[nodiscard]] FakeClipboard *clipboard() const { return m_clipboard; }
    [[nodiscard]] FakeSaveDialog *saveDialog() const { return m_saveDialog; }
    [[nodiscard]] FakeTabReader *tabReader() const { return m_tabReader; }

    // The secret store of the next model built; without one, secrets stay in the preferences.
    void setSecretStore(std::unique_ptr<SecretStore> secrets) { m_secrets = std::move(secrets); }

private:
    QTemporaryDir m_directory;
    FakeWorkspace *m_workspace = nullptr;
    FakeClipboard *m_clipboard = nullptr;
    FakeSaveDialog *m_saveDialog = nullptr;
    FakeTabReader *m_tabReader = nullptr;
    std::unique_ptr<SecretStore> m_secrets;
};

// The environment for a child corvane process whose home, settings, data and runtime folders all
// lie inside home, so that it cannot touch the user's own.
QProcessEnvironment isolatedProcessEnvironment(const QString &home);
