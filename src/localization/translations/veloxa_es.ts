<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es_ES" sourcelanguage="en_US">
<context>
    <name>AboutTabView</name>
    <message>
        <source>Version %1 (%2)</source>
        <translation>Versión %1 (%2)</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Idioma</translation>
    </message>
    <message>
        <source>Privacy Policy</source>
        <translation>Política de privacidad</translation>
    </message>
    <message>
        <source>Terms of Use</source>
        <translation>Términos de uso</translation>
    </message>
    <message>
        <source>Contact Support</source>
        <translation>Contactar soporte</translation>
    </message>
</context>
<context>
    <name>AccountView</name>
    <message>
        <source>Status:</source>
        <translation>Estado:</translation>
    </message>
    <message>
        <source>Valid until:</source>
        <translation>Válido hasta:</translation>
    </message>
    <message>
        <source>Activate subscription</source>
        <translation>Activar suscripción</translation>
    </message>
    <message>
        <source>Devices (%1/5)</source>
        <translation>Dispositivos (%1/5)</translation>
    </message>
    <message>
        <source>Sign out</source>
        <translation>Cerrar sesión</translation>
    </message>
    <message>
        <source>Sign out this device? The VPN will disconnect and you&apos;ll need to sign in again.</source>
        <translation>¿Cerrar sesión en este dispositivo? La VPN se desconectará y tendrás que iniciar sesión de nuevo.</translation>
    </message>
    <message>
        <source>Sign out device “%1”? Its keys will stop working.</source>
        <translation>¿Cerrar sesión en el dispositivo “%1”? Sus claves dejarán de funcionar.</translation>
    </message>
    <message>
        <source>Sign out</source>
        <comment>a device</comment>
        <translation>Cerrar sesión</translation>
    </message>
    <message>
        <source>Sign out of your account? The VPN will disconnect on this device.</source>
        <translation>¿Cerrar sesión de tu cuenta? La VPN se desconectará en este dispositivo.</translation>
    </message>
</context>
<context>
    <name>ApprovalBanner</name>
    <message>
        <source>Allow the Veloxa network extension in System Settings to connect</source>
        <translation>Permite la extensión de red de Veloxa en Configuración del Sistema para conectar</translation>
    </message>
    <message>
        <source>Open Settings</source>
        <translation>Abrir Configuración</translation>
    </message>
</context>
<context>
    <name>ConfirmDialog</name>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
</context>
<context>
    <name>DeviceLimitChooser</name>
    <message>
        <source>Device limit reached (%1)</source>
        <translation>Límite de dispositivos alcanzado (%1)</translation>
    </message>
    <message>
        <source>Choose a device to sign out to add this Mac.</source>
        <translation>Elige un dispositivo para cerrar sesión y añadir este Mac.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
</context>
<context>
    <name>DeviceRow</name>
    <message>
        <source>this device</source>
        <translation>este dispositivo</translation>
    </message>
    <message>
        <source>Platform: %1</source>
        <translation>Plataforma: %1</translation>
    </message>
    <message>
        <source>Sign out</source>
        <comment>a device</comment>
        <translation>Cerrar sesión</translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>Reemplazar</translation>
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
        <translation>Cuenta</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Acerca de</translation>
    </message>
