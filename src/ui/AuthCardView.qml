import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic
import Corvane

// The authentication card: sign in, register and the two steps of a password reset. Every field
// is the view model's; only the password visibility switch belongs to the root view.
ColumnLayout {
    id: card

    required property AppViewModel viewModel
    required property ThemePalette theme
    required property ViewState viewState

    readonly property AuthenticationCard account: viewModel.account
    readonly property int mode: account.authMode
    readonly property bool isSignIn: mode === AuthenticationCard.Login
    readonly property bool hasTabs: isSignIn || mode === AuthenticationCard.Register

    readonly property var screens: ({
        [AuthenticationCard.Login]: {
            title: qsTr("Welcome back"), subtitle: qsTr("Sign in to access your saved websites"),
            button: qsTr("Sign In"), busyButton: qsTr("Signing in...")
        },
        [AuthenticationCard.Register]: {
            title: qsTr("Create an account"), subtitle: qsTr("Save and sync your favorite websites"),
            button: qsTr("Create Account"), busyButton: qsTr("Creating account...")
        },
        [AuthenticationCard.ForgotPassword]: {
            title: qsTr("Reset Password"), subtitle: qsTr("Enter your email to receive a 6-digit code"),
            button: qsTr("Send Verification Code"), busyButton: qsTr("Sending Code...")
        },
        [AuthenticationCard.EnterOtp]: {
            title: qsTr("Verification Code"), subtitle: qsTr("Enter the code sent to your email"),
            button: qsTr("Reset Password"), busyButton: qsTr("Resetting...")
        }
    })
    readonly property var screen: screens[mode]

    function submit() {
        if (hasTabs)
            account.submitAuth()
        else if (mode === AuthenticationCard.ForgotPassword)
            account.requestPasswordReset()
        else
            account.confirmPasswordReset()
    }

    // The first field of a screen takes the keyboard as soon as the screen shows.
    function focusFirstField() {
        (mode === AuthenticationCard.EnterOtp ? otpField : emailField).input.forceActiveFocus()
    }

    onModeChanged: Qt.callLater(focusFirstField)
    Component.onCompleted: Qt.callLater(focusFirstField)

    spacing: 12

    Rectangle {
        objectName: "authTabs"
        visible: card.hasTabs
        Layout.fillWidth: true
        Layout.topMargin: 6
        implicitHeight: 36
        radius: height / 2
        color: card.theme.cardBackground
        border.color: card.theme.border
        border.width: 1

        RowLayout {
            anchors.fill: parent
            anchors.margins: 3
            spacing: 3

            Repeater {
                model: [
                    { title: qsTr("Sign In"), mode: AuthenticationCard.Login, name: "signInTab" },
                    { title: qsTr("Register"), mode: AuthenticationCard.Register, name: "registerTab" }
                ]

                delegate: PlainButton {
                    required property var modelData
                    readonly property bool selected: card.mode === modelData.mode
                    objectName: modelData.name
                    theme: card.theme
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    text: modelData.title
                    checked: selected
                    Accessible.role: Accessible.PageTab
                    textSize: 12.5
                    foreground: selected ? card.theme.inverseText : card.theme.secondaryText
                    fill: selected ? card.theme.inverseBackground : "transparent"
                    onClicked: card.account.switchAuthMode(modelData.mode)
                }
            }
        }
    }

    ColumnLayout {
        Layout.fillWidth: true
        Layout.topMargin: card.hasTabs ? 4 : 10
        spacing: 4

        Text {
            objectName: "authTitle"
            text: card.screen.title
            textFormat: Text.PlainText
            font.pixelSize: 16
            font.bold: true
            color: card.theme.primaryText
        }

        Text {
            objectName: "authSubtitle"
            Layout.fillWidth: true
            text: card.screen.subtitle
            textFormat: Text.PlainText
            font.pixelSize: 12
            color: card.theme.secondaryText
            wrapMode: Text.Wrap
        }
    }

    MessageLine {
        objectName: "authError"
        visible: card.account.authError !== undefined
        Layout.fillWidth: true
        text: card.account.authError ?? ""
        tint: card.theme.dangerFill
    }

    MessageLine {
        objectName: "authSuccess"
        visible: card.account.authSuccessMessage !== undefined
        Layout.fillWidth: true
        text: card.account.authSuccessMessage ?? ""
        tint: card.theme.accent
    }

    AuthField {
        id: emailField
        objectName: "emailField"
        visible: card.mode !== AuthenticationCard.EnterOtp
        Layout.fillWidth: true
        theme: card.theme
        symbol: "envelope"
        placeholder: card.mode === AuthenticationCard.ForgotPassword ? qsTr("Enter your account email (English only)")
                                                                     : qsTr("Email address (English only)")
        value: card.account.emailInput
        onEdited: text => card.account.emailInput = text
    }

    AuthField {
        objectName: "passwordField"
        visible: card.hasTabs
        Layout.fillWidth: true
        theme: card.theme
        symbol: "lock"
        placeholder: qsTr("Password (English only, min. 6 chars)")
        value: card.account.passwordInput
        secret: true
        revealed: card.viewState.showPassword
        hasEyeButton: true
        onEdited: text => card.account.passwordInput = text
        onEyeToggled: card.viewState.showPassword = !card.viewState.showPassword
        // Return signs in even while a request runs; only the button waits.
        onAccepted: card.account.submitAuth()
    }

    AuthField {
        id: otpField
        objectName: "otpField"
        visible: card.mode === AuthenticationCard.EnterOtp
        Layout.fillWidth: true
        theme: card.theme
        symbol: "number"
        placeholder: qsTr("6-digit verification code")
        value: card.account.otpCodeInput
        onEdited: text => card.account.otpCodeInput = text
    }

    AuthField {
        objectName: "newPasswordField"
        visible: card.mode === AuthenticationCard.EnterOtp
        Layout.fillWidth: true
        theme: card.theme
        symbol: "lock"
        placeholder: qsTr("New password (English only, min. 6 chars)")
        value: card.account.newPasswordInput
        secret: true
        revealed: card.viewState.showPassword
        onEdited: text => card.account.newPasswordInput = text
    }

    RowLayout {
        visible: card.isSignIn
        Layout.fillWidth: true
        spacing: 8

        AbstractButton {
            id: rememberBox
            objectName: "rememberAccount"
            checked: card.account.rememberMe
            focusPolicy: Qt.TabFocus
            text: qsTr("Remember account")
            Accessible.role: Accessible.CheckBox
            Accessible.name: text
            Accessible.checkable: true
            Accessible.checked: checked
            onClicked: card.account.updateRememberMe(!card.account.rememberMe)

            contentItem: Row {
                spacing: 7

                Rectangle {
                    width: 16
                    height: 16
                    radius: 4
                    anchors.verticalCenter: parent.verticalCenter
                    color: rememberBox.checked ? card.theme.inverseBackground : card.theme.fieldBackground
                    border.color: rememberBox.visualFocus ? card.theme.accent : card.theme.strongOutline
                    border.width: rememberBox.checked && !rememberBox.visualFocus ? 0 : 1

                    SymbolIcon {
                        anchors.centerIn: parent
                        visible: rememberBox.checked
                        name: "checkmark"
                        size: 10
                        font.bold: true
                        color: card.theme.inverseText
                    }
                }

                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: rememberBox.text
                    font.pixelSize: 12
                    font.weight: Font.Medium
                    color: card.theme.secondaryText
                }
            }
        }

        Item {
            Layout.fillWidth: true
        }

        LinkButton {
            objectName: "forgotPassword"
            theme: card.theme
            text: qsTr("Forgot password?")
            textSize: 12
            onClicked: card.account.switchAuthMode(AuthenticationCard.ForgotPassword)
        }
    }

    PlainButton {
        objectName: "authSubmit"
        Layout.fillWidth: true
        Layout.topMargin: 4
        theme: card.theme
        implicitHeight: 40
        radius: 10
        enabled: !card.account.isAuthLoading
        busy: card.account.isAuthLoading
        text: busy ? card.screen.busyButton : card.screen.button
        textSize: 13.5
        foreground: card.theme.inverseText
        fill: card.theme.inverseBackground
        spacing: 8
        onClicked: card.submit()
    }

    LinkButton {
        objectName: "backToSignIn"
        visible: !card.hasTabs
        Layout.alignment: Qt.AlignHCenter
        theme: card.theme
        text: qsTr("Back to Sign In")
        textSize: 12.5
        onClicked: card.account.switchAuthMode(AuthenticationCard.Login)
    }
}
