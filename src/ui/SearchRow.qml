import QtQuick
import QtQuick.Layouts
import Corvane

// The search field with its clear button, and the number of websites in the whole library.
RowLayout {
    id: row

    required property Library library
    required property ThemePalette theme

    spacing: 8

    Rectangle {
        Layout.fillWidth: true
        implicitHeight: 36
        radius: 10
        color: row.theme.cardBackground
        border.color: search.activeFocus ? Qt.rgba(row.theme.accent.r, row.theme.accent.g, row.theme.accent.b, 0.6) : row.theme.border
        border.width: 1
        clip: true

        RowLayout {
            anchors.fill: parent
            anchors.leftMargin: 13
            anchors.rightMargin: 13
            spacing: 8

            SymbolIcon {
                name: "magnifyingglass"
                size: 13
                color: row.theme.secondaryText
            }

            PanelTextField {
                id: search
                objectName: "searchInput"
                theme: row.theme
                Layout.fillWidth: true
                Layout.fillHeight: true
                textSize: 12.5
                placeholderText: qsTr("Search saved websites...")
                text: row.library.searchQuery
                onTextEdited: row.library.searchQuery = text
            }

            SymbolButton {
                objectName: "clearSearch"
                visible: row.library.searchQuery !== ""
                theme: row.theme
                symbol: "xmark.circle.fill"
                symbolSize: 13
                text: qsTr("Clear search")
                onClicked: row.library.searchQuery = ""
            }
        }
    }

    Rectangle {
        objectName: "websiteCountBadge"
        implicitWidth: Math.max(36, count.implicitWidth + 24)
        implicitHeight: 36
        radius: 10
        color: row.theme.cardBackground
        border.color: row.theme.border
        border.width: 1

        Text {
            id: count
            objectName: "websiteCount"
            anchors.centerIn: parent
            text: row.library.websiteCount
            font.pixelSize: 12
            font.weight: Font.DemiBold
            color: row.theme.secondaryText
        }
    }
}
