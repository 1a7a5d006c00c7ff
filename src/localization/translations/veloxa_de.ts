<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en_US">
<context>
    <name>AboutTabView</name>
    <message>
        <source>Version %1 (%2)</source>
        <translation>Version %1 (%2)</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Sprache</translation>
    </message>
    <message>
        <source>Privacy Policy</source>
        <translation>Datenschutzrichtlinie</translation>
    </message>
    <message>
        <source>Terms of Use</source>
        <translation>Nutzungsbedingungen</translation>
    </message>
    <message>
        <source>Contact Support</source>
        <translation>Support kontaktieren</translation>
    </message>
</context>
<context>
    <name>AccountView</name>
    <message>
        <source>Status:</source>
        <translation>Status:</translation>
    </message>
    <message>
        <source>Valid until:</source>
        <translation>Gültig bis:</translation>
    </message>
    <message>
        <source>Activate subscription</source>
        <translation>Abo aktivieren</translation>
    </message>
    <message>
        <source>Devices (%1/5)</source>
        <translation>Geräte (%1/5)</translation>
    </message>
    <message>
        <source>Sign out</source>
        <translation>Abmelden</translation>
    </message>
    <message>
        <source>Sign out this device? The VPN will disconnect and you&apos;ll need to sign in again.</source>
        <translation>Dieses Gerät abmelden? Das VPN wird getrennt und du musst dich erneut anmelden.</translation>
    </message>
    <message>
        <source>Sign out device “%1”? Its keys will stop working.</source>
        <translation>Gerät „%1“ abmelden? Seine Schlüssel funktionieren dann nicht mehr.</translation>
    </message>
    <message>
        <source>Sign out</source>
        <comment>a device</comment>
        <translation>Abmelden</translation>
    </message>
    <message>
        <source>Sign out of your account? The VPN will disconnect on this device.</source>
        <translation>Aus dem Konto abmelden? Das VPN wird auf diesem Gerät getrennt.</translation>
    </message>
</context>
<context>
    <name>ApprovalBanner</name>
    <message>
        <source>Allow the Veloxa network extension in System Settings to connect</source>
        <translation>Erlaube die Veloxa Netzwerkerweiterung in den Systemeinstellungen, um dich zu verbinden</translation>
    </message>
    <message>
        <source>Open Settings</source>
        <translation>Einstellungen öffnen</translation>
    </message>
    <message>
        <source>Start the Veloxa tunnel service on this computer to connect</source>
        <translation>Starte den Veloxa-Tunneldienst auf diesem Computer, um dich zu verbinden</translation>
    </message>
    <message>
        <source>Start Service</source>
        <translation>Dienst starten</translation>
    </message>
</context>
<context>
    <name>ChooserRow</name>
    <message>
        <source>Replace</source>
        <translation>Ersetzen</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Veloxa is not running</source>
        <translation>Veloxa läuft nicht</translation>
    </message>
    <message>
        <source>Usage: veloxa [--status | --connect [de|ru] | --disconnect | --toggle]
              [--json] [--wait SECONDS]
Asks the running Veloxa (starting it in the tray for an action) and prints the
connection&apos;s status: the status word, and while connected the region and the
public IP address.
  --status          print the status
  --connect [de|ru] connect, to the region given or the one selected
  --disconnect      disconnect
  --toggle          connect when disconnected, otherwise disconnect
  --json            print one JSON object instead of the line
  --wait SECONDS    with an action: wait until it is done
Exit status: 0 done, 1 refused (the reason on standard error), 2 a bad argument,
3 the wait ran out.
</source>
        <translation>Aufruf: veloxa [--status | --connect [de|ru] | --disconnect | --toggle]
               [--json] [--wait SEKUNDEN]
Fragt das laufende Veloxa (startet es für eine Aktion im Infobereich) und gibt den
Zustand der Verbindung aus: das Statuswort und, solange verbunden, die Region und
die öffentliche IP-Adresse.
  --status          den Status ausgeben
  --connect [de|ru] verbinden, mit der angegebenen oder der gewählten Region
  --disconnect      trennen
  --toggle          verbinden, wenn getrennt, sonst trennen
  --json            ein JSON-Objekt statt der Zeile ausgeben
  --wait SEKUNDEN   mit einer Aktion: warten, bis sie erledigt ist
