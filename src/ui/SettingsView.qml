import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic
import Corvane

// The settings panel: account, browser access, export and updates, the password, sign-out and
// the contact link. It keeps nothing of its own. With the password form open it is taller than
// the panel's usual height, so it scrolls rather than cut off its bottom row.
Flickable {
    id: settings

    required property AppViewModel viewModel
    required property ThemePalette theme

    readonly property BrowserCapture capture: viewModel.capture
    readonly property UpdateCheck updateCheck: viewModel.updateCheck
    readonly property PasswordChangeForm passwordChange: viewModel.passwordChange
    readonly property BrowserConnections connections: viewModel.browserConnections
    readonly property LogInStart logInStart: viewModel.logInStart

    implicitHeight: contentHeight
    contentHeight: column.implicitHeight + 14
    clip: true
    interactive: contentHeight > height
    boundsBehavior: Flickable.StopAtBounds
    ScrollBar.vertical: PanelScrollBar { theme: settings.theme }

    // While the password form unfolds the view keeps its bottom in sight, until the user scrolls.
    property bool followsPasswordForm: false
    onMovementStarted: followsPasswordForm = false
    onContentHeightChanged: {
        const bottom = Math.max(0, contentHeight - height)
        contentY = followsPasswordForm ? bottom : Math.min(contentY, bottom)
    }

    Connections {
        target: settings.passwordChange

        function onIsChangePasswordOpenChanged() {
            settings.followsPasswordForm = settings.passwordChange.isChangePasswordOpen
        }
    }

    ColumnLayout {
        id: column
        width: settings.width
        spacing: 9

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 2
            Layout.rightMargin: 2

            Text {
                text: qsTr("Settings")
                font.pixelSize: 15
                font.bold: true
                color: settings.theme.primaryText
            }

            Item {
                Layout.fillWidth: true
            }

            PlainButton {
                objectName: "doneButton"
                theme: settings.theme
                text: qsTr("Done")
                textSize: 11.5
                onClicked: settings.viewModel.showSettings = !settings.viewModel.showSettings
            }
        }

        SettingsSection {
            objectName: "accountSection"
            Layout.fillWidth: true
            theme: settings.theme

            SectionCaption {
                theme: settings.theme
                text: qsTr("Account")
            }

            RowLayout {
                Layout.fillWidth: true
                spacing: 8

                Text {
                    objectName: "accountEmail"
                    Layout.fillWidth: true
                    text: settings.viewModel.currentUser?.email ?? ""
                    textFormat: Text.PlainText
                    font.pixelSize: 13
                    font.weight: Font.DemiBold
                    color: settings.theme.primaryText
                    elide: Text.ElideMiddle
                }

                PlainButton {
                    objectName: "manageButton"
                    theme: settings.theme
                    text: qsTr("Manage")
                    textSize: 11
                    textWeight: Font.Bold
                    horizontalPadding: 11
                    foreground: "white"
                    fill: settings.theme.accent
                    onClicked: settings.viewModel.openAccountPortal()
                }
            }

            SettingsDivider {
                theme: settings.theme
            }

            RowLayout {
                Layout.fillWidth: true

                Text {
                    Layout.fillWidth: true
                    text: qsTr("Show Email in Top Bar")
                    font.pixelSize: 12
                    font.weight: Font.Medium
                    color: settings.theme.secondaryText
                }

                SettingsTogglePill {
                    objectName: "showEmailSwitch"
                    Accessible.name: qsTr("Show Email in Top Bar")
                    theme: settings.theme
                    isOn: settings.viewModel.showHeaderEmail
                    onClicked: settings.viewModel.showHeaderEmail = !settings.viewModel.showHeaderEmail
                }
            }

            RowLayout {
                visible: settings.logInStart.isAvailable
                Layout.fillWidth: true

                Text {
                    Layout.fillWidth: true
                    text: qsTr("Start at Log-In")
                    font.pixelSize: 12
                    font.weight: Font.Medium
                    color: settings.theme.secondaryText
                }

                SettingsTogglePill {
                    objectName: "logInStartSwitch"
                    Accessible.name: qsTr("Start at Log-In")
                    theme: settings.theme
                    isOn: settings.logInStart.isEnabled
                    onClicked: settings.logInStart.isEnabled = !settings.logInStart.isEnabled
                }
            }
        }

        SettingsSection {
            objectName: "privacySection"
            Layout.fillWidth: true
            theme: settings.theme

            SectionCaption {
                theme: settings.theme
                text: qsTr("Privacy & Browser Permissions")
            }

            RowLayout {
                Layout.fillWidth: true
                spacing: 8

                SettingsItemLabel {
                    Layout.fillWidth: true
                    theme: settings.theme
                    title: qsTr("Read Open Browser Tabs")
                    note: DisplayText.supportedBrowsers
                }

                SettingsTogglePill {
                    objectName: "browserAccessSwitch"
                    Accessible.name: qsTr("Read Open Browser Tabs")
                    theme: settings.theme
                    isOn: settings.capture.hasBrowserPermission
                    onClicked: settings.capture.setBrowserPermission(!settings.capture.hasBrowserPermission)
                }
            }

            SettingsShortcuts {
                visible: DisplayText.hasSystemPrivacySettings
                capture: settings.capture
                theme: settings.theme
                horizontalPadding: 9
                verticalPadding: 4
                hasToolTips: false
            }

            ColumnLayout {
                objectName: "bridgeList"
                visible: !DisplayText.hasSystemPrivacySettings
                Layout.fillWidth: true
                spacing: 5

                SettingsDivider {
                    theme: settings.theme
                }

                RowLayout {
                    Layout.fillWidth: true
                    spacing: 8

                    SettingsItemLabel {
                        Layout.fillWidth: true
                        theme: settings.theme
                        title: qsTr("Browser Add-on")
                        note: settings.connections.browsers.length > 0 ? qsTr("Reads the active tab exactly")
                                                                        : qsTr("No supported browser found")
                    }

                    PlainButton {
                        objectName: "connectBrowsersButton"
                        theme: settings.theme
                        text: qsTr("Connect Browsers")
                        textSize: 11
                        onClicked: settings.connections.connectBrowsers()
                    }
                }

                Repeater {
                    model: settings.connections.browsers

                    delegate: RowLayout {
                        required property var modelData
                        objectName: "bridgeBrowser"
                        Layout.fillWidth: true
                        spacing: 8

                        Text {
                            Layout.fillWidth: true
                            text: modelData.name
                            textFormat: Text.PlainText
                            font.pixelSize: 12
                            font.weight: Font.Medium
                            color: settings.theme.secondaryText
                            elide: Text.ElideRight
                        }

                        Text {
                            objectName: "bridgeState"
                            text: modelData.stateText
                            font.pixelSize: 11
                            font.weight: Font.DemiBold
                            color: modelData.state === BrowserConnections.Connected ? settings.theme.accent : settings.theme.tertiaryText
                        }
                    }
                }
            }
        }

        SettingsSection {
            objectName: "dataSection"
            Layout.fillWidth: true
            theme: settings.theme
            spacing: 6

            SectionCaption {
                theme: settings.theme
                text: qsTr("Data & Backup")
            }

            SettingsDivider {
                theme: settings.theme
            }

            RowLayout {
                Layout.fillWidth: true
                spacing: 8

                SettingsItemLabel {
                    Layout.fillWidth: true
                    theme: settings.theme
                    title: qsTr("Export Saved Websites")
                    note: qsTr("Save your bookmarks as a JSON backup")
                }

                PlainButton {
                    objectName: "exportButton"
                    theme: settings.theme
                    text: qsTr("Export")
                    textSize: 11
                    onClicked: settings.viewModel.library.exportBookmarksToFile()
                }
            }

            MessageLine {
                objectName: "exportError"
                visible: settings.viewModel.library.exportError !== undefined
                Layout.fillWidth: true
                text: settings.viewModel.library.exportError ?? ""
                tint: settings.theme.dangerFill
                textSize: 11
            }

            RowLayout {
                Layout.fillWidth: true
                spacing: 8

                SettingsItemLabel {
                    objectName: "updateLabel"
                    Layout.fillWidth: true
                    theme: settings.theme
                    title: qsTr("Check for Updates")
                    note: DisplayText.updateNote(settings.updateCheck.updateStatusText)
                    noteColor: settings.updateCheck.hasUpdateAvailable ? settings.theme.accent : settings.theme.tertiaryText
                }

                Item {
                    objectName: "updateProgress"
                    visible: settings.updateCheck.isCheckingUpdate
                    implicitWidth: 48
                    implicitHeight: 20

                    BusyIndicator {
                        anchors.centerIn: parent
                        width: 18
                        height: 18
                        padding: 0
                        running: parent.visible
                    }
                }

                PlainButton {
                    objectName: "updateButton"
                    visible: !settings.updateCheck.isCheckingUpdate
                    theme: settings.theme
                    readonly property bool download: settings.updateCheck.hasUpdateAvailable
                    horizontalPadding: 11
                    symbol: download ? "arrow.down.circle.fill" : "arrow.triangle.2.circlepath"
                    symbolSize: download ? 10 : 9.5
                    text: download ? qsTr("Download") : qsTr("Check")
                    textSize: 11
                    textWeight: download ? Font.Bold : Font.DemiBold
                    foreground: download ? "white" : settings.theme.primaryText
                    fill: download ? settings.theme.accent : settings.theme.controlBackground
                    onClicked: settings.updateCheck.checkForUpdates()
                }
            }
        }

        SettingsSection {
            objectName: "securitySection"
            Layout.fillWidth: true
            theme: settings.theme

            RowLayout {
                Layout.fillWidth: true
                spacing: 8

                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 2

                    SectionCaption {
                        Layout.fillWidth: true
                        theme: settings.theme
                        text: qsTr("Security & Password")
                    }

                    Text {
                        Layout.fillWidth: true
                        text: qsTr("Update your account password")
                        font.pixelSize: 11
                        color: settings.theme.secondaryText
                    }
                }

                PlainButton {
                    objectName: "changePasswordButton"
                    theme: settings.theme
                    text: settings.passwordChange.isChangePasswordOpen ? qsTr("Cancel") : qsTr("Change")
                    textSize: 11
                    onClicked: settings.passwordChange.toggleChangePasswordOpen()
                }
            }

            Reveal {
                objectName: "passwordForm"
                shown: settings.passwordChange.isChangePasswordOpen
                Layout.fillWidth: true

                ColumnLayout {
                    width: parent.width
                    spacing: 8

                    SettingsDivider {
                        theme: settings.theme
                    }

                    MessageLine {
                        objectName: "changePasswordError"
                        visible: settings.passwordChange.changePasswordError !== undefined
                        Layout.fillWidth: true
                        text: settings.passwordChange.changePasswordError ?? ""
                        tint: settings.theme.dangerFill
                        textColor: settings.theme.danger
                        textSize: 11
                        padding: 8
                    }

                    MessageLine {
                        objectName: "changePasswordSuccess"
                        visible: settings.passwordChange.changePasswordSuccess !== undefined
                        Layout.fillWidth: true
                        text: settings.passwordChange.changePasswordSuccess ?? ""
                        tint: settings.theme.accent
                        textSize: 11
                        padding: 8
                    }

                    Repeater {
                        model: [
                            { name: "currentPassword", property: "currentPasswordInput",
                              placeholder: qsTr("Current password (English only)") },
                            { name: "newPassword", property: "changeNewPasswordInput",
                              placeholder: qsTr("New password (English only, min. 6 chars)") },
                            { name: "confirmPassword", property: "changeConfirmPasswordInput",
                              placeholder: qsTr("Confirm new password (English only)") }
                        ]

                        delegate: Rectangle {
                            required property var modelData
                            Layout.fillWidth: true
                            implicitHeight: field.implicitHeight + 14
                            radius: 8
                            color: settings.theme.fieldBackground
                            border.color: field.activeFocus ? settings.theme.accent : settings.theme.border
                            border.width: 1
                            // Passwords read left to right whatever the system's writing direction.
                            LayoutMirroring.enabled: false
                            LayoutMirroring.childrenInherit: true

                            PanelTextField {
                                id: field
                                objectName: modelData.name + "Input"
                                theme: settings.theme
                                anchors.fill: parent
                                anchors.leftMargin: 10
                                anchors.rightMargin: 10
                                textSize: 12
                                horizontalAlignment: TextInput.AlignLeft
                                echoMode: TextInput.Password
                                placeholderText: modelData.placeholder
                                text: settings.passwordChange[modelData.property]
                                onTextEdited: settings.passwordChange[modelData.property] = text
                            }
                        }
                    }

                    PlainButton {
                        objectName: "updatePasswordButton"
                        Layout.fillWidth: true
                        theme: settings.theme
                        verticalPadding: 8
                        radius: 8
                        enabled: !settings.passwordChange.isChangingPassword
                        busy: settings.passwordChange.isChangingPassword
                        text: busy ? qsTr("Updating...") : qsTr("Update Password")
                        textSize: 11.5
                        textWeight: Font.Bold
                        foreground: settings.theme.inverseText
                        fill: settings.theme.inverseBackground
                        onClicked: settings.passwordChange.changePassword()
                    }
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 9

            Repeater {
                // Without a tray there is no tray menu to quit from, and the window's close only hides.
                model: [
                    { name: "signOutButton", symbol: "rectangle.portrait.and.arrow.right", symbolSize: 11.5, text: qsTr("Sign Out") },
                    { name: "contactButton", symbol: "envelope.fill", symbolSize: 11, text: qsTr("Contact Us") }
                ].concat(settings.viewModel.hasTrayIcon ? [] : [{ name: "quitButton", symbol: "xmark", symbolSize: 10, text: qsTr("Quit") }])

                delegate: PlainButton {
                    required property var modelData
                    objectName: modelData.name
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    theme: settings.theme
                    verticalPadding: 9
                    spacing: 6
                    symbol: modelData.symbol
                    symbolSize: modelData.symbolSize
                    text: modelData.text
                    textSize: 11.5
                    textWeight: Font.Bold
                    fill: settings.theme.cardBackground
                    outline: settings.theme.border
                    onClicked: {
                        if (modelData.name === "signOutButton")
                            settings.viewModel.logout()
                        else if (modelData.name === "contactButton")
                            settings.viewModel.openContactPage()
                        else
                            settings.viewModel.quitApplication()
                    }
                }
            }
        }
    }
}
