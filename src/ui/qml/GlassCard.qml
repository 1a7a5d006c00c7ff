import QtQuick

// A card surface: the ultra-thin material with the hairline outline.
Rectangle {
    radius: Theme.cardRadius
    color: Theme.materialFill
    border.width: Theme.hairline
    border.color: Theme.materialStroke
}
