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
    <message>
        <source>Start the Veloxa tunnel service on this computer to connect</source>
        <translation>Inicia el servicio de túnel de Veloxa en este ordenador para conectar</translation>
    </message>
    <message>
        <source>Start Service</source>
        <translation>Iniciar servicio</translation>
    </message>
</context>
<context>
    <name>ChooserRow</name>
    <message>
        <source>Replace</source>
        <translation>Reemplazar</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Veloxa is not running</source>
        <translation>Veloxa no está en ejecución</translation>
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
        <translation>Uso: veloxa [--status | --connect [de|ru] | --disconnect | --toggle]
            [--json] [--wait SEGUNDOS]
Pregunta a Veloxa en ejecución (la inicia en la bandeja para una acción) e imprime
el estado de la conexión: la palabra de estado y, conectado, la región y la
dirección IP pública.
  --status          imprimir el estado
  --connect [de|ru] conectar, a la región indicada o a la seleccionada
  --disconnect      desconectar
  --toggle          conectar si está desconectado; si no, desconectar
  --json            imprimir un objeto JSON en lugar de la línea
  --wait SEGUNDOS   con una acción: esperar hasta que termine
Estado de salida: 0 hecho, 1 rechazado (el motivo en la salida de errores),
2 argumento incorrecto, 3 se agotó la espera.
</translation>
    </message>
    <message>
        <source>Veloxa did not start</source>
        <translation>Veloxa no se inició</translation>
    </message>
    <message>
        <source>The connection could not be made</source>
        <translation>No se pudo establecer la conexión</translation>
    </message>
    <message>
        <source>Waiting ran out</source>
        <translation>Se agotó el tiempo de espera</translation>
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
    <name>DeviceCard</name>
    <message>
        <source>this device</source>
        <translation>este dispositivo</translation>
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
    <message>
        <source>Choose a device to sign out to add this computer.</source>
        <translation>Elige un dispositivo para cerrar sesión y añadir este ordenador.</translation>
    </message>
</context>
<context>
    <name>DeviceRow</name>
    <message>
        <source>Platform: %1</source>
        <translation>Plataforma: %1</translation>
    </message>
    <message>
        <source>Sign out</source>
        <comment>a device</comment>
        <translation>Cerrar sesión</translation>
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
    <message>
        <source>Veloxa connection lost — reconnecting</source>
        <translation>Conexión de Veloxa perdida — reconectando</translation>
    </message>
    <message>
        <source>Traffic is held until the VPN is back.</source>
        <translation>El tráfico queda retenido hasta que vuelva la VPN.</translation>
    </message>
    <message>
        <source>Veloxa connection restored</source>
        <translation>Conexión de Veloxa restablecida</translation>
    </message>
    <message>
        <source>Traffic goes through the VPN again.</source>
        <translation>El tráfico vuelve a pasar por la VPN.</translation>
    </message>
    <message>
        <source>Start the Veloxa tunnel service on this computer to connect</source>
        <translation>Inicia el servicio de túnel de Veloxa en este ordenador para conectar</translation>
    </message>
    <message>
        <source>Disconnect first to change the region</source>
        <translation>Desconecta primero para cambiar de región</translation>
    </message>
    <message>
        <source>The Veloxa tunnel service is not running</source>
        <translation>El servicio de túnel de Veloxa no está en ejecución</translation>
    </message>
    <message>
        <source>The Veloxa tunnel service cannot be reached: %1</source>
        <translation>No se puede contactar con el servicio de túnel de Veloxa: %1</translation>
    </message>
    <message>
        <source>The tunnel service refused the request</source>
        <translation>El servicio de túnel rechazó la solicitud</translation>
    </message>
    <message>
        <source>Could not start tunnel session</source>
        <translation>No se pudo iniciar la sesión del túnel</translation>
    </message>
    <message>
        <source>No such configuration</source>
        <translation>No existe esa configuración</translation>
    </message>
    <message>
        <source>The VPN configuration is disabled</source>
        <translation>La configuración de VPN está desactivada</translation>
    </message>
    <message>
        <source>The VPN configuration has no tunnel settings</source>
        <translation>La configuración de VPN no tiene ajustes de túnel</translation>
    </message>
    <message>
        <source>No tunnel engine command is configured</source>
        <translation>No hay ningún comando de motor de túnel configurado</translation>
    </message>
    <message>
        <source>The tunnel engine &quot;%1&quot; was not found on this computer</source>
        <translation>No se encontró el motor de túnel «%1» en este ordenador</translation>
    </message>
    <message>
        <source>The tunnel engine could not be started: %1</source>
        <translation>No se pudo iniciar el motor de túnel: %1</translation>
    </message>
    <message>
        <source>The tunnel engine did not become ready in time</source>
        <translation>El motor de túnel no estuvo listo a tiempo</translation>
    </message>
    <message>
        <source>The tunnel engine crashed</source>
        <translation>El motor de túnel falló</translation>
    </message>
    <message>
        <source>The tunnel engine exited with code %1</source>
        <translation>El motor de túnel terminó con el código %1</translation>
    </message>
    <message>
        <source>Another user&apos;s VPN connection is active on this computer</source>
        <translation>Hay una conexión VPN de otro usuario activa en este ordenador</translation>
    </message>
    <message>
        <source>The network interface &quot;%1&quot; already exists</source>
        <translation>La interfaz de red «%1» ya existe</translation>
    </message>
    <message>
        <source>Cannot write the tunnel settings: %1</source>
        <translation>No se pueden escribir los ajustes del túnel: %1</translation>
    </message>
    <message>
        <source>The VPN configuration&apos;s tunnel settings may not use &quot;%1&quot;</source>
        <translation>Los ajustes del túnel de la configuración VPN no pueden usar «%1»</translation>
    </message>
    <message>
        <source>The VPN configuration&apos;s tunnel settings have an unusable value at &quot;%1&quot;</source>
        <translation>Los ajustes del túnel de la configuración VPN tienen un valor no válido en «%1»</translation>
    </message>
    <message>
        <source>The VPN configuration&apos;s tunnel settings name &quot;%1&quot; more than once</source>
        <translation>Los ajustes del túnel de la configuración VPN indican «%1» más de una vez</translation>
    </message>
    <message>
        <source>The VPN configuration&apos;s tunnel settings have too many WireGuard prefixes at &quot;%1&quot; (at most 256 in all)</source>
        <translation>Los ajustes del túnel de la configuración VPN tienen demasiados prefijos de WireGuard en «%1» (256 como máximo en total)</translation>
    </message>
    <message>
        <source>The VPN configuration&apos;s tunnel settings are not a JSON object</source>
        <translation>Los ajustes del túnel de la configuración VPN no son un objeto JSON</translation>
    </message>
    <message>
        <source>The VPN configuration needs exactly one tun inbound</source>
        <translation>La configuración VPN necesita exactamente una entrada tun</translation>
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
    <name>SessionRow</name>
    <message>
        <source>reconnecting</source>
        <translation>reconectando</translation>
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
    <message>
        <source>received %1, sent %2</source>
        <translation>recibido %1, enviado %2</translation>
    </message>
    <message>
        <source>Reconnecting… traffic is held until the VPN is back</source>
        <translation>Reconectando… el tráfico queda retenido hasta que vuelva la VPN</translation>
    </message>
</context>
</TS>
