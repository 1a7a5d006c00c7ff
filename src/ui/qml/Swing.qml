import QtQuick

// A value swinging 0 → 1 → 0 with an ease-in-out, `period` ms each way, while `running`.
// Stepped at 25 Hz rather than every frame: the ambient motions are slow, and every
// further frame costs a repaint of the glows with the software renderer. Its time is the
// sum of its steps (the animation clock's, like every timer's), not the wall clock.
Timer {
    id: swing
    property int period: 2400
    property real value: 0
    property real elapsed: 0

    interval: 40
    repeat: true
    // From 0 again (a running swing starts over).
    function rewind() {
        elapsed = 0
        value = 0
    }
    onRunningChanged: rewind()
    onTriggered: {
        elapsed += interval
        const t = (elapsed / period) % 2
        const x = t < 1 ? t : 2 - t
        value = x < 0.5 ? 2 * x * x : 1 - 2 * (1 - x) * (1 - x)
    }
}
