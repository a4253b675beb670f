import QtQuick
import QtQuick.Controls.Basic
import Corvane

// The full-width qsTr("Show more") under a list cut to its visible limit.
AbstractButton {
    id: button

    required property ThemePalette theme

    implicitHeight: label.implicitHeight + 18
    hoverEnabled: true
    focusPolicy: Qt.TabFocus
    text: qsTr("Show more")
    Accessible.name: text

    contentItem: Text {
        id: label
        text: button.text
        textFormat: Text.PlainText
        font.pixelSize: 12
        font.weight: Font.DemiBold
        color: button.theme.secondaryText
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    background: Rectangle {
        radius: 12
        color: button.theme.cardBackground
        border.color: button.visualFocus ? button.theme.accent : button.theme.border
        border.width: button.visualFocus ? 2 : 1
        opacity: button.pressed ? 0.8 : 1

        Rectangle {
            anchors.fill: parent
            radius: parent.radius
            color: button.theme.primaryText
            opacity: button.hovered ? 0.04 : 0
        }
    }
}
