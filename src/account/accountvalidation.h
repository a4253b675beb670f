#pragma once

#include <QString>

#include <optional>

// The local checks of the account forms, made on the values about to be sent (already trimmed or
// lowered where the form does so). Each answers the message of the first check that fails, or
// nothing when the values may go to the backend. Lengths count user-perceived characters.
namespace AccountValidation
{
[[nodiscard]] std::optional<QString> checkSignIn(const QString &email, const QString &password, bool registering);
[[nodiscard]] std::optional<QString> checkResetRequest(const QString &email);
[[nodiscard]] std::optional<QString> checkResetConfirmation(const QString &email, const QString &code, const QString &newPassword);
[[nodiscard]] std::optional<QString> checkPasswordChange(const QString &current, const QString &newPassword, const QString &confirmation);
}
