import QtQuick
import QtQuick.Controls.Basic
import Corvane

// The list's small scroller: a thin handle that ends 24 points above the bottom edge.
ScrollBar {
    id: bar

    required property ThemePalette theme

    policy: ScrollBar.AsNeeded
    minimumSize: 0.06
    topPadding: 2
    bottomPadding: 24
    leftPadding: 3
    rightPadding: 3

    contentItem: Rectangle {
        implicitWidth: 5
        implicitHeight: 40
        radius: width / 2
        color: bar.theme.tertiaryText
        opacity: bar.pressed ? 0.9 : (bar.active ? 0.6 : 0)
        Behavior on opacity { NumberAnimation { duration: 200 } }
    }
}
