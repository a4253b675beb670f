import QtQuick
import QtQuick.Layouts
import Corvane

// The header row: logo and title on the left; for a signed-in user the e-mail chip, the width
// switch and the settings button on the right.
RowLayout {
    id: header

    required property AppViewModel viewModel
    required property ThemePalette theme

    spacing: 8

    RowLayout {
        Layout.minimumWidth: implicitWidth
        spacing: 7

        OriginalLogoImageView {
            objectName: "headerLogo"
            Layout.preferredWidth: 19
            Layout.preferredHeight: 19
            isDark: header.theme.isDark
            fallbackColor: header.theme.primaryText
        }

        Text {
            objectName: "headerTitle"
            text: "Corvane"
            font.pixelSize: 16
            font.bold: true
            color: header.theme.primaryText
        }
    }

    Item {
        Layout.fillWidth: true
    }

    RowLayout {
        objectName: "headerRightGroup"
        visible: header.viewModel.isAuthenticated && header.viewModel.currentUser !== undefined
        spacing: 8

        EmailChip {
            objectName: "headerEmailChip"
            visible: header.viewModel.showHeaderEmail
            theme: header.theme
            email: header.viewModel.currentUser?.email ?? ""
            isWideLayout: header.viewModel.isWideLayout
        }

        HeaderButton {
            objectName: "widthButton"
            theme: header.theme
            symbol: header.viewModel.isWideLayout ? "arrow.down.right.and.arrow.up.left" : "arrow.up.left.and.arrow.down.right"
            symbolSize: 11
            toolTipText: header.viewModel.isWideLayout ? qsTr("Compact width") : qsTr("Expand width")
            onClicked: header.viewModel.toggleWindowWidth()
        }

        HeaderButton {
            objectName: "settingsButton"
            theme: header.theme
            symbol: "gearshape.fill"
            symbolSize: 12
            symbolColor: header.viewModel.showSettings ? header.theme.inverseText : header.theme.secondaryText
            fillColor: header.viewModel.showSettings ? header.theme.inverseBackground : header.theme.cardBackground
            toolTipText: qsTr("Settings")
            onClicked: header.viewModel.showSettings = !header.viewModel.showSettings
        }
    }

    // Without a tray, quitting is in settings, which a signed-out user cannot open.
    HeaderButton {
        objectName: "signedOutQuitButton"
        visible: !header.viewModel.hasTrayIcon && !header.viewModel.isAuthenticated
        theme: header.theme
        symbol: "rectangle.portrait.and.arrow.right"
        symbolSize: 11
        toolTipText: qsTr("Quit Corvane")
        onClicked: header.viewModel.quitApplication()
    }
}
