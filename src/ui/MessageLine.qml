import QtQuick
import QtQuick.Layouts

// A short sentence on a light tint of its own colour: an error or a confirmation.
Rectangle {
    id: line

    property alias text: label.text
    property color tint
    property color textColor: tint
    property real textSize: 12
    property real padding: 9

    implicitHeight: label.implicitHeight + 2 * padding
    radius: 8
    color: Qt.rgba(tint.r, tint.g, tint.b, 0.12)

    Text {
        id: label
        objectName: line.objectName + "Text"
        textFormat: Text.PlainText
        anchors.fill: parent
        anchors.margins: line.padding
        font.pixelSize: Math.round(line.textSize)
        font.weight: Font.Medium
        color: line.textColor
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignLeft
        verticalAlignment: Text.AlignVCenter
    }
}
