import QtQuick
import Corvane

// A symbol by name, drawn from the icon font at roughly the optical size of text of `size`.
Text {
    id: icon

    property string name
    property real size: 13

    text: SymbolGlyphs.glyph(name)
    font.family: SymbolGlyphs.fontFamily
    font.pixelSize: Math.round(size * 1.25)
    horizontalAlignment: Text.AlignHCenter
    verticalAlignment: Text.AlignVCenter
    renderType: Text.QtRendering

    Rectangle {
        visible: SymbolGlyphs.isStruckThrough(icon.name)
        anchors.centerIn: parent
        width: icon.font.pixelSize * 1.1
        height: Math.max(1.5, icon.font.pixelSize / 10)
        radius: height / 2
        rotation: -45
        color: icon.color
    }
}
