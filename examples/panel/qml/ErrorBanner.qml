import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The latest failure in the library's own words, naming what failed ("link", "meter", "archive",
// "export"). It stays until closed, replaced, or cleared by the part that failed once it works again.
Rectangle {
    id: banner

    property string source
    property string message

    function show(from, text) {
        source = from
        message = text
    }

    function clear(from) {
        if (from === source)
            message = ""
    }

    visible: message !== ""
    implicitHeight: visible ? row.implicitHeight + 12 : 0
    color: "#fdecea"
    border.color: "#c62828"

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 10
        anchors.rightMargin: 4
        Label {
            objectName: "errorText"
            text: banner.source + ": " + banner.message
            color: "#8e0000"
            wrapMode: Text.Wrap
            Layout.fillWidth: true
        }
        ToolButton {
            text: "\u2715"
            onClicked: banner.message = ""
        }
    }
}
