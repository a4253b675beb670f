import QtQuick
import QtQuick.Layouts
import Corvane

// One field of the authentication card: a symbol, the text and, for the password, the eye that
// shows or hides it, in a rounded, stroked frame.
Rectangle {
    id: frame

    required property ThemePalette theme
    property string symbol
    property string placeholder
    property string value
    property bool secret: false
    property bool revealed: false
    property bool hasEyeButton: false
    readonly property alias input: input

    signal edited(string text)
    signal accepted()
    signal eyeToggled()

    implicitHeight: 40
    radius: 10
    color: theme.fieldBackground
    border.width: 1
    border.color: input.activeFocus ? Qt.rgba(theme.accent.r, theme.accent.g, theme.accent.b, 0.7) : theme.border
    Behavior on border.color { ColorAnimation { duration: 150 } }

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: 12
        anchors.rightMargin: 10
        spacing: 9

        SymbolIcon {
            name: frame.symbol
            size: 13
            color: frame.theme.secondaryText
            Layout.preferredWidth: 18
        }

        PanelTextField {
            id: input
            objectName: frame.objectName + "Input"
            theme: frame.theme
            Layout.fillWidth: true
            Layout.fillHeight: true
            textSize: 13
            text: frame.value
            placeholderText: frame.placeholder
            echoMode: frame.secret && !frame.revealed ? TextInput.Password : TextInput.Normal
            onTextEdited: frame.edited(text)
            onAccepted: frame.accepted()
        }

        SymbolButton {
            objectName: frame.objectName + "Eye"
            visible: frame.hasEyeButton
            theme: frame.theme
            symbol: frame.revealed ? "eye.slash" : "eye"
            symbolSize: 13
            text: frame.revealed ? qsTr("Hide password") : qsTr("Show password")
            onClicked: frame.eyeToggled()
        }
    }
}
