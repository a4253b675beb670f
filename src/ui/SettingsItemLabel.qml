import QtQuick
import QtQuick.Layouts

// The title of a settings item with a note under it.
ColumnLayout {
    id: label

    required property ThemePalette theme
    property string title
    property string note
    property color noteColor: theme.tertiaryText

    spacing: 2

    Text {
        Layout.fillWidth: true
        text: label.title
        textFormat: Text.PlainText
        font.pixelSize: 13
        font.weight: Font.DemiBold
        color: label.theme.primaryText
        elide: Text.ElideRight
    }

    Text {
        objectName: label.objectName + "Note"
        Layout.fillWidth: true
        visible: text !== ""
        text: label.note
        textFormat: Text.PlainText
        font.pixelSize: 11
        color: label.noteColor
        elide: Text.ElideRight
    }
}
