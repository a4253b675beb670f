#pragma once

#include <QLatin1StringView>
#include <QStringList>

// The add-on's fixed identity, which the host manifests name as their only caller: the Chromium
// family derives the extension id from the public key in the add-on's manifest, Firefox takes the
// id the manifest states.
namespace AddonIdentity
{
inline constexpr QLatin1StringView hostName("app.corvane.bridge");
inline constexpr QLatin1StringView chromiumExtensionId("mffkcdpkadofjmldljloenbbppnbogie");
inline constexpr QLatin1StringView chromiumOrigin("chrome-extension://mffkcdpkadofjmldljloenbbppnbogie/");
inline constexpr QLatin1StringView geckoId("bridge@corvane.app");

// Whether a browser started this program as the add-on's host: the Chromium family passes the
// caller's origin, Firefox the host manifest's path and then the add-on's id.
[[nodiscard]] inline bool isHostLaunch(const QStringList &arguments)
{
    return arguments.contains(chromiumOrigin) || arguments.contains(geckoId);
}
}
