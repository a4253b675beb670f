#include "browserscripts.h"

using namespace Qt::StringLiterals;

namespace
{
// An AppleScript string literal.
QString quoted(const QString &text)
{
    QString escaped = text;
    escaped.replace(u'\\', "\\\\"_L1).replace(u'"', "\\\""_L1);
    return u'"' + escaped + u'"';
}

const QString pageTextExpression = u"document.body.innerText || document.body.textContent || ''"_s;

// The three steps shared by the Chromium and Safari dictionaries: the front tab if it shows a web
// page, else the first web page of any window, else the front tab whatever it shows.
QString dictionaryTabScript(const QString &appName, QLatin1StringView frontTab, QLatin1StringView titleProperty,
                            QLatin1StringView urlPresentTest)
{
    const QString isWebPage = "%1(URL of t) starts with \"http\""_L1.arg(urlPresentTest);
    const QString answer = "return (URL of t) & \"|||\" & (%1 of t)"_L1.arg(titleProperty);
    return "tell application %1\n"
           "    if (count of windows) > 0 then\n"
           "        try\n"
           "            set t to %2 of front window\n"
           "            if %3 then %4\n"
           "        end try\n"
           "        repeat with w in windows\n"
           "            repeat with t in tabs of w\n"
           "                try\n"
           "                    if %3 then %4\n"
           "                end try\n"
           "            end repeat\n"
           "        end repeat\n"
           "        try\n"
           "            set t to %2 of front window\n"
           "            %4\n"
           "        end try\n"
           "    end if\n"
           "end tell"_L1.arg(quoted(appName), frontTab, isWebPage, answer);
}

// An address field of the toolbar: a text field or combo box showing a web address or a host.
QString addressFieldTest(QLatin1StringView element)
{
    return "(role of %1 is \"AXTextField\" or role of %1 is \"AXComboBox\") and (value of %1) is not missing value"
           " and ((value of %1) starts with \"http\" or (value of %1) contains \".\")"_L1.arg(element);
}
}

namespace BrowserScripts
{
QString chromiumTabScript(const QString &appName)
{
    return dictionaryTabScript(appName, "active tab"_L1, "title"_L1, {});
}

QString safariTabScript(const QString &appName)
{
    return dictionaryTabScript(appName, "current tab"_L1, "name"_L1, "(URL of t) is not missing value and "_L1);
}

QString firefoxTabScript(const QString &appName)
{
    // A match among an element's children leaves only the children's loop, so a later element
    // can still replace it; a match of the element itself ends the toolbar's scan.
    return "tell application \"System Events\"\n"
           "    if exists process %1 then\n"
           "        tell process %1\n"
           "            if (count of windows) > 0 then\n"
           "                set pageTitle to name of front window\n"
           "                set foundURL to \"\"\n"
           "                try\n"
           "                    repeat with tb in toolbars of front window\n"
           "                        repeat with grp in UI elements of tb\n"
           "                            try\n"
           "                                if %2 then\n"
           "                                    set foundURL to value of grp\n"
           "                                    exit repeat\n"
           "                                end if\n"
           "                            end try\n"
           "                            repeat with subEl in UI elements of grp\n"
           "                                try\n"
           "                                    if %3 then\n"
           "                                        set foundURL to value of subEl\n"
           "                                        exit repeat\n"
           "                                    end if\n"
           "                                end try\n"
           "                            end repeat\n"
           "                        end repeat\n"
           "                    end repeat\n"
           "                end try\n"
           "                return foundURL & \"|||\" & pageTitle\n"
           "            end if\n"
           "        end tell\n"
           "    end if\n"
           "end tell"_L1.arg(quoted(appName), addressFieldTest("grp"_L1), addressFieldTest("subEl"_L1));
}

QString tabScript(const KnownBrowser &browser)
{
    const QString appName(browser.appName);
    switch (browser.kind) {
    case KnownBrowser::Kind::Chromium:
        return chromiumTabScript(appName);
    case KnownBrowser::Kind::Safari:
        return safariTabScript(appName);
    case KnownBrowser::Kind::Firefox:
        break;
    }
    return firefoxTabScript(appName);
}

QString safariTextScript()
{
    return "tell application \"Safari\"\n"
           "    try\n"
           "        set docText to (text of front document) as text\n"
           "        if length of docText > 10 then return docText\n"
           "    end try\n"
           "    try\n"
           "        return do JavaScript %1 in front document\n"
           "    end try\n"
           "end tell"_L1.arg(quoted(pageTextExpression));
}

QString chromiumTextScript(const QString &browserName)
{
    return "tell application %1\n"
           "    try\n"
           "        return execute front window's active tab javascript %2\n"
           "    end try\n"
           "end tell"_L1.arg(quoted(browserName), quoted(pageTextExpression));
}
}
