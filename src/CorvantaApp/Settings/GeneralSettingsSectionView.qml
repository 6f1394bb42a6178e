import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta

// Application-wide choices: language, theme, login item, idle sleep, usage count, and where the
// node keeps its data.
ColumnLayout {
    id: view

    required property var session
    // Read from the desktop once, when the view is built; a refused change springs back.
    property bool launchAtLogin: false
    // Replaceable for tests: asks the desktop, false when it refused.
    property var setLaunchAtLogin: on => SettingsViewRules.setLaunchAtLogin(on)
    readonly property string network: SettingsViewRules.networkInEffect(session.activeNetwork,
                                                                        session.selectedNetwork)
    // Language names are written in their own language and never translated.
    readonly property var languages: [{ code: "fr", name: "Français" }, { code: "en", name: "English" },
        { code: "it", name: "Italiano" }, { code: "es", name: "Español" },
        { code: "pt", name: "Português" }, { code: "de", name: "Deutsch" }]

    Component.onCompleted: launchAtLogin = SettingsViewRules.launchAtLoginEnabled()
    spacing: 10

    RowLayout {
        Layout.fillWidth: true
        Text {
            text: qsTr("Langue")
            textFormat: Text.PlainText
            font.pixelSize: 11
            color: Theme.textPrimary
        }
        Item { Layout.fillWidth: true }
        ComboBox {
            objectName: "languagePicker"
            Layout.preferredWidth: 130
            model: view.languages
            textRole: "name"
            valueRole: "code"
            font.pixelSize: 11
            currentIndex: view.languages.findIndex(l => l.code === SettingsViewRules.language)
            onActivated: index => SettingsViewRules.setLanguageCode(view.languages[index].code)
        }
    }
    RowLayout {
        spacing: 0
        Button {
            objectName: "lightTheme"
            text: qsTr("Clair")
            checkable: true
            checked: !Prefs.darkTheme
            font.pixelSize: 11
            onClicked: {
                Prefs.appTheme = "light"
                checked = Qt.binding(() => !Prefs.darkTheme)
            }
        }
        Button {
            objectName: "darkTheme"
            text: qsTr("Sombre")
            checkable: true
            checked: Prefs.darkTheme
            font.pixelSize: 11
            onClicked: {
                Prefs.appTheme = "dark"
                checked = Qt.binding(() => Prefs.darkTheme)
            }
        }
    }
    SettingsSwitch {
        objectName: "loginSwitch"
        label: qsTr("Lancer au login")
        isOn: view.launchAtLogin
        onToggled: on => {
            if (view.setLaunchAtLogin(on))
                view.launchAtLogin = on
        }
    }
    SettingsText {
        font.pixelSize: 10
        text: qsTr("Avec ce réglage : à l'ouverture de session, le nœud démarre, rattrape la chaîne et le minage part tout seul.")
    }
    SettingsSwitch {
        objectName: "sleepSwitch"
        label: qsTr("Empêcher la veille pendant le minage")
        isOn: view.session.preventIdleSleepEnabled
        onToggled: on => view.session.preventIdleSleepEnabled = on
    }
    SettingsSwitch {
        objectName: "usageSwitch"
        visible: SettingsViewRules.usageCountOffered
        label: qsTr("Compter cet ordinateur dans les statistiques d'usage")
        isOn: view.session.usageStatisticsEnabled
        onToggled: on => view.session.usageStatisticsEnabled = on
    }
    SettingsText {
        objectName: "usageCaption"
        visible: SettingsViewRules.usageCountOffered
        font.pixelSize: 10
        text: qsTr("Une fois par jour au démarrage du minage : un identifiant aléatoire, la version de l'application, le nom et la version majeure du système. Rien d'autre — ni adresse, ni débit, ni identifiant de votre ordinateur. En décochant, l'identifiant est effacé.")
    }
    ColumnLayout {
        Layout.fillWidth: true
        spacing: 2
        Text {
            text: qsTr("Emplacement des données")
            textFormat: Text.PlainText
            font.pixelSize: 13
            color: Theme.textSecondary
        }
        TextEdit {
            objectName: "dataDirectory"
            Layout.fillWidth: true
            text: SettingsViewRules.dataDirectory(view.network)
            textFormat: TextEdit.PlainText
            wrapMode: TextEdit.WrapAnywhere
            readOnly: true
            selectByMouse: true
            font.family: "DejaVu Sans Mono"
            font.pixelSize: 11
            color: Theme.textPrimary
        }
    }
    SettingsButton {
        objectName: "revealDataButton"
        symbol: "folder"
        text: qsTr("Révéler le fichier")
        onClicked: Platform.revealFile(SettingsViewRules.dataDirectory(view.network))
    }
}
