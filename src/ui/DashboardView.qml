import QtQuick
import QtQuick.Layouts
import Corvane

// The signed-in dashboard: the active tab (or the request for browser access), the search row and
// the saved websites.
ColumnLayout {
    id: dashboard

    required property AppViewModel viewModel
    required property ThemePalette theme
    required property ViewState viewState

    readonly property BrowserCapture capture: viewModel.capture

    spacing: 10

    ActiveTabCard {
        objectName: "activeTabCard"
        visible: dashboard.capture.hasBrowserPermission
        Layout.fillWidth: true
        capture: dashboard.capture
        savedUrl: dashboard.viewModel.savedActiveTabUrl
        theme: dashboard.theme
    }

    PermissionCard {
        objectName: "permissionCard"
        visible: !dashboard.capture.hasBrowserPermission
        Layout.fillWidth: true
        capture: dashboard.capture
        connections: dashboard.viewModel.browserConnections
        theme: dashboard.theme
    }

    SearchRow {
        objectName: "searchRow"
        Layout.fillWidth: true
        library: dashboard.viewModel.library
        theme: dashboard.theme
    }

    WebsitesListView {
        objectName: "websitesListView"
        Layout.fillWidth: true
        Layout.fillHeight: true
        viewModel: dashboard.viewModel
        theme: dashboard.theme
        viewState: dashboard.viewState
    }
}
