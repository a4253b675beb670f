import QtQuick
import QtQuick.Layouts

Rectangle {
    required property ThemePalette theme

    Layout.fillWidth: true
    implicitHeight: 1
    color: theme.border
}
