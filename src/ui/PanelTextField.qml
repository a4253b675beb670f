import QtQuick
import QtQuick.Controls.Basic
import Corvane

// A plain text field: no frame of its own, the panel's colours, and a placeholder that stays
// readable in both appearances.
TextField {
    id: field

    required property ThemePalette theme
    property real textSize: 13

    font.pixelSize: Math.round(textSize)
    color: theme.primaryText
    placeholderTextColor: theme.tertiaryText
    selectionColor: Qt.rgba(theme.accent.r, theme.accent.g, theme.accent.b, 0.35)
    selectedTextColor: theme.primaryText
    padding: 0
    leftPadding: 0
    rightPadding: 0
    verticalAlignment: TextInput.AlignVCenter
    selectByMouse: true
    background: null
    // The placeholder is the only label a field shows.
    Accessible.name: placeholderText
}
