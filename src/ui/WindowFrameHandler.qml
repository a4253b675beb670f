import QtQuick

// Lets the frameless panel be moved by dragging its background and resized from its edges;
// the window system does the actual moving and resizing.
Item {
    id: frame

    property real grip: 6

    function edgesAt(point) {
        let edges = 0
        if (point.x < grip)
            edges |= Qt.LeftEdge
        if (point.x > width - grip)
            edges |= Qt.RightEdge
        if (point.y < grip)
            edges |= Qt.TopEdge
        if (point.y > height - grip)
            edges |= Qt.BottomEdge
        return edges
    }

    function cursorFor(edges) {
        switch (edges) {
        case Qt.LeftEdge:
        case Qt.RightEdge:
            return Qt.SizeHorCursor
        case Qt.TopEdge:
        case Qt.BottomEdge:
            return Qt.SizeVerCursor
        case Qt.LeftEdge | Qt.TopEdge:
        case Qt.RightEdge | Qt.BottomEdge:
            return Qt.SizeFDiagCursor
        case Qt.RightEdge | Qt.TopEdge:
        case Qt.LeftEdge | Qt.BottomEdge:
            return Qt.SizeBDiagCursor
        }
        return Qt.ArrowCursor
    }

    HoverHandler {
        id: hover
        cursorShape: frame.cursorFor(frame.edgesAt(hover.point.position))
    }

    // A mouse area rather than a drag handler: the window manager keeps the release of a move to
    // itself, and a drag handler then takes the next press anywhere for a drag from a stale
    // press position, so the header buttons lose their clicks to a resize from the corner.
    MouseArea {
        id: mouse

        property point pressedAt
        property bool handedOver: false

        anchors.fill: parent
        onPressed: event => {
            pressedAt = Qt.point(event.x, event.y)
            handedOver = false
        }
        onPositionChanged: event => {
            if (handedOver || Math.hypot(event.x - pressedAt.x, event.y - pressedAt.y) < Qt.styleHints.startDragDistance)
                return
            handedOver = true
            const edges = frame.edgesAt(pressedAt)
            if (edges !== 0)
                frame.Window.window.startSystemResize(edges)
            else
                frame.Window.window.startSystemMove()
        }
    }
}
