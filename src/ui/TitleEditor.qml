import QtQuick
import QtQuick.Layouts
import Corvane

// The inline title editor of a card (caption above the field) or of a row (field and buttons on
// one line). Return or Save commits, Escape or Cancel leaves the title as it was.
GridLayout {
    id: editor

    required property ThemePalette theme
    required property ViewState viewState
    required property Library library
    property bool compact: false

    readonly property real buttonSize: compact ? 11 : 10.5

    columns: compact ? 2 : 1
    rowSpacing: 6
    columnSpacing: 6

    Component.onCompleted: field.forceActiveFocus()

    Text {
        visible: !editor.compact
        text: qsTr("Edit Title")
        font.pixelSize: 11
        font.bold: true
        color: editor.theme.secondaryText
    }

    Rectangle {
        Layout.fillWidth: true
        implicitHeight: 28
        radius: 7
        color: editor.theme.fieldBackground
        border.color: editor.theme.border
        border.width: 1

        PanelTextField {
            id: field
            objectName: "titleEditorInput"
            theme: editor.theme
            anchors.fill: parent
            anchors.leftMargin: 8
            anchors.rightMargin: 8
            textSize: editor.compact ? 12.5 : 11.5
            placeholderText: editor.compact ? qsTr("Website title") : qsTr("Title")
            text: editor.viewState.editingTitleText
            onTextEdited: editor.viewState.editingTitleText = text
            onAccepted: editor.viewState.commitEditing(editor.library)
            Keys.onEscapePressed: editor.viewState.cancelEditing()
        }
    }

    RowLayout {
        spacing: 6

        PlainButton {
            objectName: "titleEditorSave"
            theme: editor.theme
            text: qsTr("Save")
            textSize: editor.buttonSize
            horizontalPadding: 10
            verticalPadding: 4
            foreground: editor.theme.inverseText
            fill: editor.theme.inverseBackground
            onClicked: editor.viewState.commitEditing(editor.library)
        }

        PlainButton {
            objectName: "titleEditorCancel"
            theme: editor.theme
            text: qsTr("Cancel")
            textSize: editor.buttonSize
            horizontalPadding: 10
            verticalPadding: 4
            onClicked: editor.viewState.cancelEditing()
        }
    }
}