Exit-Status: 0 erledigt, 1 abgelehnt (der Grund auf der Fehlerausgabe),
2 ein falsches Argument, 3 die Wartezeit ist abgelaufen.
</translation>
    </message>
    <message>
        <source>Veloxa did not start</source>
        <translation>Veloxa ist nicht gestartet</translation>
    </message>
    <message>
        <source>The connection could not be made</source>
        <translation>Die Verbindung konnte nicht hergestellt werden</translation>
    </message>
    <message>
        <source>Waiting ran out</source>
        <translation>Die Wartezeit ist abgelaufen</translation>
    </message>
</context>
<context>
    <name>ConfirmDialog</name>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>DeviceCard</name>
    <message>
        <source>this device</source>
        <translation>dieses Gerät</translation>
    </message>
</context>
<context>
    <name>DeviceLimitChooser</name>
    <message>
        <source>Device limit reached (%1)</source>
        <translation>Gerätelimit erreicht (%1)</translation>
    </message>
    <message>
        <source>Choose a device to sign out to add this Mac.</source>
        <translation>Wähle ein Gerät zum Abmelden, um diesen Mac hinzuzufügen.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Choose a device to sign out to add this computer.</source>
        <translation>Wähle ein Gerät zum Abmelden, um diesen Computer hinzuzufügen.</translation>
    </message>
</context>
<context>
    <name>DeviceRow</name>
    <message>
        <source>Platform: %1</source>
        <translation>Plattform: %1</translation>
    </message>
    <message>
        <source>Sign out</source>
        <comment>a device</comment>
        <translation>Abmelden</translation>
    </message>
</context>
<context>
    <name>FloatingTabBar</name>
    <message>
        <source>VPN</source>
        <translation>VPN</translation>
    </message>
    <message>
        <source>Account</source>
        <translation>Konto</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Info</translation>
    </message>
