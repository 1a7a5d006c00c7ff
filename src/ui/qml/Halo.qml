import QtQuick

// A blurred silhouette (a glow or a shadow) of `shape` at `shapeSize`, centred on its
// parent's centre plus `offset`. Blurred once; animating it only fades and scales it.
Image {
    id: halo
    property string shape: "disc"
    property size shapeSize: Qt.size(100, 100)
    property color color: "white"
    property int blur: 10
    property point offset: Qt.point(0, 0)
    x: (parent ? parent.width : 0) / 2 - width / 2 + offset.x
    y: (parent ? parent.height : 0) / 2 - height / 2 + offset.y
    width: shapeSize.width + 2 * blur
    height: shapeSize.height + 2 * blur
    sourceSize.width: shapeSize.width
    sourceSize.height: shapeSize.height
    source: "image://halo/" + shape + "?color=" + encodeURIComponent(Qt.rgba(color.r, color.g, color.b, 1).toString())
            + "&blur=" + blur
    opacity: color.a
    smooth: true
    cache: true
}
