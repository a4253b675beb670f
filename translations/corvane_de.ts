<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AccountValidation</name>
    <message>
        <source>Please enter your email and password.</source>
        <translation>Bitte geben Sie Ihre E-Mail-Adresse und Ihr Passwort ein.</translation>
    </message>
    <message>
        <source>Email and password must contain English characters only.</source>
        <translation>E-Mail-Adresse und Passwort dürfen nur englische Zeichen enthalten.</translation>
    </message>
    <message>
        <source>Password must be at least 6 characters.</source>
        <translation>Das Passwort muss mindestens 6 Zeichen lang sein.</translation>
    </message>
    <message>
        <source>Please enter your email address.</source>
        <translation>Bitte geben Sie Ihre E-Mail-Adresse ein.</translation>
    </message>
    <message>
        <source>Email must contain English characters only.</source>
        <translation>Die E-Mail-Adresse darf nur englische Zeichen enthalten.</translation>
    </message>
    <message>
        <source>Email is required.</source>
        <translation>Bitte geben Sie eine E-Mail-Adresse an.</translation>
    </message>
    <message>
        <source>Please enter the 6-digit verification code.</source>
        <translation>Bitte geben Sie den 6-stelligen Bestätigungscode ein.</translation>
    </message>
    <message>
        <source>All fields must contain English characters only.</source>
        <translation>Alle Felder dürfen nur englische Zeichen enthalten.</translation>
    </message>
    <message>
        <source>Please enter your current password.</source>
        <translation>Bitte geben Sie Ihr aktuelles Passwort ein.</translation>
    </message>
    <message>
        <source>Passwords must contain English characters only.</source>
        <translation>Passwörter dürfen nur englische Zeichen enthalten.</translation>
    </message>
    <message>
        <source>New password must be at least 6 characters.</source>
        <translation>Das neue Passwort muss mindestens 6 Zeichen lang sein.</translation>
    </message>
    <message>
        <source>New passwords do not match.</source>
        <translation>Die neuen Passwörter stimmen nicht überein.</translation>
    </message>
</context>
<context>
    <name>ActiveTabCard</name>
    <message>
        <source>Waiting for the address…</source>
        <translation>Die Adresse wird abgewartet …</translation>
    </message>
    <message>
        <source>Browser access granted (Click to pause for privacy)</source>
        <translation>Browserzugriff erlaubt (Klicken, um ihn zum Schutz Ihrer Privatsphäre zu pausieren)</translation>
    </message>
    <message>
        <source>Already in your library</source>
        <translation>Bereits in Ihrer Bibliothek</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Open the saved page</source>
        <translation>Gespeicherte Seite öffnen</translation>
    </message>
    <message>
        <source>Enter website URL manually</source>
        <translation>Website-Adresse selbst eingeben</translation>
    </message>
    <message>
        <source>Saved</source>
        <translation>Gespeichert</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Paste a website address, e.g. https://www.example.com/article</source>
        <translation>Website-Adresse einfügen, z. B. https://www.example.com/article</translation>
    </message>
</context>
<context>
    <name>AuthCardView</name>
    <message>
        <source>Welcome back</source>
        <translation>Willkommen zurück</translation>
    </message>
    <message>
        <source>Sign in to access your saved websites</source>
        <translation>Melden Sie sich an, um auf Ihre gespeicherten Websites zuzugreifen</translation>
    </message>
    <message>
        <source>Sign In</source>
        <translation>Anmelden</translation>
    </message>
    <message>
        <source>Signing in...</source>
        <translation>Anmeldung läuft …</translation>
    </message>
    <message>
        <source>Create an account</source>
        <translation>Konto erstellen</translation>
    </message>
    <message>
        <source>Save and sync your favorite websites</source>
        <translation>Speichern und synchronisieren Sie Ihre Lieblingswebsites</translation>
    </message>
    <message>
        <source>Create Account</source>
        <translation>Konto erstellen</translation>
    </message>
    <message>
        <source>Creating account...</source>
        <translation>Konto wird erstellt …</translation>
    </message>
    <message>
        <source>Reset Password</source>
        <translation>Passwort zurücksetzen</translation>
    </message>
    <message>
        <source>Enter your email to receive a 6-digit code</source>
        <translation>Geben Sie Ihre E-Mail-Adresse ein, um einen 6-stelligen Code zu erhalten</translation>
    </message>
    <message>
        <source>Send Verification Code</source>
        <translation>Bestätigungscode senden</translation>
    </message>
    <message>
        <source>Sending Code...</source>
        <translation>Code wird gesendet …</translation>
    </message>
    <message>
        <source>Verification Code</source>
        <translation>Bestätigungscode</translation>
    </message>
    <message>
        <source>Enter the code sent to your email</source>
        <translation>Geben Sie den Code ein, den Sie per E-Mail erhalten haben</translation>
    </message>
    <message>
        <source>Resetting...</source>
        <translation>Wird zurückgesetzt …</translation>
    </message>
    <message>
        <source>Register</source>
        <translation>Registrieren</translation>
    </message>
    <message>
        <source>Enter your account email (English only)</source>
        <translation>E-Mail-Adresse Ihres Kontos (nur englische Zeichen)</translation>
    </message>
    <message>
        <source>Email address (English only)</source>
        <translation>E-Mail-Adresse (nur englische Zeichen)</translation>
    </message>
    <message>
        <source>Password (English only, min. 6 chars)</source>
        <translation>Passwort (nur engl. Zeichen, mind. 6 Zeichen)</translation>
    </message>
    <message>
        <source>New password (English only, min. 6 chars)</source>
        <translation>Neues Passwort (nur engl. Zeichen, mind. 6 Zeichen)</translation>
    </message>
    <message>
        <source>Remember account</source>
        <translation>Konto merken</translation>
    </message>
    <message>
        <source>Forgot password?</source>
        <translation>Passwort vergessen?</translation>
    </message>
    <message>
        <source>Back to Sign In</source>
        <translation>Zurück zur Anmeldung</translation>
    </message>
    <message>
        <source>6-digit verification code</source>
        <translation>6-stelliger Bestätigungscode</translation>
    </message>
