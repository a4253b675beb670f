#pragma once

#include "support/testenvironment.h"

#include <QJsonDocument>

// Stores a session the way sign-in does, so the next model built in the environment starts
// signed in as this user.
inline void storeSignedInSession(const TestEnvironment &environment, const User &user)
{
    const auto preferences = environment.preferences();
    preferences->setText(Preferences::kJWTToken, QStringLiteral("token-1"));
    preferences->setData(Preferences::kCurrentUser, QJsonDocument(user.toJson()).toJson(QJsonDocument::Compact));
}