</context>
<context>
    <name>Localization</name>
    <message>
        <source>Unexpected server response</source>
        <translation>Unerwartete Serverantwort</translation>
    </message>
    <message>
        <source>Device limit exceeded</source>
        <translation>Gerätelimit überschritten</translation>
    </message>
    <message>
        <source>Sign-in required</source>
        <translation>Anmeldung erforderlich</translation>
    </message>
    <message>
        <source>Subscription inactive — VPN disconnected.</source>
        <translation>Abo inaktiv — VPN getrennt.</translation>
    </message>
    <message>
        <source>This device was disconnected from the account. Sign in again.</source>
        <translation>Dieses Gerät wurde vom Konto getrennt. Melde dich erneut an.</translation>
    </message>
    <message>
        <source>Subscription inactive — connection unavailable. Check the status in the Account tab.</source>
        <translation>Abo inaktiv — Verbindung nicht verfügbar. Status im Tab „Konto“ prüfen.</translation>
    </message>
    <message>
        <source>No configuration for this region — sign out and sign in again</source>
        <translation>Keine Konfiguration für diese Region — melde dich ab und wieder an</translation>
    </message>
    <message>
        <source>Quit Veloxa</source>
        <translation>Veloxa beenden</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Trennen</translation>
    </message>
    <message>
        <source>About Veloxa</source>
        <translation>Über Veloxa</translation>
    </message>
    <message>
        <source>Version %1 (%2)</source>
        <translation>Version %1 (%2)</translation>
    </message>
    <message>
        <source>Russia</source>
        <translation>Russland</translation>
    </message>
    <message>
        <source>Germany</source>
        <translation>Deutschland</translation>
    </message>
    <message>
        <source>Enter a valid email address</source>
        <translation>Gib eine gültige E-Mail-Adresse ein</translation>
    </message>
    <message>
        <source>Veloxa connection lost — reconnecting</source>
        <translation>Veloxa-Verbindung unterbrochen — wird wiederhergestellt</translation>
    </message>
    <message>
        <source>Traffic is held until the VPN is back.</source>
        <translation>Der Datenverkehr wird angehalten, bis das VPN wieder da ist.</translation>
    </message>
    <message>
        <source>Veloxa connection restored</source>
        <translation>Veloxa-Verbindung wiederhergestellt</translation>
    </message>
    <message>
        <source>Traffic goes through the VPN again.</source>
        <translation>Der Datenverkehr läuft wieder über das VPN.</translation>
    </message>
    <message>
        <source>Start the Veloxa tunnel service on this computer to connect</source>
        <translation>Starte den Veloxa-Tunneldienst auf diesem Computer, um dich zu verbinden</translation>
    </message>
    <message>
        <source>Disconnect first to change the region</source>
        <translation>Trenne zuerst die Verbindung, um die Region zu wechseln</translation>
    </message>
    <message>
        <source>The Veloxa tunnel service is not running</source>
        <translation>Der Veloxa-Tunneldienst läuft nicht</translation>
    </message>
    <message>
        <source>The Veloxa tunnel service cannot be reached: %1</source>
        <translation>Der Veloxa-Tunneldienst ist nicht erreichbar: %1</translation>
    </message>
    <message>
        <source>The tunnel service refused the request</source>
        <translation>Der Tunneldienst hat die Anfrage abgelehnt</translation>
    </message>
    <message>
        <source>Could not start tunnel session</source>
        <translation>Die Tunnelsitzung konnte nicht gestartet werden</translation>
    </message>
    <message>
        <source>No such configuration</source>
        <translation>Diese Konfiguration gibt es nicht</translation>
    </message>
    <message>
        <source>The VPN configuration is disabled</source>
        <translation>Die VPN-Konfiguration ist deaktiviert</translation>
    </message>
    <message>
        <source>The VPN configuration has no tunnel settings</source>
        <translation>Die VPN-Konfiguration enthält keine Tunneleinstellungen</translation>
    </message>
    <message>
        <source>No tunnel engine command is configured</source>
        <translation>Es ist kein Befehl für die Tunnel-Engine eingerichtet</translation>
    </message>
    <message>
        <source>The tunnel engine &quot;%1&quot; was not found on this computer</source>
        <translation>Die Tunnel-Engine „%1“ wurde auf diesem Computer nicht gefunden</translation>
    </message>
    <message>
        <source>The tunnel engine could not be started: %1</source>
        <translation>Die Tunnel-Engine konnte nicht gestartet werden: %1</translation>
    </message>
    <message>
        <source>The tunnel engine did not become ready in time</source>
        <translation>Die Tunnel-Engine wurde nicht rechtzeitig bereit</translation>
    </message>
    <message>
        <source>The tunnel engine crashed</source>
        <translation>Die Tunnel-Engine ist abgestürzt</translation>
    </message>
    <message>
        <source>The tunnel engine exited with code %1</source>
        <translation>Die Tunnel-Engine wurde mit Code %1 beendet</translation>
    </message>
    <message>
        <source>Another user&apos;s VPN connection is active on this computer</source>
        <translation>Auf diesem Computer ist die VPN-Verbindung eines anderen Benutzers aktiv</translation>
    </message>
    <message>
        <source>The network interface &quot;%1&quot; already exists</source>
        <translation>Die Netzwerkschnittstelle „%1“ existiert bereits</translation>
    </message>
    <message>
        <source>Cannot write the tunnel settings: %1</source>
        <translation>Die Tunneleinstellungen können nicht geschrieben werden: %1</translation>
    </message>
    <message>
        <source>The VPN configuration&apos;s tunnel settings may not use &quot;%1&quot;</source>
        <translation>Die Tunneleinstellungen der VPN-Konfiguration dürfen „%1“ nicht verwenden</translation>
    </message>
    <message>
        <source>The VPN configuration&apos;s tunnel settings have an unusable value at &quot;%1&quot;</source>
        <translation>Die Tunneleinstellungen der VPN-Konfiguration haben einen unbrauchbaren Wert bei „%1“</translation>
    </message>
    <message>
        <source>The VPN configuration&apos;s tunnel settings name &quot;%1&quot; more than once</source>
        <translation>Die Tunneleinstellungen der VPN-Konfiguration nennen „%1“ mehr als einmal</translation>
    </message>
    <message>
        <source>The VPN configuration&apos;s tunnel settings have too many WireGuard prefixes at &quot;%1&quot; (at most 256 in all)</source>
        <translation>Die Tunneleinstellungen der VPN-Konfiguration haben zu viele WireGuard-Präfixe bei „%1“ (höchstens 256 insgesamt)</translation>
    </message>
    <message>
        <source>The VPN configuration&apos;s tunnel settings are not a JSON object</source>
        <translation>Die Tunneleinstellungen der VPN-Konfiguration sind kein JSON-Objekt</translation>
    </message>
    <message>
        <source>The VPN configuration needs exactly one tun inbound</source>
        <translation>Die VPN-Konfiguration braucht genau einen tun-Eingang</translation>
    </message>
