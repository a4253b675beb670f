import QtQuick
import Corvane

// The signed-in dashboard: the active tab, the search row and the saved websites.
Item {
    required property AppViewModel viewModel
    required property ThemePalette theme
}
