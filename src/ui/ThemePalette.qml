import QtQuick

// The colours every view draws with, in the light and the dark appearance.
QtObject {
    property bool isDark: false

    readonly property color windowBackground: isDark ? Qt.rgba(0.122, 0.125, 0.137, 1) : Qt.rgba(0.906, 0.906, 0.918, 1)
    readonly property color cardBackground: isDark ? Qt.rgba(0.161, 0.165, 0.176, 1) : Qt.rgba(0.941, 0.941, 0.949, 1)
    readonly property color controlBackground: isDark ? Qt.rgba(0.208, 0.212, 0.227, 1) : Qt.rgba(0.855, 0.855, 0.871, 1)
    readonly property color fieldBackground: isDark ? Qt.rgba(0.125, 0.129, 0.141, 1) : Qt.rgba(0.886, 0.886, 0.902, 1)
    readonly property color inverseBackground: isDark ? Qt.rgba(0.831, 0.839, 0.847, 1) : Qt.rgba(0.169, 0.169, 0.184, 1)
    readonly property color inverseText: isDark ? Qt.rgba(0.122, 0.125, 0.137, 1) : Qt.rgba(0.961, 0.961, 0.969, 1)
    readonly property color border: isDark ? Qt.rgba(1, 1, 1, 0.08) : Qt.rgba(0, 0, 0, 0.07)
    readonly property color primaryText: isDark ? Qt.rgba(0.89, 0.89, 0.89, 1) : Qt.rgba(0.122, 0.122, 0.122, 1)
    readonly property color secondaryText: isDark ? Qt.rgba(0.604, 0.627, 0.651, 1) : Qt.rgba(0.322, 0.322, 0.357, 1)
    readonly property color tertiaryText: isDark ? Qt.rgba(0.459, 0.482, 0.502, 1) : Qt.rgba(0.557, 0.557, 0.576, 1)
    readonly property color strongOutline: isDark ? Qt.rgba(0.784, 0.796, 0.812, 1) : Qt.rgba(0.278, 0.278, 0.278, 1)
    readonly property color accent: Qt.rgba(0.063, 0.725, 0.506, 1)
    readonly property color danger: Qt.rgba(0.937, 0.267, 0.267, 1)
    readonly property color dangerFill: isDark ? Qt.rgba(0.949, 0.545, 0.51, 1) : Qt.rgba(0.937, 0.267, 0.267, 1)
}
