import QtQuick
import Corvane

// The signed-in address in a capsule: an avatar letter and the address cut to one line, whole
// in the tooltip.
Rectangle {
    id: chip

    required property ThemePalette theme
    required property string email
    property bool isWideLayout: false

    readonly property real maximumAddressWidth: isWideLayout ? 160 : 75
    readonly property string toolTipText: email

    implicitWidth: 4 + row.implicitWidth + 8
    implicitHeight: row.implicitHeight + 8
    radius: height / 2
    color: theme.cardBackground
    border.color: theme.border
    border.width: 1

    Row {
        id: row
        x: 4
        anchors.verticalCenter: parent.verticalCenter
        spacing: 6

        Rectangle {
            objectName: "headerAvatar"
            width: 20
            height: 20
            radius: 10
            color: chip.theme.inverseBackground

            Text {
                objectName: "headerAvatarLetter"
                anchors.centerIn: parent
                text: DisplayText.avatarLetter(chip.email)
                textFormat: Text.PlainText
                font.pixelSize: 11
                font.bold: true
                color: chip.theme.inverseText
            }
        }

        Text {
            id: address
            objectName: "headerEmailText"
            anchors.verticalCenter: parent.verticalCenter
            width: Math.min(implicitWidth, chip.maximumAddressWidth)
            text: chip.email
            textFormat: Text.PlainText
            font.pixelSize: 11
            font.weight: Font.Medium
            color: chip.theme.secondaryText
            elide: Text.ElideRight
            horizontalAlignment: Text.AlignLeft
            Behavior on width { NumberAnimation { duration: 350; easing.type: Easing.OutCubic } }
        }
    }

    HoverHandler {
        id: hover
    }

    PanelToolTip {
        theme: chip.theme
        text: chip.toolTipText
        visible: hover.hovered
    }
}
