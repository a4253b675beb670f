import QtQuick
import Corvane

// The small green capsule that marks a pinned website.
Rectangle {
    id: badge

    required property ThemePalette theme
    property real symbolSize: 9
    property real horizontalPadding: 5
    property real verticalPadding: 3

    implicitWidth: pin.implicitWidth + 2 * horizontalPadding
    implicitHeight: pin.implicitHeight + 2 * verticalPadding
    radius: height / 2
    color: Qt.rgba(theme.accent.r, theme.accent.g, theme.accent.b, 0.14)

    SymbolIcon {
        id: pin
        anchors.centerIn: parent
        name: "pin.fill"
        size: badge.symbolSize
        color: badge.theme.accent
        rotation: 35
    }
}
