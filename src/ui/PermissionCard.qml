import QtQuick
import QtQuick.Layouts
import Corvane

// Shown while browser access is paused: what reading tabs is for, "Allow", and the two
// system settings it may need.
DashboardCard {
    id: card

    required property BrowserCapture capture

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
                    text: "PRIVACY & BROWSER PERMISSION"
                    font.pixelSize: 10
                    font.weight: Font.DemiBold
                    color: card.theme.secondaryText
                    anchors.verticalCenter: parent.verticalCenter
                }
            }

            Text {
                objectName: "permissionTitle"
                Layout.fillWidth: true
                text: "Allow Open Browser Access"
                font.pixelSize: 14
                font.weight: Font.DemiBold
                color: card.theme.primaryText
                elide: Text.ElideRight
            }

            Text {
                Layout.fillWidth: true
                text: "Safari, Chrome, Firefox, Arc, Brave, Edge"
                font.pixelSize: 11
                color: card.theme.secondaryText
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
            text: "Allow"
            textSize: 13
            foreground: "white"
            fill: card.theme.accent
            toolTipText: "Grant permission to read active browser tabs"
            onClicked: card.capture.setBrowserPermission(true)
        }
    }

    SettingsShortcuts {
        capture: card.capture
        theme: card.theme
    }
}
