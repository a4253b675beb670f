import QtQuick

// The small upper-case heading of a settings card.
Text {
    required property ThemePalette theme

    font.pixelSize: 10
    font.weight: Font.Black
    font.letterSpacing: 0.5
    font.capitalization: Font.AllUppercase
    color: theme.tertiaryText
}
