import QtQuick
import QtQuick.Layouts
import Corvane

// Shown while browser access is paused: what reading tabs is for, "Allow", and what the platform
// needs beside it (macOS: two system settings; elsewhere: the browser add-on's bridge).
DashboardCard {
    id: card

    required property BrowserCapture capture
    required property BrowserConnections connections

    RowLayout {
        Layout.fillWidth: true
        spacing: 10

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 3

            Row {
                spacing: 5

                SymbolIcon {
                    name: "lock.shield.fill"
                    size: 11
                    color: card.theme.accent
                    anchors.verticalCenter: parent.verticalCenter
                }

                Text {
                    text: qsTr("PRIVACY & BROWSER PERMISSION")
                    font.pixelSize: 10
                    font.weight: Font.DemiBold
                    color: card.theme.secondaryText
                    anchors.verticalCenter: parent.verticalCenter
                }
            }

            Text {
                objectName: "permissionTitle"
                Layout.fillWidth: true
                text: qsTr("Allow Open Browser Access")
                font.pixelSize: 14
                font.weight: Font.DemiBold
                color: card.theme.primaryText
                elide: Text.ElideRight
            }

            Text {
                objectName: "supportedBrowsers"
                Layout.fillWidth: true
                text: DisplayText.supportedBrowsers
                font.pixelSize: 11
                color: card.theme.secondaryText
                wrapMode: Text.WordWrap
                maximumLineCount: 2
                elide: Text.ElideRight
            }
        }

        PlainButton {
            objectName: "allowButton"
            theme: card.theme
            horizontalPadding: 15
            verticalPadding: 9
            spacing: 5
            symbol: "checkmark.shield.fill"
            symbolSize: 12
            text: qsTr("Allow")
            textSize: 13
            foreground: "white"
            fill: card.theme.accent
            toolTipText: qsTr("Grant permission to read active browser tabs")
            onClicked: card.capture.setBrowserPermission(true)
        }
    }

    SettingsShortcuts {
        visible: DisplayText.hasSystemPrivacySettings
        capture: card.capture
        theme: card.theme
    }

    BridgeChips {
        visible: !DisplayText.hasSystemPrivacySettings
        Layout.fillWidth: true
        connections: card.connections
        theme: card.theme
    }
}
