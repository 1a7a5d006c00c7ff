pragma Singleton
import QtQuick

// Texts several views share.
QtObject {
    // The subscription's status as a word: active, expired, anything else inactive.
    function statusName(status) {
        return status === "active" ? qsTr("active", "subscription status")
             : status === "expired" ? qsTr("expired", "subscription status")
             : qsTr("inactive", "subscription status")
    }
}
