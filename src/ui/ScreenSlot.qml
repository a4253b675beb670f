import QtQuick

// Holds one of the panel's screens: it exists while it is the current one or still fading out,
// and enters and leaves with a fade and a slight scale about its centre.
Loader {
    id: slot

    property bool current: false

    active: current || opacity > 0
    visible: active
    // A screen that is fading out takes no clicks or keys meant for the one coming in.
    enabled: current
    opacity: current ? 1 : 0
    scale: current ? 1 : 0.98

    Behavior on opacity { NumberAnimation { duration: 240; easing.type: Easing.OutCubic } }
    Behavior on scale { NumberAnimation { duration: 240; easing.type: Easing.OutCubic } }
}
