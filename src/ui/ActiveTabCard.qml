import QtQuick
import QtQuick.Layouts
import Corvane

// The tab the user is most likely looking at, with the manual address field and the save button.
DashboardCard {
    id: card

    required property BrowserCapture capture
    // The library's address of this page when it is saved already.
    property var savedUrl

    readonly property var tab: capture.activeTab
    readonly property bool saved: capture.showSavedCheckmark
    readonly property bool waiting: tab.isAddressPending ?? false

    RowLayout {
        Layout.fillWidth: true
        spacing: 10

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 3

            RowLayout {
                spacing: 6

                Rectangle {
                    width: 6
                    height: 6
                    radius: 3
                    color: card.theme.accent
                }

                Text {
                    objectName: "browserName"
                    text: (card.tab.browserName ?? "").toUpperCase()
                    textFormat: Text.PlainText
                    font.pixelSize: 10
                    font.bold: true
                    font.letterSpacing: 0.4
                    color: card.theme.secondaryText
                }

                SymbolButton {
                    objectName: "browserBadge"
                    theme: card.theme
                    symbol: "checkmark.shield.fill"
                    symbolSize: 11
                    foreground: card.theme.accent
                    implicitHeight: 16
                    toolTipText: qsTr("Browser access granted (Click to pause for privacy)")
                    text: toolTipText
                    onClicked: card.capture.setBrowserPermission(false)
                }
            }

            Text {
                objectName: "tabTitle"
                Layout.fillWidth: true
                text: card.tab.title ?? ""
                textFormat: Text.PlainText
                font.pixelSize: 14
                font.weight: Font.DemiBold
                color: card.theme.primaryText
                elide: Text.ElideRight
                maximumLineCount: 1
            }

            Text {
                objectName: "tabDomain"
                visible: (card.tab.url ?? "") !== "" || card.waiting
                Layout.fillWidth: true
                text: card.waiting ? qsTr("Waiting for the address…") : card.tab.domain ?? ""
                textFormat: Text.PlainText
                font.italic: card.waiting
                font.pixelSize: 12
                color: card.theme.secondaryText
                elide: Text.ElideRight
                maximumLineCount: 1
            }

            RowLayout {
                objectName: "alreadySaved"
                visible: card.savedUrl !== undefined
                spacing: 4

                SymbolIcon {
                    name: "checkmark"
                    size: 10
                    color: card.theme.accent
                }

                Text {
                    text: qsTr("Already in your library")
                    textFormat: Text.PlainText
                    font.pixelSize: 11
                    font.weight: Font.Medium
                    color: card.theme.accent
                }

                LinkButton {
                    objectName: "openSavedButton"
                    theme: card.theme
                    text: qsTr("Open")
                    textSize: 11
                    Accessible.name: qsTr("Open the saved page")
                    onClicked: WebsiteItemMenuHelper.openWebsite(card.savedUrl)
                }
            }
        }

        SymbolButton {
            objectName: "manualUrlToggle"
            theme: card.theme
            symbol: card.capture.showManualURLField ? "xmark" : "link.badge.plus"
            symbolSize: 13
            toolTipText: qsTr("Enter website URL manually")
            text: toolTipText
            onClicked: card.capture.showManualURLField = !card.capture.showManualURLField
        }

        PlainButton {
            objectName: "saveButton"
            theme: card.theme
            horizontalPadding: 16
            verticalPadding: 9
            spacing: 5
            symbol: card.saved ? "checkmark" : "plus"
            symbolSize: 12
            text: card.saved ? qsTr("Saved") : qsTr("Save")
            textSize: 13
            foreground: card.saved ? "white" : card.theme.inverseText
            fill: card.saved ? card.theme.accent : card.theme.inverseBackground
            enabled: !card.capture.isSavingTab && !card.capture.isSaveHeld
            scale: card.saved ? 1.04 : 1
            Behavior on scale { SpringAnimation { spring: 6; damping: 0.3; epsilon: 0.001 } }
            onClicked: card.capture.saveActiveWebsite()
        }
    }

    Reveal {
        objectName: "manualUrlRow"
        shown: card.capture.showManualURLField
        Layout.fillWidth: true

        Rectangle {
            width: parent.width
            implicitHeight: urlRow.implicitHeight + 14
            height: implicitHeight
            radius: 8
            color: card.theme.fieldBackground
            border.color: card.theme.border
            border.width: 1

            RowLayout {
                id: urlRow
                anchors.fill: parent
                anchors.leftMargin: 10
                anchors.rightMargin: 10
                spacing: 7

                SymbolIcon {
                    name: "link"
                    size: 12
                    color: card.theme.secondaryText
                }

                PanelTextField {
                    objectName: "manualUrlInput"
                    theme: card.theme
                    Layout.fillWidth: true
                    textSize: 12
                    placeholderText: qsTr("Paste a website address, e.g. https://www.example.com/article")
                    text: card.capture.customURLInput
                    onTextEdited: card.capture.customURLInput = text
                    onAccepted: card.capture.saveActiveWebsite()
                }

                Text {
                    objectName: "manualUrlError"
                    visible: card.capture.customURLError !== undefined
                    text: card.capture.customURLError ?? ""
                    textFormat: Text.PlainText
                    font.pixelSize: 11
                    font.weight: Font.Medium
                    color: card.theme.dangerFill
                }
            }
        }
    }
}
