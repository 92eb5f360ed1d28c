import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import TavrexBus 1.0

// One measurement: its value with unit and a state chip. "waiting" until the first read, "ok", "stale"
// when no read has come for three intervals, "error" while the last read failed; the last value stays
// on show, greyed, until a read succeeds again.
Frame {
    id: tile

    required property string title
    required property string unit
    required property ModbusItemBase item
    // The value as shown, computed by the caller from the item.
    property string text
    // The caller's clock, ticking while the panel runs.
    property date now: new Date()
    property int staleAfter: 3000

    property bool failed: false
    readonly property string status: !item.wasRead ? "waiting"
                                   : failed ? "error"
                                   : now.getTime() - item.lastReadTime.getTime() > staleAfter ? "stale" : "ok"
    readonly property color statusColor: status === "ok" ? "#2e7d32" : status === "stale" ? "#ef8f00"
                                       : status === "error" ? "#c62828" : "#9e9e9e"

    Connections {
        target: tile.item
        function onError(message) { tile.failed = message !== "" }
        function onAfterRead() { tile.failed = false }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 2

        RowLayout {
            Layout.fillWidth: true
            Label {
                text: tile.title
                color: palette.placeholderText
                Layout.fillWidth: true
                elide: Text.ElideRight
            }
            Rectangle {
                width: 10; height: 10; radius: 5
                color: tile.statusColor
            }
            Label {
                text: tile.status
                color: tile.statusColor
                font.pixelSize: 11
            }
        }
        RowLayout {
            spacing: 6
            Label {
                text: tile.item.wasRead ? tile.text : "\u2014"
                font.pixelSize: 26
                color: tile.status === "ok" ? palette.windowText : palette.placeholderText
            }
            Label {
                text: tile.unit
                color: palette.placeholderText
                Layout.alignment: Qt.AlignBaseline
            }
        }
    }
}
