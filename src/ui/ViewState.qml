import QtQuick

// What the root view keeps for itself: the password visibility switch and the inline title
// editor. Everything else is the view model's.
QtObject {
    property bool showPassword: false
    property var editingWebsiteId: undefined
    property string editingTitleText: ""

    // Moves the editor to a website; text typed for another one is dropped.
    function startEditing(websiteId, title) {
        editingTitleText = title
        editingWebsiteId = websiteId
    }

    function cancelEditing() {
        editingWebsiteId = undefined
    }

    // Closes the editor at once; the title changes when the backend has answered.
    function commitEditing(library) {
        const websiteId = editingWebsiteId
        const title = editingTitleText
        editingWebsiteId = undefined
        library.updateWebsiteTitle(websiteId, title)
    }
}
