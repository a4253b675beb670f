import QtQuick
import Corvane

// The authentication card: sign in, register and password reset.
Item {
    required property AppViewModel viewModel
    required property ThemePalette theme
}
