pragma ComponentBehavior: Bound
import QtQuick

// The pair of glowing eyes: the glow breathes every 3.4 s, the eyes blink after random
// waits of 3 to 6.5 s. Nothing runs while `animating` is false (window hidden).
Item {
    id: eyes
    property bool animating: true
    property bool glowing: false
    // 0 faint … 1 strong; swings with an ease-in-out of 3.4 s once `glowing` is set.
    readonly property real glowPhase: breathing.value
    property real eyeScaleY: 1.0

    width: 91 * 2 + 98
    height: 68
    opacity: 0.85
    enabled: false // clicks pass through to the controls above

    readonly property color glowColor: Qt.rgba(0.2, 0.85, 0.75, 1)

    // The glow: a halo in each eye's own shape, faint (radius 18, 28 %) to strong (radius
    // 30, 50 %). Both halos are blurred once; breathing only cross-fades them.
    Repeater {
        model: [{ asset: "VeloxaEyeLeft", x: 0 }, { asset: "VeloxaEyeRight", x: 91 + 98 }]
        Item {
            id: eye
            required property var modelData
            x: modelData.x; y: 0
            width: 91; height: 68
            transform: Scale { origin.y: 34; yScale: eyes.eyeScaleY }
            Halo {
                shape: "image/" + eye.modelData.asset; shapeSize: Qt.size(91, 68); blur: 18
                color: eyes.glowColor
                opacity: 0.28 * (1 - eyes.glowPhase)
            }
            Halo {
                shape: "image/" + eye.modelData.asset; shapeSize: Qt.size(91, 68); blur: 30
                color: eyes.glowColor
                opacity: 0.5 * eyes.glowPhase
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

    Component.onCompleted: {
        glowing = true
        scheduleBlink()
    }
    Swing {
        id: breathing
        running: eyes.animating && eyes.glowing
        period: 3400
    }

    // Blink loop: wait 3–6.5 s, drawn anew before each blink (whole milliseconds), close in
    // 0.09 s to 5 % of the height, open in 0.13 s, again. The wait is a timer started
    // afresh each time: a pause inside a running animation group keeps its first duration.
    function scheduleBlink() {
        if (!animating)
            return
        blinkWait.interval = 3000 + Math.floor(Math.random() * 3501)
        blinkWait.restart()
    }
    Timer {
        id: blinkWait
        onTriggered: blink.restart()
    }
    SequentialAnimation {
        id: blink
        NumberAnimation { target: eyes; property: "eyeScaleY"; to: 0.05; duration: 90; easing.type: Easing.InQuad }
        NumberAnimation { target: eyes; property: "eyeScaleY"; to: 1.0; duration: 130; easing.type: Easing.OutQuad }
        onFinished: eyes.scheduleBlink()
    }
    onAnimatingChanged: {
        if (animating) {
            scheduleBlink()
        } else {
            blinkWait.stop()
            blink.stop()
            eyeScaleY = 1.0
        }
    }
}
