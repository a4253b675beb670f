import QtQuick
import Corvane

// The two small pills that open macOS's privacy settings for Automation and Accessibility.
Row {
    id: shortcuts

    required property BrowserCapture capture
    required property ThemePalette theme
    property real horizontalPadding: 10
    property real verticalPadding: 5
    property bool hasToolTips: true

    spacing: 8

    PlainButton {
        objectName: "automationSettings"
        theme: shortcuts.theme
        symbol: "gearshape.fill"
        symbolSize: 10
        textWeight: Font.DemiBold
        text: qsTr("macOS Automation")
        textSize: 10.5
        foreground: shortcuts.theme.secondaryText
        horizontalPadding: shortcuts.horizontalPadding
        verticalPadding: shortcuts.verticalPadding
        toolTipText: shortcuts.hasToolTips ? qsTr("Open macOS Privacy & Security -> Automation (Safari / Chrome / Arc / Brave)") : ""
        onClicked: shortcuts.capture.openSystemAutomationSettings()
    }

    PlainButton {
        objectName: "accessibilitySettings"
        theme: shortcuts.theme
        symbol: "hand.raised.fill"
        symbolSize: 10
        text: qsTr("Firefox Accessibility")
        textSize: 10.5
        foreground: shortcuts.theme.secondaryText
        horizontalPadding: shortcuts.horizontalPadding
        verticalPadding: shortcuts.verticalPadding
        toolTipText: shortcuts.hasToolTips ? qsTr("Open macOS Privacy & Security -> Accessibility (Required for Firefox URL bar)") : ""
        onClicked: shortcuts.capture.openSystemAccessibilitySettings()
    }
}
