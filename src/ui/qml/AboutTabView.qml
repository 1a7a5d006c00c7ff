pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import Veloxa.Core

// Name, glyph and version; the interface language; privacy, terms and support links.
Item {
    id: about
    property bool animating: true

    CenteredScrollView {
        objectName: "pageScroll"
        anchors.fill: parent
        anchors.bottomMargin: Theme.pageBottomInset
        Column {
            x: 20; y: 20
            width: parent.width - 40
            spacing: 20

            GlassCard {
                width: parent.width
                height: header.implicitHeight + 40
                Column {
                    id: header
                    anchors.centerIn: parent
                    spacing: 10
                    Row {
                        objectName: "glyph"
                        anchors.horizontalCenter: parent.horizontalCenter
                        spacing: 12
                        SingleVeloxaEye { width: 25; height: 19; eyeAsset: "VeloxaEyeLeft"; pupilAsset: "VeloxaEyePupilLeft"; pupilCenter: Qt.point(0.534, 0.379) }
                        SingleVeloxaEye { width: 25; height: 19; eyeAsset: "VeloxaEyeRight"; pupilAsset: "VeloxaEyePupilRight"; pupilCenter: Qt.point(0.502, 0.379) }
                    }
                    Text { anchors.horizontalCenter: parent.horizontalCenter; text: "Veloxa"; color: Theme.primary; font.pixelSize: 17; font.weight: Font.DemiBold }
                    Text { objectName: "version"; anchors.horizontalCenter: parent.horizontalCenter; text: qsTr("Version %1 (%2)").arg(ViewFormat.appVersion()).arg(ViewFormat.appBuild()); color: Theme.secondary; font.pixelSize: Theme.captionSize; Accessible.role: Accessible.StaticText; Accessible.name: text }
                }
            }

            GlassCard {
                width: parent.width
                height: Math.max(languageLabel.implicitHeight, picker.implicitHeight) + 28
                Text { id: languageLabel; x: 16; anchors.verticalCenter: parent.verticalCenter; text: qsTr("Language"); color: Theme.primary; font.pixelSize: Theme.bodySize }
                ComboBox {
                    id: picker
                    objectName: "languagePicker"
                    anchors.right: parent.right; anchors.rightMargin: 16
                    anchors.verticalCenter: parent.verticalCenter
                    model: Localization.languages
                    textRole: "displayName"
                    valueRole: "code"
                    implicitContentWidthPolicy: ComboBox.WidestText
                    Accessible.name: languageLabel.text
                    // Follows the language however it changes (choosing here replaces a binding).
                    Component.onCompleted: currentIndex = indexOfValue(Localization.languageCode)
                    Connections {
                        target: Localization
                        function onLanguageChanged() { picker.currentIndex = picker.indexOfValue(Localization.languageCode) }
                    }
                    onActivated: index => Localization.languageCode = valueAt(index)
                    contentItem: Text {
                        leftPadding: 10
                        rightPadding: picker.indicator.width + 10
                        text: picker.displayText
                        color: Theme.primary
                        font.pixelSize: Theme.bodySize
                        verticalAlignment: Text.AlignVCenter
                    }
                    indicator: Symbol {
                        x: picker.width - width - 8
                        anchors.verticalCenter: picker.verticalCenter
                        name: "chevron.up.chevron.down"; color: Theme.secondary; size: 11
                    }
                    background: Rectangle {
                        implicitWidth: 120; implicitHeight: 26
                        radius: 6
                        color: picker.down ? Qt.rgba(1, 1, 1, 0.18) : Qt.rgba(1, 1, 1, 0.1)
                        border.width: picker.activeFocus ? Theme.focusRingWidth : Theme.hairline
                        border.color: picker.activeFocus ? Theme.focusRing : Theme.materialStroke
                    }
                    delegate: ItemDelegate {
                        id: entry
                        required property var modelData
                        required property int index
                        width: picker.popup.availableWidth
                        height: 28
                        highlighted: picker.highlightedIndex === index
                        contentItem: Row {
                            spacing: 6
                            Symbol {
                                anchors.verticalCenter: parent.verticalCenter
                                name: "checkmark"; size: 10; color: Theme.primary
                                opacity: picker.currentIndex === entry.index ? 1 : 0
                            }
                            Text {
                                anchors.verticalCenter: parent.verticalCenter
                                text: entry.modelData.displayName
                                color: Theme.primary
                                font.pixelSize: Theme.bodySize
                            }
                        }
                        background: Rectangle {
                            radius: 5
                            color: entry.highlighted ? Theme.accent : "transparent"
                        }
                    }
                    popup: Popup {
                        objectName: "languageList"
                        // aligned to the picker's trailing edge, so it stays within the card
                        x: picker.width - width
                        y: picker.height + 4
                        width: Math.max(picker.width, 150)
                        padding: 5
                        implicitHeight: contentItem.implicitHeight + 10
                        contentItem: ListView {
                            clip: true
                            implicitHeight: contentHeight
                            model: picker.popup.visible ? picker.delegateModel : null
                            currentIndex: picker.highlightedIndex
                        }
                        background: Rectangle {
                            radius: 8
                            color: Theme.popupFill
                            border.width: Theme.hairline
                            border.color: Theme.materialStroke
                        }
                    }
                }
            }

            GlassCard {
                width: parent.width
                height: links.implicitHeight
                Column {
                    id: links
                    width: parent.width
                    Repeater {
                        model: [{ key: "privacyPolicy", title: qsTr("Privacy Policy"), url: ViewFormat.websiteURL("/privacy") },
                                { key: "termsOfUse", title: qsTr("Terms of Use"), url: ViewFormat.websiteURL("/terms") },
                                { key: "contactSupport", title: qsTr("Contact Support"), url: ViewFormat.supportURL() }]
                        Column {
                            id: link
                            required property var modelData
                            required property int index
                            width: links.width
                            Rectangle { visible: link.index > 0; x: 16; width: parent.width - 16; height: 1; color: Qt.rgba(1, 1, 1, 0.1) }
                            Pressable {
                                objectName: "link_" + link.modelData.key
                                width: parent.width
                                height: title.implicitHeight + 28
                                // drawn inside the row, following the card's corners
                                ringInside: true
                                ringRadius: Theme.cardRadius
                                accessibleName: title.text
                                accessibleRole: Accessible.Link
                                onActivated: Qt.openUrlExternally(link.modelData.url)
                                Text { id: title; x: 16; anchors.verticalCenter: parent.verticalCenter; text: link.modelData.title; color: Theme.primary; font.pixelSize: Theme.bodySize }
                                Symbol { anchors.right: parent.right; anchors.rightMargin: 16; anchors.verticalCenter: parent.verticalCenter; name: "arrow.up.right"; color: Theme.secondary; size: 11 }
                            }
                        }
                    }
                }
            }
        }
    }
}
