import QtQuick
import QtQuick.Controls.Basic
import Corvane

// A symbol on its own as a plain button, with an optional tooltip.
AbstractButton {
    id: button

    required property ThemePalette theme
    property string symbol
    property real symbolSize: 13
    property int symbolWeight: Font.Normal
    property color foreground: theme.secondaryText
    property string toolTipText

    implicitWidth: Math.max(20, icon.implicitWidth + 4)
    implicitHeight: Math.max(20, icon.implicitHeight)
    hoverEnabled: true
    focusPolicy: Qt.TabFocus
    // Only a symbol shows, so the text is for screen readers alone.
    Accessible.name: text

    contentItem: Item {
        SymbolIcon {
            id: icon
            anchors.centerIn: parent
            name: button.symbol
            size: button.symbolSize
            font.weight: button.symbolWeight
            color: button.foreground
            opacity: button.pressed ? 0.6 : (button.hovered ? 0.85 : 1)
        }
    }

    background: Rectangle {
        radius: 4
        color: "transparent"
        border.color: button.theme.accent
        border.width: button.visualFocus ? 2 : 0
    }

    PanelToolTip {
        objectName: "toolTip"
        theme: button.theme
        text: button.toolTipText
        visible: button.hovered && text !== ""
    }
}