</context>
<context>
    <name>AuthField</name>
    <message>
        <source>Hide password</source>
        <translation>Passwort verbergen</translation>
    </message>
    <message>
        <source>Show password</source>
        <translation>Passwort anzeigen</translation>
    </message>
</context>
<context>
    <name>AuthenticationCard</name>
    <message>
        <source>Your session ended. Please sign in again.</source>
        <translation>Ihre Sitzung ist abgelaufen. Bitte melden Sie sich erneut an.</translation>
    </message>
    <message>
        <source>Verification code sent to your email.</source>
        <translation>Der Bestätigungscode wurde an Ihre E-Mail-Adresse gesendet.</translation>
    </message>
    <message>
        <source>Password reset successfully. Please sign in.</source>
        <translation>Das Passwort wurde zurückgesetzt. Bitte melden Sie sich an.</translation>
    </message>
</context>
<context>
    <name>BridgeChips</name>
    <message>
        <source>Browser add-on: %1</source>
        <translation>Browser-Add-on: %1</translation>
    </message>
    <message>
        <source>Register Corvane&apos;s bridge with your browsers</source>
        <translation>Corvanes Brücke bei Ihren Browsern anmelden</translation>
    </message>
    <message>
        <source>What Corvane reads</source>
        <translation>Was Corvane liest</translation>
    </message>
    <message>
        <source>Corvane reads the titles of your browser windows and your browsers&apos; session and history files on this computer. With its browser add-on it also reads the active tab&apos;s address and title and, only when you save a page, that page&apos;s text. Nothing is sent anywhere but to your Corvane account.</source>
        <translation>Corvane liest die Titel Ihrer Browserfenster sowie die Sitzungs- und Verlaufsdateien Ihrer Browser auf diesem Computer. Mit seinem Browser-Add-on liest es außerdem Adresse und Titel des aktiven Tabs und, nur wenn Sie eine Seite speichern, deren Text. Nichts wird an andere Stellen gesendet als an Ihr Corvane-Konto.</translation>
    </message>
</context>
<context>
    <name>BrowserCapture</name>
    <message>
        <source>Allow Open Browser Access</source>
        <translation>Zugriff auf den Browser erlauben</translation>
    </message>
    <message>
        <source>Privacy</source>
        <translation>Datenschutz</translation>
    </message>
    <message>
        <source>Reading active browser tab...</source>
        <translation>Aktiver Browser-Tab wird gelesen …</translation>
    </message>
    <message>
        <source>Browser</source>
        <translation>Browser</translation>
    </message>
    <message>
        <source>Not a web address</source>
        <translation>Keine Webadresse</translation>
    </message>
</context>
<context>
    <name>BrowserConnections</name>
    <message>
        <source>Connected</source>
        <translation>Verbunden</translation>
    </message>
    <message>
        <source>Add-on missing</source>
        <translation>Add-on fehlt</translation>
    </message>
    <message>
        <source>Host not registered</source>
        <translation>Host nicht angemeldet</translation>
    </message>
</context>
<context>
    <name>BrowserDetection</name>
    <message>
        <source>New Tab</source>
        <translation>Neuer Tab</translation>
    </message>
