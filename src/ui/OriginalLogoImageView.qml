import QtQuick
import Corvane

// The application logo for an appearance, sized by whoever places it; a symbol when no
// artwork loads at all.
Item {
    id: logo

    property bool isDark: false
    property color fallbackColor: "gray"

    readonly property url source: OriginalLogo.imageUrl(isDark)

    Image {
        anchors.fill: parent
        visible: logo.source.toString() !== ""
        source: logo.source
        fillMode: Image.PreserveAspectFit
        smooth: true
        mipmap: true
    }

    SymbolIcon {
        anchors.centerIn: parent
        visible: logo.source.toString() === ""
        name: "checkmark.circle"
        size: Math.min(logo.width, logo.height) / 1.25
        color: logo.fallbackColor
    }
}
