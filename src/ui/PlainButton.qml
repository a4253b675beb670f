import QtQuick
import QtQuick.Controls.Basic
import Corvane

// A borderless button with an optional symbol, a label and a filled capsule behind them; the
// building block of the panel's pills and capsules.
AbstractButton {
    id: button

    required property ThemePalette theme
    property string symbol
    property real symbolSize: 11
    property real textSize: 11
    property int textWeight: Font.DemiBold
    property color foreground: theme.primaryText
    property color fill: theme.controlBackground
    property color outline: "transparent"
    property real radius: height / 2
    property string toolTipText
    property bool busy: false

    horizontalPadding: 12
    verticalPadding: 5
    spacing: 4
    hoverEnabled: true
    focusPolicy: Qt.TabFocus
    Accessible.name: text
    opacity: enabled || busy ? 1 : 0.5

    contentItem: Item {
        implicitWidth: row.implicitWidth
        implicitHeight: row.implicitHeight

        Row {
            id: row
            anchors.centerIn: parent
            spacing: button.spacing

            BusyIndicator {
                objectName: "busyIndicator"
                visible: button.busy
                running: visible
                width: 16
                height: 16
                padding: 0
                anchors.verticalCenter: parent.verticalCenter
            }

            SymbolIcon {
                visible: button.symbol !== "" && !button.busy
                name: button.symbol
                size: button.symbolSize
                font.weight: button.textWeight
                color: button.foreground
                anchors.verticalCenter: parent.verticalCenter
            }

            Text {
                visible: text !== ""
                text: button.text
                textFormat: Text.PlainText
                font.pixelSize: Math.round(button.textSize)
                font.weight: button.textWeight
                color: button.foreground
                anchors.verticalCenter: parent.verticalCenter
            }
        }
    }

    background: Rectangle {
        radius: button.radius
        color: button.fill
        border.color: button.outline
        border.width: button.outline.a > 0 ? 1 : 0
        opacity: button.pressed ? 0.8 : 1
        Behavior on color { ColorAnimation { duration: 180; easing.type: Easing.InOutQuad } }

        Rectangle {
            anchors.fill: parent
            radius: parent.radius
            color: button.theme.primaryText
            opacity: button.hovered ? 0.05 : 0
        }

        Rectangle {
            anchors.fill: parent
            anchors.margins: -2
            radius: parent.radius + 2
            color: "transparent"
            border.color: button.theme.accent
            border.width: 2
            visible: button.visualFocus
        }
    }

    PanelToolTip {
        objectName: "toolTip"
        theme: button.theme
        text: button.toolTipText
        visible: button.hovered && text !== ""
    }
}
