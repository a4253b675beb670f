import QtQuick
import QtQuick.Layouts
import QtQuick.Shapes
import Corvane

// What the list shows when nothing is there to show: an empty library, a search without hits, or
// a library still being read from disk at start.
Item {
    id: card

    required property ThemePalette theme
    property bool isSearching: false
    property bool isLoading: false

    implicitHeight: column.implicitHeight + 56

    Rectangle {
        anchors.fill: parent
        radius: 18
        color: card.theme.cardBackground
    }

    // A dashed outline along the rounded edge.
    Shape {
        anchors.fill: parent
        antialiasing: true

        ShapePath {
            strokeColor: card.theme.border
            strokeWidth: 1
            strokeStyle: ShapePath.DashLine
            dashPattern: [5, 5]
            fillColor: "transparent"
            startX: 18.5
            startY: 0.5

            PathLine { x: card.width - 18.5; y: 0.5 }
            PathArc { x: card.width - 0.5; y: 18.5; radiusX: 18; radiusY: 18 }
            PathLine { x: card.width - 0.5; y: card.height - 18.5 }
            PathArc { x: card.width - 18.5; y: card.height - 0.5; radiusX: 18; radiusY: 18 }
            PathLine { x: 18.5; y: card.height - 0.5 }
            PathArc { x: 0.5; y: card.height - 18.5; radiusX: 18; radiusY: 18 }
            PathLine { x: 0.5; y: 18.5 }
            PathArc { x: 18.5; y: 0.5; radiusX: 18; radiusY: 18 }
        }
    }

    ColumnLayout {
        id: column
        anchors.centerIn: parent
        width: parent.width - 32
        spacing: 6

        SymbolIcon {
            Layout.alignment: Qt.AlignHCenter
            visible: !card.isLoading
            name: "bookmark"
            size: 22
            color: card.theme.tertiaryText
        }

        SymbolIcon {
            objectName: "loadingIndicator"
            Layout.alignment: Qt.AlignHCenter
            visible: card.isLoading
            name: "arrow.triangle.2.circlepath"
            size: 22
            color: card.theme.tertiaryText

            RotationAnimator on rotation {
                running: card.isLoading
                from: 0
                to: 360
                duration: 1200
                loops: Animation.Infinite
            }
        }

        Text {
            objectName: "emptyTitle"
            Layout.fillWidth: true
            Layout.topMargin: 2
            text: card.isLoading ? qsTr("Loading your websites…") : card.isSearching ? qsTr("No matching websites") : qsTr("No saved websites yet")
            font.pixelSize: 14
            font.weight: Font.DemiBold
            color: card.theme.primaryText
            horizontalAlignment: Text.AlignHCenter
        }

        Text {
            objectName: "emptyLine"
            Layout.fillWidth: true
            visible: !card.isLoading
            text: card.isSearching ? qsTr("Try a different search term.") : qsTr("Click \"+ Save\" above to bookmark your first website.")
            font.pixelSize: 12
            color: card.theme.tertiaryText
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
        }
    }
}
