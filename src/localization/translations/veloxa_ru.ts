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
    <message>
        <source>Start the Veloxa tunnel service on this computer to connect</source>
        <translation>Запустите службу туннеля Veloxa на этом компьютере, чтобы подключиться</translation>
    </message>
    <message>
        <source>Start Service</source>
        <translation>Запустить службу</translation>
    </message>
</context>
<context>
    <name>ChooserRow</name>
    <message>
        <source>Replace</source>
        <translation>Заменить</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Veloxa is not running</source>
        <translation>Veloxa не запущена</translation>
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
        <translation>Использование: veloxa [--status | --connect [de|ru] | --disconnect | --toggle]
              [--json] [--wait СЕКУНДЫ]
Обращается к запущенной Veloxa (для действия запускает её в трее) и печатает
состояние подключения: слово состояния, а при подключении — регион и
публичный IP-адрес.
  --status          напечатать состояние
  --connect [de|ru] подключиться к указанному или выбранному региону
  --disconnect      отключиться
  --toggle          подключиться, если отключено, иначе отключиться
  --json            напечатать один объект JSON вместо строки
  --wait СЕКУНДЫ    для действия: дождаться его завершения
Код выхода: 0 готово, 1 отказ (причина в стандартном потоке ошибок), 2 неверный
аргумент, 3 время ожидания истекло.
</translation>
    </message>
    <message>
        <source>Veloxa did not start</source>
        <translation>Veloxa не запустилась</translation>
    </message>
    <message>
        <source>The connection could not be made</source>
        <translation>Не удалось установить подключение</translation>
    </message>
    <message>
        <source>Waiting ran out</source>
        <translation>Время ожидания истекло</translation>
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
    <name>DeviceCard</name>
    <message>
        <source>this device</source>
        <translation>это устройство</translation>
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
    <message>
        <source>Choose a device to sign out to add this computer.</source>
        <translation>Выберите устройство, которое нужно отключить, чтобы добавить этот компьютер.</translation>
    </message>
</context>
<context>
    <name>DeviceRow</name>
    <message>
        <source>Platform: %1</source>
        <translation>Платформа: %1</translation>
    </message>
    <message>
        <source>Sign out</source>
        <comment>a device</comment>
        <translation>Отключить</translation>
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
    <message>
        <source>Veloxa connection lost — reconnecting</source>
        <translation>Соединение Veloxa потеряно — переподключение</translation>
    </message>
    <message>
        <source>Traffic is held until the VPN is back.</source>
        <translation>Трафик задержан, пока VPN не восстановится.</translation>
    </message>
    <message>
        <source>Veloxa connection restored</source>
        <translation>Соединение Veloxa восстановлено</translation>
    </message>
    <message>
        <source>Traffic goes through the VPN again.</source>
        <translation>Трафик снова идёт через VPN.</translation>
    </message>
    <message>
        <source>Start the Veloxa tunnel service on this computer to connect</source>
        <translation>Запустите службу туннеля Veloxa на этом компьютере, чтобы подключиться</translation>
    </message>
    <message>
        <source>Disconnect first to change the region</source>
        <translation>Сначала отключитесь, чтобы сменить регион</translation>
    </message>
    <message>
        <source>The Veloxa tunnel service is not running</source>
        <translation>Служба туннеля Veloxa не запущена</translation>
    </message>
    <message>
        <source>The Veloxa tunnel service cannot be reached: %1</source>
        <translation>Служба туннеля Veloxa недоступна: %1</translation>
    </message>
    <message>
        <source>The tunnel service refused the request</source>
        <translation>Служба туннеля отклонила запрос</translation>
    </message>
    <message>
        <source>Could not start tunnel session</source>
        <translation>Не удалось начать сеанс туннеля</translation>
    </message>
    <message>
        <source>No such configuration</source>
        <translation>Такой конфигурации нет</translation>
    </message>
    <message>
        <source>The VPN configuration is disabled</source>
        <translation>Конфигурация VPN отключена</translation>
    </message>
    <message>
        <source>The VPN configuration has no tunnel settings</source>
        <translation>В конфигурации VPN нет настроек туннеля</translation>
    </message>
    <message>
        <source>No tunnel engine command is configured</source>
        <translation>Команда движка туннеля не задана</translation>
    </message>
    <message>
        <source>The tunnel engine &quot;%1&quot; was not found on this computer</source>
        <translation>Движок туннеля «%1» не найден на этом компьютере</translation>
    </message>
    <message>
        <source>The tunnel engine could not be started: %1</source>
        <translation>Не удалось запустить движок туннеля: %1</translation>
    </message>
    <message>
        <source>The tunnel engine did not become ready in time</source>
        <translation>Движок туннеля не был готов вовремя</translation>
    </message>
    <message>
        <source>The tunnel engine crashed</source>
        <translation>Движок туннеля аварийно завершился</translation>
    </message>
    <message>
        <source>The tunnel engine exited with code %1</source>
        <translation>Движок туннеля завершился с кодом %1</translation>
    </message>
    <message>
        <source>Another user&apos;s VPN connection is active on this computer</source>
        <translation>На этом компьютере активно VPN-подключение другого пользователя</translation>
    </message>
    <message>
        <source>The network interface &quot;%1&quot; already exists</source>
        <translation>Сетевой интерфейс «%1» уже существует</translation>
    </message>
    <message>
        <source>Cannot write the tunnel settings: %1</source>
        <translation>Не удалось записать настройки туннеля: %1</translation>
    </message>
    <message>
        <source>The VPN configuration&apos;s tunnel settings may not use &quot;%1&quot;</source>
        <translation>Параметры туннеля в конфигурации VPN не могут использовать «%1»</translation>
    </message>
    <message>
        <source>The VPN configuration&apos;s tunnel settings have an unusable value at &quot;%1&quot;</source>
        <translation>Параметры туннеля в конфигурации VPN содержат недопустимое значение в «%1»</translation>
    </message>
    <message>
        <source>The VPN configuration&apos;s tunnel settings name &quot;%1&quot; more than once</source>
        <translation>В параметрах туннеля конфигурации VPN «%1» указан более одного раза</translation>
    </message>
    <message>
        <source>The VPN configuration&apos;s tunnel settings have too many WireGuard prefixes at &quot;%1&quot; (at most 256 in all)</source>
        <translation>В параметрах туннеля конфигурации VPN слишком много префиксов WireGuard в «%1» (всего не более 256)</translation>
    </message>
    <message>
        <source>The VPN configuration&apos;s tunnel settings are not a JSON object</source>
        <translation>Параметры туннеля в конфигурации VPN не являются объектом JSON</translation>
    </message>
    <message>
        <source>The VPN configuration needs exactly one tun inbound</source>
        <translation>Конфигурации VPN нужен ровно один входящий tun</translation>
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
    <name>SessionRow</name>
    <message>
        <source>reconnecting</source>
        <translation>переподключение</translation>
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
    <message>
        <source>received %1, sent %2</source>
        <translation>получено %1, отправлено %2</translation>
    </message>
    <message>
        <source>Reconnecting… traffic is held until the VPN is back</source>
        <translation>Переподключение… трафик задержан, пока VPN не вернётся</translation>
    </message>
</context>
</TS>
