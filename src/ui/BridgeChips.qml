import QtQuick
import QtQuick.Layouts
import Corvane

// Where the system has no privacy settings to open: a chip with the browser bridge's state, which
// registers the bridge with the browsers, and one that unfolds what Corvane reads.
ColumnLayout {
    id: chips

    required property BrowserConnections connections
    required property ThemePalette theme

    spacing: 6

    // Wraps rather than widen the card: the chips' words are longer in some languages.
    Flow {
        Layout.fillWidth: true
        Layout.preferredWidth: 0
        spacing: 8

        PlainButton {
            objectName: "bridgeChip"
            theme: chips.theme
            symbol: chips.connections.summary === BrowserConnections.Connected ? "checkmark.circle.fill" : "puzzlepiece.extension.fill"
            symbolSize: 10
            textWeight: Font.DemiBold
            text: qsTr("Browser add-on: %1").arg(chips.connections.summaryText)
            textSize: 10.5
            foreground: chips.connections.summary === BrowserConnections.Connected ? chips.theme.accent : chips.theme.secondaryText
            verticalPadding: 5
            horizontalPadding: 10
            toolTipText: qsTr("Register Corvane's bridge with your browsers")
            onClicked: chips.connections.connectBrowsers()
        }

        PlainButton {
            objectName: "readsChip"
            theme: chips.theme
            symbol: "info.circle.fill"
            symbolSize: 10
            text: qsTr("What Corvane reads")
            textSize: 10.5
            foreground: chips.theme.secondaryText
            verticalPadding: 5
            horizontalPadding: 10
            onClicked: explanation.shown = !explanation.shown
        }
    }

    Reveal {
        id: explanation
        objectName: "readsExplanation"
        Layout.fillWidth: true

        Text {
            width: parent.width
            text: qsTr("Corvane reads the titles of your browser windows and your browsers' session and history files on this computer. With its browser add-on it also reads the active tab's address and title and, only when you save a page, that page's text. Nothing is sent anywhere but to your Corvane account.")
            wrapMode: Text.WordWrap
            font.pixelSize: 11
            color: chips.theme.secondaryText
        }
    }
}
