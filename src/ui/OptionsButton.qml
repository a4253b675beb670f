import QtQuick
import QtQuick.Controls.Basic
import Corvane

// The "…" button that opens a website's native menu.
AbstractButton {
    id: button

    required property ThemePalette theme
    property var websiteId
    property string title
    property bool isPinned: false

    implicitWidth: 24
    implicitHeight: 24
    hoverEnabled: true
    focusPolicy: Qt.TabFocus
    Accessible.name: qsTr("Options for %1").arg(title)
    onClicked: openMenu()

    function openMenu() {
        const corner = mapToGlobal(0, height + 2)
        WebsiteItemMenuHelper.showMenu(websiteId, title, isPinned, corner)
    }

    background: Rectangle {
        radius: width / 2
        color: button.theme.controlBackground
        opacity: button.hovered ? 1 : 0.8
        border.color: button.theme.accent
        border.width: button.visualFocus ? 2 : 0
    }

    contentItem: SymbolIcon {
        name: "ellipsis"
        size: 11
        font.bold: true
        color: button.theme.tertiaryText
    }

    PanelToolTip {
        theme: button.theme
        text: qsTr("Options")
        visible: button.hovered
    }
}
