import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic
import Corvane

// One saved website as a row of the compact list.
WebsiteItemFrame {
    id: row

    required property string title
    required property string url
    required property string domain
    required property string screenshotUrl
    required property bool isPinned

    onMenuKeyPressed: options.openMenu()

    implicitHeight: 62

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: 9
        anchors.rightMargin: 12
        spacing: 8
        visible: !row.isEditing

        AbstractButton {
            id: open
            objectName: "openWebsite"
            Layout.fillWidth: true
            Layout.fillHeight: true
            hoverEnabled: true
            focusPolicy: Qt.TabFocus
            Accessible.name: row.title
            Accessible.description: row.domain
            onClicked: WebsiteItemMenuHelper.openWebsite(row.url)

            background: Rectangle {
                radius: 12
                color: row.theme.primaryText
                opacity: open.pressed ? 0.08 : (open.hovered ? 0.04 : 0)
                border.color: row.theme.accent
                border.width: open.visualFocus ? 2 : 0
            }

            contentItem: RowLayout {
                spacing: 11

                WebsiteThumbnail {
                    Layout.preferredWidth: 44
                    Layout.preferredHeight: 44
                    radius: 12
                    theme: row.theme
                    websiteId: row.websiteId
                    screenshotUrl: row.screenshotUrl
                }

                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 2

                    Text {
                        objectName: "websiteTitle"
                        Layout.fillWidth: true
                        text: row.title
                        textFormat: Text.PlainText
                        font.pixelSize: 13
                        font.weight: Font.DemiBold
                        color: row.theme.primaryText
                        elide: Text.ElideRight
                        maximumLineCount: 1
                    }

                    Text {
                        Layout.fillWidth: true
                        text: row.domain
                        textFormat: Text.PlainText
                        font.pixelSize: 11
                        color: row.theme.tertiaryText
                        elide: Text.ElideRight
                        maximumLineCount: 1
                    }
                }
            }
        }

        PinBadge {
            objectName: "pinBadge"
            visible: row.isPinned
            theme: row.theme
            symbolSize: 10.5
            horizontalPadding: 6
        }

        OptionsButton {
            id: options
            objectName: "optionsButton"
            theme: row.theme
            websiteId: row.websiteId
            title: row.title
            isPinned: row.isPinned
        }
    }

    Loader {
        active: row.isEditing
        anchors.fill: parent
        anchors.leftMargin: 12
        anchors.rightMargin: 12
        sourceComponent: TitleEditor {
            objectName: "titleEditor"
            theme: row.theme
            viewState: row.viewState
            library: row.library
            compact: true
        }
    }
}
