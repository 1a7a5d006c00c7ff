import QtQuick

// The pair of glowing eyes: the glow breathes every 3.4 s, the eyes blink at random
// intervals of 3 to 6.5 s. Nothing runs while `animating` is false (window hidden).
Item {
    id: eyes
    property bool animating: true
    property bool glowing: false
    // 0 faint … 1 strong; swings with an ease-in-out of 3.4 s once `glowing` is set.
    property real glowPhase: 0
    property real eyeScaleY: 1.0
    // When the next blink starts, in ms after the previous one ended (for tests).
    property int nextBlinkDelay: 0

    width: 91 * 2 + 98
    height: 68
    opacity: 0.85
    enabled: false // clicks pass through to the controls above

    readonly property color glowColor: Qt.rgba(0.2, 0.85, 0.75, 1)

    Repeater {
        model: [0, 1]
        RadialGlow {
            x: modelData * (91 + 98) + 91 / 2 - width / 2
            y: eyes.height / 2 - height / 2
            // Drawn once at the strong glow's size; breathing scales and fades it, so the
            // gradient is never rebuilt while it animates.
            diameter: 80
            blur: 30
            color: eyes.glowColor
            opacity: 0.28 + 0.22 * eyes.glowPhase
            transform: Scale {
                origin.x: 70; origin.y: 70
                xScale: (80 + 2 * (18 + 12 * eyes.glowPhase)) / 140
                yScale: xScale * eyes.eyeScaleY * 0.75
            }
        }
    }

    Row {
        id: row
        spacing: 98
        anchors.centerIn: parent
        transform: Scale { origin.x: row.width / 2; origin.y: row.height / 2; yScale: eyes.eyeScaleY }
        SingleVeloxaEye {
            width: 91; height: 68
            eyeAsset: "VeloxaEyeLeft"; pupilAsset: "VeloxaEyePupilLeft"
            pupilCenter: Qt.point(0.534, 0.379)
        }
        SingleVeloxaEye {
            width: 91; height: 68
            eyeAsset: "VeloxaEyeRight"; pupilAsset: "VeloxaEyePupilRight"
            pupilCenter: Qt.point(0.502, 0.379)
        }
    }

    Component.onCompleted: glowing = true
    SequentialAnimation {
        running: eyes.animating && eyes.glowing
        loops: Animation.Infinite
        NumberAnimation { target: eyes; property: "glowPhase"; from: 0; to: 1; duration: 3400; easing.type: Easing.InOutQuad }
        NumberAnimation { target: eyes; property: "glowPhase"; from: 1; to: 0; duration: 3400; easing.type: Easing.InOutQuad }
    }

    // Blink loop: wait 3–6.5 s, close in 0.09 s to 5 % of the height, open in 0.13 s.
    SequentialAnimation {
        id: blink
        running: eyes.animating
        loops: Animation.Infinite
        ScriptAction { script: blinkWait.duration = eyes.nextBlinkDelay = 3000 + Math.floor(Math.random() * 3501) }
        PauseAnimation { id: blinkWait; duration: 3000 }
        NumberAnimation { target: eyes; property: "eyeScaleY"; to: 0.05; duration: 90; easing.type: Easing.InQuad }
        NumberAnimation { target: eyes; property: "eyeScaleY"; to: 1.0; duration: 130; easing.type: Easing.OutQuad }
    }
    onAnimatingChanged: if (!animating) eyeScaleY = 1.0
}