</context>
<context>
    <name>DisplayText</name>
    <message>
        <source>Native macOS App</source>
        <translation>Native macOS-App</translation>
    </message>
    <message>
        <source>Version %1 · %2</source>
        <extracomment>The running version and the platform&apos;s name, under &quot;Check for Updates&quot;.</extracomment>
        <translation>Version %1 · %2</translation>
    </message>
</context>
<context>
    <name>EmptyStateCard</name>
    <message>
        <source>Loading your websites…</source>
        <translation>Ihre Websites werden geladen …</translation>
    </message>
    <message>
        <source>No matching websites</source>
        <translation>Keine passenden Websites</translation>
    </message>
    <message>
        <source>No saved websites yet</source>
        <translation>Noch keine gespeicherten Websites</translation>
    </message>
    <message>
        <source>Try a different search term.</source>
        <translation>Versuchen Sie einen anderen Suchbegriff.</translation>
    </message>
    <message>
        <source>Click &quot;+ Save&quot; above to bookmark your first website.</source>
        <translation>Klicken Sie oben auf „+ Speichern“, um Ihre erste Website zu speichern.</translation>
    </message>
</context>
<context>
    <name>HeaderView</name>
    <message>
        <source>Compact width</source>
        <translation>Schmale Ansicht</translation>
    </message>
    <message>
        <source>Expand width</source>
        <translation>Breite Ansicht</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Quit Corvane</source>
        <translation>Corvane beenden</translation>
    </message>
</context>
<context>
    <name>Library</name>
    <message>
        <source>Export Saved Websites</source>
        <translation>Gespeicherte Websites exportieren</translation>
    </message>
    <message>
        <source>The export could not be saved: %1</source>
        <translation>Der Export konnte nicht gespeichert werden: %1</translation>
    </message>
</context>
<context>
    <name>OptionsButton</name>
    <message>
        <source>Options for %1</source>
        <translation>Optionen für %1</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
</context>
<context>
    <name>PasswordChangeForm</name>
    <message>
        <source>Password updated successfully.</source>
        <translation>Das Passwort wurde geändert.</translation>
    </message>
</context>
<context>
    <name>PermissionCard</name>
    <message>
        <source>PRIVACY &amp; BROWSER PERMISSION</source>
        <translation>DATENSCHUTZ &amp; BROWSERZUGRIFF</translation>
    </message>
    <message>
        <source>Allow Open Browser Access</source>
        <translation>Zugriff auf den Browser erlauben</translation>
    </message>
    <message>
        <source>Allow</source>
        <translation>Erlauben</translation>
    </message>
    <message>
        <source>Grant permission to read active browser tabs</source>
        <translation>Erlauben, aktive Browser-Tabs zu lesen</translation>
    </message>
</context>
<context>
    <name>RequestError</name>
    <message>
        <source>Invalid API URL</source>
        <translation>Ungültige Serveradresse</translation>
    </message>
    <message>
        <source>Server is unreachable (%1).</source>
        <translation>Der Server ist nicht erreichbar (%1).</translation>
    </message>
    <message>
        <source>Invalid server response.</source>
        <translation>Ungültige Antwort des Servers.</translation>
    </message>
    <message>
        <source>Unauthorized</source>
        <translation>Nicht berechtigt</translation>
    </message>
    <message>
        <source>Request failed (%1)</source>
        <translation>Anfrage fehlgeschlagen (%1)</translation>
    </message>
    <message>
        <source>The server&apos;s answer could not be read (%1).</source>
        <translation>Die Antwort des Servers konnte nicht gelesen werden (%1).</translation>
    </message>
</context>
<context>
    <name>SearchRow</name>
    <message>
        <source>Search saved websites...</source>
        <translation>Gespeicherte Websites durchsuchen …</translation>
    </message>
    <message>
        <source>Clear search</source>
        <translation>Suche leeren</translation>
    </message>
