import QtQuick
import QtQuick.Controls.Basic
import Corvane

// Text that acts as a link: no frame, underlined while hovered.
AbstractButton {
    id: link

    required property ThemePalette theme
    property real textSize: 12

    hoverEnabled: true
    focusPolicy: Qt.TabFocus
    padding: 2
    Accessible.role: Accessible.Link
    Accessible.name: text

    contentItem: Text {
        text: link.text
        textFormat: Text.PlainText
        font.pixelSize: Math.round(link.textSize)
        font.weight: Font.Medium
        font.underline: link.hovered || link.visualFocus
        color: link.pressed ? link.theme.primaryText : link.theme.secondaryText
    }
}
