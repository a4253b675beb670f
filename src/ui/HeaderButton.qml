import QtQuick
import QtQuick.Controls.Basic

// A round 28 × 28 button of the header with one symbol and a tooltip.
AbstractButton {
    id: button

    required property ThemePalette theme
    property string symbol
    property real symbolSize: 11
    property color symbolColor: theme.secondaryText
    property color fillColor: theme.cardBackground
    property string toolTipText

    implicitWidth: 28
    implicitHeight: 28
    focusPolicy: Qt.TabFocus
    hoverEnabled: true
    // Only a symbol shows; the tooltip says what the button does.
    Accessible.name: toolTipText
    scale: pressed ? 0.92 : (hovered ? 1.06 : 1)
    Behavior on scale { NumberAnimation { duration: 120; easing.type: Easing.OutQuad } }

    background: Rectangle {
        radius: width / 2
        color: button.fillColor
        border.color: button.visualFocus ? button.theme.accent : button.theme.border
        border.width: 1
        Behavior on color { ColorAnimation { duration: 180; easing.type: Easing.InOutQuad } }
    }

    contentItem: SymbolIcon {
        id: icon
        name: button.symbol
        size: button.symbolSize
        color: button.symbolColor
        Behavior on color { ColorAnimation { duration: 180; easing.type: Easing.InOutQuad } }
    }

    // A new symbol springs in rather than snapping.
    onSymbolChanged: symbolSwap.restart()
    NumberAnimation {
        id: symbolSwap
        target: icon
        property: "scale"
        from: 0.6
        to: 1
        duration: 350
        easing.type: Easing.OutBack
    }

    PanelToolTip {
        objectName: "toolTip"
        theme: button.theme
        text: button.toolTipText
        visible: button.hovered && text !== ""
    }
}
