import QtQuick
import QtQuick.Controls.Basic

// The small help bubble shown after hovering a control for a moment.
ToolTip {
    id: tip

    required property ThemePalette theme

    delay: 600
    timeout: 6000
    padding: 6
    contentItem: Text {
        text: tip.text
        textFormat: Text.PlainText
        font.pixelSize: 11
        color: tip.theme.primaryText
        wrapMode: Text.Wrap
    }
    background: Rectangle {
        radius: 6
        color: tip.theme.cardBackground
        border.color: tip.theme.border
        border.width: 1
    }
}
