import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic
import Corvane

// One saved website as a square card of the grid.
WebsiteItemFrame {
    id: card

    required property string title
    required property string url
    required property string domain
    required property string screenshotUrl
    required property bool isPinned

    onMenuKeyPressed: options.openMenu()

    AbstractButton {
        id: open
        objectName: "openWebsite"
        visible: !card.isEditing
        anchors.fill: parent
        hoverEnabled: true
        focusPolicy: Qt.TabFocus
        Accessible.name: card.title
        Accessible.description: card.domain
        onClicked: WebsiteItemMenuHelper.openWebsite(card.url)

        background: Rectangle {
            radius: card.radius
            color: card.theme.primaryText
            opacity: open.pressed ? 0.08 : (open.hovered ? 0.04 : 0)
            border.color: card.theme.accent
            border.width: open.visualFocus ? 2 : 0
        }

        contentItem: ColumnLayout {
            spacing: 0

            WebsiteThumbnail {
                Layout.alignment: Qt.AlignHCenter
                Layout.topMargin: 22
                Layout.preferredWidth: 48
                Layout.preferredHeight: 48
                radius: 14
                theme: card.theme
                websiteId: card.websiteId
                screenshotUrl: card.screenshotUrl
            }

            Text {
                objectName: "websiteTitle"
                Layout.fillWidth: true
                Layout.topMargin: 10
                Layout.leftMargin: 12
                Layout.rightMargin: 12
                text: card.title
                textFormat: Text.PlainText
                font.pixelSize: 12
                font.weight: Font.DemiBold
                color: card.theme.primaryText
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
            }

            Text {
                Layout.fillWidth: true
                Layout.topMargin: 3
                Layout.leftMargin: 12
                Layout.rightMargin: 12
                text: card.domain
                textFormat: Text.PlainText
                font.pixelSize: 10
                color: card.theme.tertiaryText
                horizontalAlignment: Text.AlignHCenter
                elide: Text.ElideRight
                maximumLineCount: 1
            }

            Item {
                Layout.fillHeight: true
            }
        }

        PanelToolTip {
            theme: card.theme
            text: qsTr("Open %1").arg(card.url)
            visible: open.hovered
        }
    }

    PinBadge {
        objectName: "pinBadge"
        visible: card.isPinned && !card.isEditing
        x: 10
        y: 10
        theme: card.theme
    }

    OptionsButton {
        id: options
        objectName: "optionsButton"
        visible: !card.isEditing
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: 8
        theme: card.theme
        websiteId: card.websiteId
        title: card.title
        isPinned: card.isPinned
    }

    Loader {
        active: card.isEditing
        anchors.fill: parent
        anchors.margins: 12
        sourceComponent: TitleEditor {
            objectName: "titleEditor"
            theme: card.theme
            viewState: card.viewState
            library: card.library
        }
    }
}
