import QtQuick
import QtQuick.Layouts
import Corvane

// One card of the settings panel: a column of its contents on the card background.
Rectangle {
    id: section

    required property ThemePalette theme
    property alias spacing: column.spacing
    default property alias content: column.data

    implicitHeight: column.implicitHeight + 22
    radius: 16
    color: theme.cardBackground
    border.color: theme.border
    border.width: 1

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 11
        spacing: 8
    }
}
