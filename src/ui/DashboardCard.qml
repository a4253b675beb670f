import QtQuick
import QtQuick.Layouts
import Corvane

// The frame of the dashboard's top card, whether it shows the tab or asks for browser access.
Rectangle {
    id: card

    required property ThemePalette theme
    default property alias content: column.data

    implicitHeight: column.implicitHeight + 24
    radius: 10
    color: theme.cardBackground
    border.color: theme.border
    border.width: 1
    clip: true

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.leftMargin: 14
        anchors.rightMargin: 14
        anchors.topMargin: 12
        anchors.bottomMargin: 12
        spacing: 10
    }
}
