import QtQuick
import QtQuick.Controls.Basic
import Corvane

// The settings switch: a 38 × 21 track with a white knob at the end that says on or off.
AbstractButton {
    id: toggle

    required property ThemePalette theme
    property bool isOn: false

    implicitWidth: 38
    implicitHeight: 21
    focusPolicy: Qt.TabFocus
    checkable: false
    checked: isOn
    Accessible.role: Accessible.CheckBox
    Accessible.checkable: true
    Accessible.checked: isOn

    background: Rectangle {
        radius: height / 2
        color: toggle.isOn ? toggle.theme.accent : toggle.theme.controlBackground
        border.color: toggle.visualFocus ? toggle.theme.accent : toggle.theme.border
        border.width: toggle.visualFocus ? 2 : 1
        Behavior on color { ColorAnimation { duration: 150; easing.type: Easing.InOutQuad } }
    }

    contentItem: Item {
        Rectangle {
            id: shadow
            x: knob.x
            y: knob.y + 1
            width: knob.width
            height: knob.height
            radius: width / 2
            color: Qt.rgba(0, 0, 0, 0.15)
        }

        Rectangle {
            id: knob
            objectName: "knob"
            width: 17
            height: 17
            radius: width / 2
            y: (toggle.height - height) / 2
            x: toggle.isOn ? toggle.width - width - 2 : 2
            color: "white"
            Behavior on x { NumberAnimation { duration: 150; easing.type: Easing.InOutQuad } }
        }
    }
}
