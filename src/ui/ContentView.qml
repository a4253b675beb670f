import QtQuick
import QtQuick.Layouts
import Corvane

// The panel's root view: the rounded card with the header and, below it, the authentication
// card when signed out, otherwise the settings panel or the dashboard.
Item {
    id: root

    required property AppViewModel viewModel
    readonly property ThemePalette theme: ThemePalette {
        isDark: Appearance.isDark
    }

    // View state shared by the screens; everything else lives in the view model.
    readonly property ViewState viewState: ViewState {}

    // Set by the window: inside a window manager's frame or without a compositor the panel is
    // opaque and square.
    property bool rounded: true

    // The window stays transparent (and lets clicks through) below a card shorter than itself.
    readonly property alias cardHeight: card.height

    readonly property string currentScreen: !viewModel.isAuthenticated ? "authentication"
                                            : viewModel.showSettings ? "settings" : "dashboard"

    // Below a short card, where a composited window would be see-through.
    Rectangle {
        anchors.fill: parent
        visible: !root.rounded
        color: root.theme.windowBackground
    }

    Rectangle {
        id: card
        objectName: "panelCard"

        property bool hasStarted: false
        Component.onCompleted: Qt.callLater(() => hasStarted = true)

        readonly property real topPadding: 18
        readonly property real bottomPadding: root.viewModel.isAuthenticated ? 0 : 18

        width: Math.max(430, root.width)
        anchors.horizontalCenter: parent.horizontalCenter
        height: topPadding + content.implicitHeight + bottomPadding
        radius: root.rounded ? 24 : 0
        color: root.theme.windowBackground
        border.color: root.theme.border
        border.width: 1

        // Signed in, the card fills the window; signing in or out eases between the two
        // heights, while resizing the window is followed at once.
        states: State {
            when: root.viewModel.isAuthenticated
            PropertyChanges {
                target: card
                height: Math.max(520, root.height)
            }
        }
        transitions: Transition {
            // A session restored at start-up opens at full height straight away.
            enabled: card.hasStarted
            NumberAnimation {
                property: "height"
                duration: 280
                easing.type: Easing.OutCubic
            }
        }

        WindowFrameHandler {
            anchors.fill: parent
        }

        ColumnLayout {
            id: content
            anchors {
                fill: parent
                leftMargin: 14
                rightMargin: 14
                topMargin: card.topPadding
                bottomMargin: card.bottomPadding
            }
            spacing: 0

            HeaderView {
                objectName: "headerView"
                Layout.fillWidth: true
                Layout.bottomMargin: 4
                viewModel: root.viewModel
                theme: root.theme
            }

            Item {
                id: screens
                Layout.fillWidth: true
                Layout.fillHeight: true
                implicitHeight: [authentication, settings, dashboard].find(slot => slot.current)?.implicitHeight ?? 0

                ScreenSlot {
                    id: authentication
                    objectName: "authenticationSlot"
                    anchors.fill: parent
                    current: root.currentScreen === "authentication"
                    sourceComponent: AuthCardView {
                        objectName: "authCardView"
                        viewModel: root.viewModel
                        theme: root.theme
                        viewState: root.viewState
                    }
                }

                ScreenSlot {
                    id: settings
                    objectName: "settingsSlot"
                    anchors.fill: parent
                    current: root.currentScreen === "settings"
                    sourceComponent: SettingsView {
                        objectName: "settingsView"
                        viewModel: root.viewModel
                        theme: root.theme
                    }
                }

                ScreenSlot {
                    id: dashboard
                    objectName: "dashboardSlot"
                    anchors.fill: parent
                    current: root.currentScreen === "dashboard"
                    sourceComponent: DashboardView {
                        objectName: "dashboardView"
                        viewModel: root.viewModel
                        theme: root.theme
                        viewState: root.viewState
                    }
                }
            }
        }
    }
}
