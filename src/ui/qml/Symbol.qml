import QtQuick

// One of our symbol drawings, tinted.
Image {
    id: symbol
    property string name
    property color color: "white"
    property real size: 17
    width: size
    height: size
    sourceSize.width: Math.ceil(size * 2); sourceSize.height: Math.ceil(size * 2)
    source: name ? "image://symbol/" + name + "?color=" + encodeURIComponent(color.toString()) : ""
    fillMode: Image.PreserveAspectFit
    smooth: true
    asynchronous: false
}
