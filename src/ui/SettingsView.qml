import QtQuick
import Corvane

// The settings panel: account, privacy, data, password, sign-out.
Item {
    required property AppViewModel viewModel
    required property ThemePalette theme
}
