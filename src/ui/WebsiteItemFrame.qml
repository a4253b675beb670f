import QtQuick
import Corvane

// What a website's card and row share: the rounded background, the outline that turns green for
// the website just saved, and the state of the inline editor.
Rectangle {
    id: frame

    required property ThemePalette theme
    required property ViewState viewState
    required property Library library
    required property var websiteId

    readonly property bool isEditing: viewState.editingWebsiteId === websiteId
    readonly property bool isNewest: library.lastAddedWebsiteId === websiteId

    // The menu key or Shift+F10 on the focused item, as in any list of the desktop.
    signal menuKeyPressed()

    Keys.onPressed: event => {
        if (event.key === Qt.Key_Menu || (event.key === Qt.Key_F10 && (event.modifiers & Qt.ShiftModifier))) {
            event.accepted = true
            menuKeyPressed()
        }
    }

    radius: 18
    color: theme.cardBackground
    border.width: 1
    border.color: isNewest ? theme.accent : theme.border
    Behavior on border.color { ColorAnimation { duration: 250 } }
}
