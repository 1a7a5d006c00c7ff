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

    // The ultra-thin material: a translucent fill with a hairline white outline.
    readonly property color materialFill: Qt.rgba(0.16, 0.16, 0.22, 0.74)
    readonly property color materialStroke: Qt.rgba(1, 1, 1, 0.12)
    readonly property real hairline: 0.5
    readonly property real cardRadius: 20
    readonly property real rowRadius: 14

    readonly property int captionSize: 11
    readonly property int bodySize: 13
    readonly property int headlineSize: 14
    readonly property int subheadlineSize: 12

    // A damped spring of response 0.32 s and damping fraction 0.8, sampled as a curve
    // over springDuration (it overshoots by 1.5 % and settles well within it).
    readonly property int springDuration: 500
    readonly property var springCurve: [0.0333, 0.0, 0.0667, 0.1450, 0.1000, 0.2832, 0.1333, 0.4213,
        0.1667, 0.5596, 0.2000, 0.6644, 0.2333, 0.7691, 0.2667, 0.8438, 0.3000, 0.8945, 0.3333,
        0.9452, 0.3667, 0.9731, 0.4000, 0.9898, 0.4333, 1.0065, 0.4667, 1.0121, 0.5000, 1.0142,
        0.5333, 1.0163, 0.5667, 1.0148, 0.6000, 1.0129, 0.6333, 1.0110, 0.6667, 1.0087, 0.7000,
        1.0068, 0.7333, 1.0050, 0.7667, 1.0035, 0.8000, 1.0025, 0.8333, 1.0015, 0.8667, 1.0009,
        0.9000, 1.0005, 0.9333, 1.0001, 0.9667, 1.0000, 1.0, 1.0]
}
