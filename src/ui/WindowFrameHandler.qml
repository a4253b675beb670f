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

    DragHandler {
        id: drag
        target: null
        onActiveChanged: {
            if (!active)
                return
            const edges = frame.edgesAt(drag.centroid.pressPosition)
            if (edges !== 0)
                frame.Window.window.startSystemResize(edges)
            else
                frame.Window.window.startSystemMove()
        }
    }
}
