import QtQuick
import Corvane

// A website's thumbnail on its tile: the stored picture once the local store has it (memory, then
// disk, then a download), the logo until then or when there is none.
Rectangle {
    id: tile

    required property ThemePalette theme
    property var websiteId
    property string screenshotUrl

    color: theme.controlBackground

    Image {
        id: picture
        objectName: "thumbnailImage"
        anchors.fill: parent
        anchors.margins: 6
        asynchronous: true
        fillMode: Image.PreserveAspectFit
        smooth: true
        sourceSize: Qt.size(width * Screen.devicePixelRatio, height * Screen.devicePixelRatio)
        source: Thumbnails.source(tile.websiteId, tile.screenshotUrl)
        readonly property bool hasPicture: status === Image.Ready && implicitWidth > 0
        visible: hasPicture
    }

    OriginalLogoImageView {
        objectName: "thumbnailLogo"
        anchors.centerIn: parent
        width: 22
        height: 22
        visible: !picture.hasPicture
        isDark: tile.theme.isDark
        fallbackColor: tile.theme.tertiaryText
    }
}
