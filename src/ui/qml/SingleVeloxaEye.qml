import QtQuick

// One eye: the eye drawing scaled to fit, its pupil (17 % of the size) placed at
// pupilCenter as a fraction of the eye's width and height. The pupils do not move.
Item {
    id: eye
    property string eyeAsset
    property string pupilAsset
    property point pupilCenter: Qt.point(0.5, 0.5)

    Image {
        id: eyeImage
        anchors.centerIn: parent
        width: parent.width
        height: parent.height
        source: "assets/images/" + eye.eyeAsset + ".svg"
        sourceSize.width: width * 2; sourceSize.height: height * 2
        fillMode: Image.PreserveAspectFit
        Image {
            width: 0.17 * eyeImage.width
            height: 0.17 * eyeImage.height
            x: eye.pupilCenter.x * eyeImage.width - width / 2
            y: eye.pupilCenter.y * eyeImage.height - height / 2
            source: "assets/images/" + eye.pupilAsset + ".svg"
            sourceSize.width: width * 2; sourceSize.height: height * 2
        }
    }
}
