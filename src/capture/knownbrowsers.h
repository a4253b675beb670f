#pragma once

#include <QLatin1StringView>
#include <QString>

#include <algorithm>
#include <array>

// One supported browser: how it is identified, addressed and shown.
struct KnownBrowser {
    // How the tab is read: "chromium", "safari" or "firefox".
    enum class Kind {
        Chromium,
        Safari,
        Firefox
    };

    // The name every part of capture knows the browser by, whatever the platform.
    QLatin1StringView id;
    // macOS's application identifier, which the capture report has always shown.
    QLatin1StringView bundleId;
    QLatin1StringView appName;
    Kind kind;
};

// The supported browsers in detection order: the order breaks ties between equally ranked ones.
inline constexpr std::array<KnownBrowser, 14> knownBrowsers{{
    {QLatin1StringView("chrome"), QLatin1StringView("com.google.Chrome"), QLatin1StringView("Google Chrome"), KnownBrowser::Kind::Chromium},
    {QLatin1StringView("chrome-canary"), QLatin1StringView("com.google.Chrome.canary"), QLatin1StringView("Google Chrome Canary"),
     KnownBrowser::Kind::Chromium},
    {QLatin1StringView("safari"), QLatin1StringView("com.apple.Safari"), QLatin1StringView("Safari"), KnownBrowser::Kind::Safari},
    {QLatin1StringView("safari-technology-preview"), QLatin1StringView("com.apple.SafariTechnologyPreview"),
     QLatin1StringView("Safari Technology Preview"), KnownBrowser::Kind::Safari},
    {QLatin1StringView("arc"), QLatin1StringView("company.thebrowser.Browser"), QLatin1StringView("Arc"), KnownBrowser::Kind::Chromium},
    {QLatin1StringView("brave"), QLatin1StringView("com.brave.Browser"), QLatin1StringView("Brave Browser"), KnownBrowser::Kind::Chromium},
    {QLatin1StringView("edge"), QLatin1StringView("com.microsoft.edgemac"), QLatin1StringView("Microsoft Edge"),
     KnownBrowser::Kind::Chromium},
    {QLatin1StringView("opera"), QLatin1StringView("com.operasoftware.Opera"), QLatin1StringView("Opera"), KnownBrowser::Kind::Chromium},
    {QLatin1StringView("vivaldi"), QLatin1StringView("com.vivaldi.Vivaldi"), QLatin1StringView("Vivaldi"), KnownBrowser::Kind::Chromium},
    {QLatin1StringView("chromium"), QLatin1StringView("org.chromium.Chromium"), QLatin1StringView("Chromium"),
     KnownBrowser::Kind::Chromium},
    {QLatin1StringView("firefox"), QLatin1StringView("org.mozilla.firefox"), QLatin1StringView("Firefox"), KnownBrowser::Kind::Firefox},
    {QLatin1StringView("firefox-developer-edition"), QLatin1StringView("org.mozilla.firefoxdeveloperedition"),
     QLatin1StringView("Firefox Developer Edition"), KnownBrowser::Kind::Firefox},
    {QLatin1StringView("firefox-nightly"), QLatin1StringView("org.mozilla.nightly"), QLatin1StringView("Firefox Nightly"),
     KnownBrowser::Kind::Firefox},
    {QLatin1StringView("zen"), QLatin1StringView("app.zen-browser.zen"), QLatin1StringView("Zen Browser"), KnownBrowser::Kind::Firefox},
}};

// The supported browser with this id: exact, case-sensitive comparison.
[[nodiscard]] inline const KnownBrowser *findBrowser(QStringView id)
{
    const auto found
        = std::find_if(knownBrowsers.cbegin(), knownBrowsers.cend(), [id](const KnownBrowser &browser) { return id == browser.id; });
    return found == knownBrowsers.cend() ? nullptr : &*found;
}

// The supported browser shown under this name, as a detected tab names its browser.
[[nodiscard]] inline const KnownBrowser *findBrowserByName(QStringView appName)
{
    const auto found = std::find_if(knownBrowsers.cbegin(), knownBrowsers.cend(),
                                    [appName](const KnownBrowser &browser) { return appName == browser.appName; });
    return found == knownBrowsers.cend() ? nullptr : &*found;
}

[[nodiscard]] inline bool isSupportedBrowser(QStringView id)
{
    return findBrowser(id) != nullptr;
}