</context>
<context>
    <name>Localization</name>
    <message>
        <source>Unexpected server response</source>
        <translation>Respuesta inesperada del servidor</translation>
    </message>
    <message>
        <source>Device limit exceeded</source>
        <translation>Límite de dispositivos superado</translation>
    </message>
    <message>
        <source>Sign-in required</source>
        <translation>Inicio de sesión requerido</translation>
    </message>
    <message>
        <source>Subscription inactive — VPN disconnected.</source>
        <translation>Suscripción inactiva — VPN desconectada.</translation>
    </message>
    <message>
        <source>This device was disconnected from the account. Sign in again.</source>
        <translation>Este dispositivo se desconectó de la cuenta. Inicia sesión de nuevo.</translation>
    </message>
    <message>
        <source>Subscription inactive — connection unavailable. Check the status in the Account tab.</source>
        <translation>Suscripción inactiva — conexión no disponible. Revisa el estado en la pestaña Cuenta.</translation>
    </message>
    <message>
        <source>No configuration for this region — sign out and sign in again</source>
        <translation>No hay configuración para esta región — cierra sesión y vuelve a entrar</translation>
    </message>
    <message>
        <source>Quit Veloxa</source>
        <translation>Salir de Veloxa</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Conectar</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Desconectar</translation>
    </message>
    <message>
        <source>About Veloxa</source>
        <translation>Acerca de Veloxa</translation>
    </message>
    <message>
        <source>Version %1 (%2)</source>
        <translation>Versión %1 (%2)</translation>
    </message>
    <message>
        <source>Russia</source>
        <translation>Rusia</translation>
    </message>
    <message>
        <source>Germany</source>
        <translation>Alemania</translation>
    </message>
    <message>
        <source>Enter a valid email address</source>
        <translation>Introduce un email válido</translation>
    </message>
</context>
<context>
    <name>PowerButton</name>
    <message>
        <source>Disconnect</source>
        <translation>Desconectar</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Conectar</translation>
    </message>
</context>
<context>
    <name>SignInFormView</name>
    <message>
        <source>Sending…</source>
        <translation>Enviando…</translation>
    </message>
    <message>
        <source>Resend in %1s</source>
        <translation>Reenviar en %1 s</translation>
    </message>
    <message>
        <source>Code from email</source>
        <translation>Código del email</translation>
    </message>
    <message>
        <source>Sign in</source>
        <translation>Iniciar sesión</translation>
    </message>
    <message>
        <source>I agree to the </source>
        <translation>Acepto los </translation>
    </message>
    <message>
        <source>Terms of Use</source>
        <comment>in the consent sentence</comment>
        <translation>términos de uso</translation>
    </message>
    <message>
        <source> and </source>
        <translation> y la </translation>
    </message>
    <message>
        <source>Privacy Policy</source>
        <comment>in the consent sentence</comment>
        <translation>política de privacidad</translation>
    </message>
    <message>
        <source>Get code</source>
        <translation>Obtener código</translation>
    </message>
    <message>
        <source>Checking…</source>
        <translation>Comprobando…</translation>
    </message>
    <message>
        <source>Sign in</source>
        <comment>button</comment>
        <translation>Entrar</translation>
    </message>
    <message>
        <source>Resend code</source>
        <translation>Reenviar código</translation>
    </message>
    <message>
        <source>Change email</source>
        <translation>Cambiar email</translation>
    </message>
</context>
<context>
    <name>Texts</name>
    <message>
        <source>active</source>
        <comment>subscription status</comment>
        <translation>activa</translation>
    </message>
    <message>
        <source>expired</source>
        <comment>subscription status</comment>
        <translation>vencida</translation>
    </message>
    <message>
        <source>inactive</source>
        <comment>subscription status</comment>
        <translation>inactiva</translation>
    </message>
</context>
<context>
    <name>VPNTabView</name>
    <message>
        <source>IP address</source>
        <translation>Dirección IP</translation>
    </message>
    <message>
        <source>Region</source>
        <translation>Región</translation>
    </message>
    <message>
        <source>Session time</source>
        <translation>Duración de sesión</translation>
    </message>
    <message>
        <source>Traffic</source>
        <translation>Tráfico</translation>
    </message>
    <message>
        <source>Russia</source>
        <translation>Rusia</translation>
    </message>
    <message>
        <source>Germany</source>
        <translation>Alemania</translation>
    </message>
    <message>
        <source>Subscription %1 — connection unavailable</source>
        <translation>Suscripción %1 — conexión no disponible</translation>
    </message>
</context>
</TS>
