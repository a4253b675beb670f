#pragma once

#include <QLatin1StringView>
#include <QString>

#include <array>

// One supported browser: how it is identified, addressed and shown.
struct KnownBrowser {
    // How the tab is read: "chromium", "safari" or "firefox".
    enum class Kind {
        Chromium,
        Safari,
        Firefox
    };

    QLatin1StringView bundleId;
    QLatin1StringView appName;
    Kind kind;
};

// The supported browsers in detection order: the order breaks ties between equally ranked ones.
inline constexpr std::array<KnownBrowser, 14> knownBrowsers{{
    {QLatin1StringView("com.google.Chrome"), QLatin1StringView("Google Chrome"), KnownBrowser::Kind::Chromium},
    {QLatin1StringView("com.google.Chrome.canary"), QLatin1StringView("Google Chrome Canary"), KnownBrowser::Kind::Chromium},
    {QLatin1StringView("com.apple.Safari"), QLatin1StringView("Safari"), KnownBrowser::Kind::Safari},
    {QLatin1StringView("com.apple.SafariTechnologyPreview"), QLatin1StringView("Safari Technology Preview"), KnownBrowser::Kind::Safari},
    {QLatin1StringView("company.thebrowser.Browser"), QLatin1StringView("Arc"), KnownBrowser::Kind::Chromium},
    {QLatin1StringView("com.brave.Browser"), QLatin1StringView("Brave Browser"), KnownBrowser::Kind::Chromium},
    {QLatin1StringView("com.microsoft.edgemac"), QLatin1StringView("Microsoft Edge"), KnownBrowser::Kind::Chromium},
    {QLatin1StringView("com.operasoftware.Opera"), QLatin1StringView("Opera"), KnownBrowser::Kind::Chromium},
    {QLatin1StringView("com.vivaldi.Vivaldi"), QLatin1StringView("Vivaldi"), KnownBrowser::Kind::Chromium},
    {QLatin1StringView("org.chromium.Chromium"), QLatin1StringView("Chromium"), KnownBrowser::Kind::Chromium},
    {QLatin1StringView("org.mozilla.firefox"), QLatin1StringView("Firefox"), KnownBrowser::Kind::Firefox},
    {QLatin1StringView("org.mozilla.firefoxdeveloperedition"), QLatin1StringView("Firefox Developer Edition"), KnownBrowser::Kind::Firefox},
    {QLatin1StringView("org.mozilla.nightly"), QLatin1StringView("Firefox Nightly"), KnownBrowser::Kind::Firefox},
    {QLatin1StringView("app.zen-browser.zen"), QLatin1StringView("Zen Browser"), KnownBrowser::Kind::Firefox},
}};

// Whether an application is one of the supported browsers: exact, case-sensitive comparison.
[[nodiscard]] inline bool isSupportedBrowser(const QString &bundleId)
{
    for (const KnownBrowser &browser : knownBrowsers) {
        if (bundleId == browser.bundleId)
            return true;
    }
    return false;
}
