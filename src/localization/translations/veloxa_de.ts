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
</context>
<context>
    <name>ConfirmDialog</name>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
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
</context>
<context>
    <name>DeviceRow</name>
    <message>
        <source>this device</source>
        <translation>dieses Gerät</translation>
    </message>
    <message>
        <source>Platform: %1</source>
        <translation>Plattform: %1</translation>
    </message>
    <message>
        <source>Sign out</source>
        <comment>a device</comment>
        <translation>Abmelden</translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>Ersetzen</translation>
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
</context>
</TS>
