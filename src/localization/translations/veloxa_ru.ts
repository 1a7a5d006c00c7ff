<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU" sourcelanguage="en_US">
<context>
    <name>AboutTabView</name>
    <message>
        <source>Version %1 (%2)</source>
        <translation>Версия %1 (%2)</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Язык</translation>
    </message>
    <message>
        <source>Privacy Policy</source>
        <translation>Политика конфиденциальности</translation>
    </message>
    <message>
        <source>Terms of Use</source>
        <translation>Условия использования</translation>
    </message>
    <message>
        <source>Contact Support</source>
        <translation>Написать в поддержку</translation>
    </message>
</context>
<context>
    <name>AccountView</name>
    <message>
        <source>Status:</source>
        <translation>Статус:</translation>
    </message>
    <message>
        <source>Valid until:</source>
        <translation>Действует до:</translation>
    </message>
    <message>
        <source>Activate subscription</source>
        <translation>Активировать подписку</translation>
    </message>
    <message>
        <source>Devices (%1/5)</source>
        <translation>Устройства (%1/5)</translation>
    </message>
    <message>
        <source>Sign out</source>
        <translation>Выйти</translation>
    </message>
    <message>
        <source>Sign out this device? The VPN will disconnect and you&apos;ll need to sign in again.</source>
        <translation>Отключить это устройство? VPN отключится, и нужно будет войти заново.</translation>
    </message>
    <message>
        <source>Sign out device “%1”? Its keys will stop working.</source>
        <translation>Отключить устройство «%1»? Ключи перестанут работать.</translation>
    </message>
    <message>
        <source>Sign out</source>
        <comment>a device</comment>
        <translation>Отключить</translation>
    </message>
    <message>
        <source>Sign out of your account? The VPN will disconnect on this device.</source>
        <translation>Выйти из аккаунта? VPN на этом устройстве отключится.</translation>
    </message>
</context>
<context>
    <name>ApprovalBanner</name>
    <message>
        <source>Allow the Veloxa network extension in System Settings to connect</source>
        <translation>Разрешите сетевое расширение Veloxa в Системных настройках, чтобы подключиться</translation>
    </message>
    <message>
        <source>Open Settings</source>
        <translation>Открыть настройки</translation>
    </message>
</context>
<context>
    <name>ConfirmDialog</name>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
</context>
<context>
    <name>DeviceLimitChooser</name>
    <message>
        <source>Device limit reached (%1)</source>
        <translation>Лимит устройств исчерпан (%1)</translation>
    </message>
    <message>
        <source>Choose a device to sign out to add this Mac.</source>
        <translation>Выберите устройство, которое нужно отключить, чтобы добавить этот Mac.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
</context>
<context>
    <name>DeviceRow</name>
    <message>
        <source>this device</source>
        <translation>это устройство</translation>
    </message>
    <message>
        <source>Platform: %1</source>
        <translation>Платформа: %1</translation>
    </message>
    <message>
        <source>Sign out</source>
        <comment>a device</comment>
        <translation>Отключить</translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>Заменить</translation>
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
        <translation>Аккаунт</translation>
    </message>
    <message>
        <source>About</source>
        <translation>О приложении</translation>
    </message>
</context>
<context>
    <name>Localization</name>
    <message>
        <source>Unexpected server response</source>
        <translation>Некорректный ответ сервера</translation>
    </message>
    <message>
        <source>Device limit exceeded</source>
        <translation>Превышен лимит устройств</translation>
    </message>
    <message>
        <source>Sign-in required</source>
        <translation>Требуется вход</translation>
    </message>
    <message>
        <source>Subscription inactive — VPN disconnected.</source>
        <translation>Подписка неактивна — VPN отключён.</translation>
    </message>
    <message>
        <source>This device was disconnected from the account. Sign in again.</source>
        <translation>Это устройство отключено от аккаунта. Войдите снова.</translation>
    </message>
    <message>
        <source>Subscription inactive — connection unavailable. Check the status in the Account tab.</source>
        <translation>Подписка неактивна — подключение недоступно. Проверьте статус во вкладке «Аккаунт».</translation>
    </message>
    <message>
        <source>No configuration for this region — sign out and sign in again</source>
        <translation>Конфигурация для этого региона недоступна — выйдите и войдите заново</translation>
    </message>
    <message>
        <source>Quit Veloxa</source>
        <translation>Выйти из Veloxa</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Подключиться</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Отключиться</translation>
    </message>
    <message>
        <source>About Veloxa</source>
        <translation>О Veloxa</translation>
    </message>
    <message>
        <source>Version %1 (%2)</source>
        <translation>Версия %1 (%2)</translation>
    </message>
    <message>
        <source>Russia</source>
        <translation>Россия</translation>
    </message>
    <message>
        <source>Germany</source>
        <translation>Германия</translation>
    </message>
    <message>
        <source>Enter a valid email address</source>
        <translation>Введите корректный email</translation>
    </message>
</context>
<context>
    <name>PowerButton</name>
    <message>
        <source>Disconnect</source>
        <translation>Отключиться</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Подключиться</translation>
    </message>
</context>
<context>
    <name>SignInFormView</name>
    <message>
        <source>Sending…</source>
        <translation>Отправка…</translation>
    </message>
    <message>
        <source>Resend in %1s</source>
        <translation>Повторно через %1 с</translation>
    </message>
    <message>
        <source>Code from email</source>
        <translation>Код из письма</translation>
    </message>
    <message>
        <source>Sign in</source>
        <translation>Вход в аккаунт</translation>
    </message>
    <message>
        <source>I agree to the </source>
        <translation>Я соглашаюсь с </translation>
    </message>
    <message>
        <source>Terms of Use</source>
        <comment>in the consent sentence</comment>
        <translation>условиями использования</translation>
    </message>
    <message>
        <source> and </source>
        <translation> и </translation>
    </message>
    <message>
        <source>Privacy Policy</source>
        <comment>in the consent sentence</comment>
        <translation>политикой конфиденциальности</translation>
    </message>
    <message>
        <source>Get code</source>
        <translation>Получить код</translation>
    </message>
    <message>
        <source>Checking…</source>
        <translation>Проверка…</translation>
    </message>
    <message>
        <source>Sign in</source>
        <comment>button</comment>
        <translation>Войти</translation>
    </message>
    <message>
        <source>Resend code</source>
        <translation>Отправить код ещё раз</translation>
    </message>
    <message>
        <source>Change email</source>
        <translation>Изменить email</translation>
    </message>
</context>
<context>
    <name>Texts</name>
    <message>
        <source>active</source>
        <comment>subscription status</comment>
        <translation>активна</translation>
    </message>
    <message>
        <source>expired</source>
        <comment>subscription status</comment>
        <translation>истекла</translation>
    </message>
    <message>
        <source>inactive</source>
        <comment>subscription status</comment>
        <translation>неактивна</translation>
    </message>
</context>
<context>
    <name>VPNTabView</name>
    <message>
        <source>IP address</source>
        <translation>IP-адрес</translation>
    </message>
    <message>
        <source>Region</source>
        <translation>Регион</translation>
    </message>
    <message>
        <source>Session time</source>
        <translation>Время сессии</translation>
    </message>
    <message>
        <source>Traffic</source>
        <translation>Трафик</translation>
    </message>
    <message>
        <source>Russia</source>
        <translation>Россия</translation>
    </message>
    <message>
        <source>Germany</source>
        <translation>Германия</translation>
    </message>
    <message>
        <source>Subscription %1 — connection unavailable</source>
        <translation>Подписка %1 — подключение недоступно</translation>
    </message>
</context>
</TS>
