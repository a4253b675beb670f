import QtQuick

// Folds its one child open and shut by animating the height it asks for.
Item {
    id: reveal

    property bool shown: false
    default property alias content: holder.data
    property int duration: 180

    implicitHeight: shown ? holder.childrenRect.height : 0
    clip: true
    visible: implicitHeight > 0
    Behavior on implicitHeight { NumberAnimation { duration: reveal.duration; easing.type: Easing.InOutQuad } }

    Item {
        id: holder
        width: reveal.width
        height: childrenRect.height
    }
}