</context>
<context>
    <name>SettingsShortcuts</name>
    <message>
        <source>macOS Automation</source>
        <translation>macOS-Automation</translation>
    </message>
    <message>
        <source>Open macOS Privacy &amp; Security -&gt; Automation (Safari / Chrome / Arc / Brave)</source>
        <translation>macOS „Datenschutz &amp; Sicherheit“ -&gt; Automation öffnen (Safari / Chrome / Arc / Brave)</translation>
    </message>
    <message>
        <source>Firefox Accessibility</source>
        <translation>Firefox-Bedienungshilfen</translation>
    </message>
    <message>
        <source>Open macOS Privacy &amp; Security -&gt; Accessibility (Required for Firefox URL bar)</source>
        <translation>macOS „Datenschutz &amp; Sicherheit“ -&gt; Bedienungshilfen öffnen (für die Adressleiste von Firefox nötig)</translation>
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Account</source>
        <translation>Konto</translation>
    </message>
    <message>
        <source>Manage</source>
        <translation>Verwalten</translation>
    </message>
    <message>
        <source>Show Email in Top Bar</source>
        <translation>E-Mail in der Kopfzeile zeigen</translation>
    </message>
    <message>
        <source>Start at Log-In</source>
        <translation>Bei der Anmeldung starten</translation>
    </message>
    <message>
        <source>Privacy &amp; Browser Permissions</source>
        <translation>Datenschutz &amp; Browserzugriff</translation>
    </message>
    <message>
        <source>Read Open Browser Tabs</source>
        <translation>Offene Browser-Tabs lesen</translation>
    </message>
    <message>
        <source>Browser Add-on</source>
        <translation>Browser-Add-on</translation>
    </message>
    <message>
        <source>Reads the active tab exactly</source>
        <translation>Liest den aktiven Tab genau</translation>
    </message>
    <message>
        <source>No supported browser found</source>
        <translation>Kein unterstützter Browser gefunden</translation>
    </message>
    <message>
        <source>Connect Browsers</source>
        <translation>Browser verbinden</translation>
    </message>
    <message>
        <source>Data &amp; Backup</source>
        <translation>Daten &amp; Sicherung</translation>
    </message>
    <message>
        <source>Export Saved Websites</source>
        <translation>Gespeicherte Websites exportieren</translation>
    </message>
    <message>
        <source>Save your bookmarks as a JSON backup</source>
        <translation>Lesezeichen als JSON-Sicherung speichern</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Exportieren</translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation>Nach Updates suchen</translation>
    </message>
    <message>
        <source>Download</source>
        <translation>Laden</translation>
    </message>
    <message>
        <source>Check</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Security &amp; Password</source>
        <translation>Sicherheit &amp; Passwort</translation>
    </message>
    <message>
        <source>Update your account password</source>
        <translation>Passwort Ihres Kontos ändern</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Ändern</translation>
    </message>
    <message>
        <source>Current password (English only)</source>
        <translation>Aktuelles Passwort (nur engl. Zeichen)</translation>
    </message>
    <message>
        <source>New password (English only, min. 6 chars)</source>
        <translation>Neues Passwort (nur engl. Zeichen, mind. 6 Zeichen)</translation>
    </message>
    <message>
        <source>Confirm new password (English only)</source>
        <translation>Neues Passwort bestätigen (nur engl. Zeichen)</translation>
    </message>
    <message>
        <source>Updating...</source>
        <translation>Wird geändert …</translation>
    </message>
    <message>
        <source>Update Password</source>
        <translation>Passwort ändern</translation>
    </message>
    <message>
        <source>Sign Out</source>
        <translation>Abmelden</translation>
    </message>
    <message>
        <source>Contact Us</source>
        <translation>Kontakt</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
</context>
<context>
    <name>ShowMoreButton</name>
    <message>
        <source>Show more</source>
        <translation>Mehr anzeigen</translation>
    </message>
</context>
<context>
    <name>StatusItem</name>
    <message>
        <source>Quit Corvane</source>
        <translation>Corvane beenden</translation>
    </message>
</context>
<context>
    <name>TitleEditor</name>
    <message>
        <source>Edit Title</source>
        <translation>Titel bearbeiten</translation>
    </message>
    <message>
        <source>Website title</source>
        <translation>Titel der Website</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>UpdateCheck</name>
    <message>
        <source>Checking for updates...</source>
        <translation>Suche nach Updates …</translation>
    </message>
    <message>
        <source>Could not check for updates. Please try again later.</source>
        <translation>Die Suche nach Updates ist fehlgeschlagen. Bitte versuchen Sie es später erneut.</translation>
    </message>
    <message>
        <source>New version v%1 available!</source>
        <translation>Neue Version v%1 verfügbar!</translation>
    </message>
    <message>
        <source>Version %1 is up to date</source>
        <translation>Version %1 ist aktuell</translation>
    </message>
</context>
<context>
    <name>WebsiteCard</name>
    <message>
        <source>Open %1</source>
        <translation>%1 öffnen</translation>
    </message>
</context>
<context>
    <name>WebsiteItemMenuHelper</name>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>Unpin Website</source>
        <translation>Website lösen</translation>
    </message>
    <message>
        <source>Pin to Top</source>
        <translation>Oben anheften</translation>
    </message>
    <message>
        <source>Share...</source>
        <translation>Teilen …</translation>
    </message>
    <message>
        <source>Copy Link</source>
        <translation>Link kopieren</translation>
    </message>
    <message>
        <source>Edit Title</source>
        <translation>Titel bearbeiten</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
</context>
</TS>