</context>
<context>
    <name>PowerButton</name>
    <message>
        <source>Disconnect</source>
        <translation>Trennen</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
</context>
<context>
    <name>SessionRow</name>
    <message>
        <source>reconnecting</source>
        <translation>wird neu verbunden</translation>
    </message>
</context>
<context>
    <name>SignInFormView</name>
    <message>
        <source>Sending…</source>
        <translation>Senden…</translation>
    </message>
    <message>
        <source>Resend in %1s</source>
        <translation>Erneut in %1 s</translation>
    </message>
    <message>
        <source>Code from email</source>
        <translation>Code aus der E-Mail</translation>
    </message>
    <message>
        <source>Sign in</source>
        <translation>Anmelden</translation>
    </message>
    <message>
        <source>I agree to the </source>
        <translation>Ich stimme den </translation>
    </message>
    <message>
        <source>Terms of Use</source>
        <comment>in the consent sentence</comment>
        <translation>Nutzungsbedingungen</translation>
    </message>
    <message>
        <source> and </source>
        <translation> und der </translation>
    </message>
    <message>
        <source>Privacy Policy</source>
        <comment>in the consent sentence</comment>
        <translation>Datenschutzrichtlinie</translation>
    </message>
    <message>
        <source>Get code</source>
        <translation>Code anfordern</translation>
    </message>
    <message>
        <source>Checking…</source>
        <translation>Wird geprüft…</translation>
    </message>
    <message>
        <source>Sign in</source>
        <comment>button</comment>
        <translation>Anmelden</translation>
    </message>
    <message>
        <source>Resend code</source>
        <translation>Code erneut senden</translation>
    </message>
    <message>
        <source>Change email</source>
        <translation>E-Mail ändern</translation>
    </message>
</context>
<context>
    <name>Texts</name>
    <message>
        <source>active</source>
        <comment>subscription status</comment>
        <translation>aktiv</translation>
    </message>
    <message>
        <source>expired</source>
        <comment>subscription status</comment>
        <translation>abgelaufen</translation>
    </message>
    <message>
        <source>inactive</source>
        <comment>subscription status</comment>
        <translation>inaktiv</translation>
    </message>
</context>
<context>
    <name>VPNTabView</name>
    <message>
        <source>IP address</source>
        <translation>IP-Adresse</translation>
    </message>
    <message>
        <source>Region</source>
        <translation>Region</translation>
    </message>
    <message>
        <source>Session time</source>
        <translation>Sitzungsdauer</translation>
    </message>
    <message>
        <source>Traffic</source>
        <translation>Traffic</translation>
    </message>
    <message>
        <source>Russia</source>
        <translation>Russland</translation>
    </message>
    <message>
        <source>Germany</source>
        <translation>Deutschland</translation>
    </message>
    <message>
        <source>Subscription %1 — connection unavailable</source>
        <translation>Abo %1 — Verbindung nicht verfügbar</translation>
    </message>
    <message>
        <source>received %1, sent %2</source>
        <translation>empfangen %1, gesendet %2</translation>
    </message>
    <message>
        <source>Reconnecting… traffic is held until the VPN is back</source>
        <translation>Verbindung wird wiederhergestellt… der Datenverkehr wird angehalten, bis das VPN zurück ist</translation>
    </message>
</context>
</TS>
