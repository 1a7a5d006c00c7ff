pragma Singleton
import QtQuick

// Colours, shapes and motion shared by every view (dark appearance).
QtObject {
    readonly property color accent: "#0a84ff"
    readonly property color secondary: Qt.rgba(235 / 255, 235 / 255, 245 / 255, 0.6)
    readonly property color primary: "#ffffff"
    readonly property color red: "#ff453a"
    readonly property color orange: "#ff9f0a"
    readonly property color green: "#30d158"
    readonly property color blue: "#0a84ff"
    readonly property color cyan: "#64d2ff"
    // The power button's colour while the tunnel changes state or reconnects.
    readonly property color amber: Qt.rgba(0.98, 0.74, 0.22, 1)

    // The ultra-thin material: a translucent fill with a hairline white outline. Dense
    // enough that the eyes behind a card read as a soft shape, never through the text.
    readonly property color materialFill: Qt.rgba(0.15, 0.15, 0.21, 0.88)
    readonly property color materialStroke: Qt.rgba(1, 1, 1, 0.12)
    readonly property real hairline: 0.5
    readonly property real cardRadius: 20
    readonly property real rowRadius: 14

    // Keyboard focus, drawn around the focused control in its own shape: a light accent
    // ring (5.9:1 on a card, 5.5:1 on the backdrop) over a dark hairline, so it stays
    // visible against accent fills too.
    readonly property color focusRing: "#5aabff"
    readonly property color focusGap: Qt.rgba(0.05, 0.05, 0.1, 0.9)
    readonly property real focusRingWidth: 2
    // Text fields
    readonly property color fieldFill: Qt.rgba(1, 1, 1, 0.07)
    readonly property color fieldStroke: Qt.rgba(1, 1, 1, 0.18)
    readonly property real fieldRadius: 5
    // Dialogs and pop-up lists
    readonly property color popupFill: "#2c2c34"
    readonly property real popupRadius: 12
    // Destructive buttons' fill
    readonly property color redFill: Qt.rgba(1, 0.27, 0.23, 0.16)
    readonly property color accentFill: Qt.rgba(10 / 255, 132 / 255, 255 / 255, 0.16)

    // The floating tab bar (62 points, 18 above the window's edge) and the gap pages keep
    // above it: nothing a page shows at rest lies under the bar.
    readonly property real tabBarRoom: 80
    readonly property real pageBottomInset: tabBarRoom + 8

    readonly property int captionSize: 11
    readonly property int bodySize: 13
    readonly property int headlineSize: 14
    readonly property int subheadlineSize: 12

    // A damped spring of response 0.32 s and damping fraction 0.8, sampled as a curve
    // over springDuration (it overshoots by 1.5 % and settles well within it).
    readonly property int springDuration: 500
    // The power button's press: a spring of response 0.25 s and damping fraction 0.6,
    // sampled the same way (it overshoots by 9.5 % and settles within 0.6 s).
    readonly property int pressDuration: 600
    readonly property var pressCurve: [0.0167, 0.0954, 0.0667, 0.3988, 0.1, 0.5722, 0.1333, 0.7456, 0.1667, 0.9554, 0.2, 1.0403, 0.2333, 1.1253, 0.2667, 1.0856, 0.3, 1.0817, 0.3333, 1.0778, 0.3667, 1.032, 0.4, 1.017, 0.4333, 1.0019, 0.4667, 0.9952, 0.5, 0.9915, 0.5333, 0.9878, 0.5667, 0.9934, 0.6, 0.9948, 0.6333, 0.9962, 0.6667, 0.9989, 0.7, 0.9999, 0.7333, 1.0009, 0.7667, 1.0008, 0.8, 1.0008, 0.8333, 1.0009, 0.8667, 1.0004, 0.9, 1.0003, 0.9333, 1.0001, 0.9833, 1.0, 1.0, 1.0]
    readonly property var springCurve: [0.0333, 0.0, 0.0667, 0.1450, 0.1000, 0.2832, 0.1333, 0.4213,
        0.1667, 0.5596, 0.2000, 0.6644, 0.2333, 0.7691, 0.2667, 0.8438, 0.3000, 0.8945, 0.3333,
        0.9452, 0.3667, 0.9731, 0.4000, 0.9898, 0.4333, 1.0065, 0.4667, 1.0121, 0.5000, 1.0142,
        0.5333, 1.0163, 0.5667, 1.0148, 0.6000, 1.0129, 0.6333, 1.0110, 0.6667, 1.0087, 0.7000,
        1.0068, 0.7333, 1.0050, 0.7667, 1.0035, 0.8000, 1.0025, 0.8333, 1.0015, 0.8667, 1.0009,
        0.9000, 1.0005, 0.9333, 1.0001, 0.9667, 1.0000, 1.0, 1.0]
}
