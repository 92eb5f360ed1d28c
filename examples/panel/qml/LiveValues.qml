import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The device report and the live measurements, each with its own state.
Pane {
    id: live

    required property Meter meter
    readonly property bool allRead: meter.flow.wasRead && meter.volume.wasRead && meter.energy.wasRead
                                    && meter.supply.wasRead && meter.returnTemperature.wasRead && meter.clock.wasRead

    // Drives the stale check of every tile.
    property date now: new Date()
    Timer {
        interval: 500
        running: true
        repeat: true
        onTriggered: live.now = new Date()
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 8

        Label {
            objectName: "deviceName"
            text: live.meter.deviceText !== "" ? live.meter.deviceText : qsTr("No device report yet")
            font.pixelSize: 20
            font.bold: true
        }
        Label {
            objectName: "deviceDetails"
            text: {
                const model = live.meter.text(live.meter.model), site = live.meter.text(live.meter.site)
                return model !== "" && site !== "" ? model + " \u00b7 " + site : model + site
            }
            color: palette.placeholderText
        }

        GridLayout {
            columns: 2
            columnSpacing: 8
            rowSpacing: 8
            Layout.fillWidth: true

            ValueTile {
                objectName: "value.flow"
                title: qsTr("Flow"); unit: "m\u00b3/h"
                item: live.meter.flow
                text: live.meter.flow.value.toFixed(3)
                now: live.now
                Layout.fillWidth: true
            }
            ValueTile {
                objectName: "value.volume"
                title: qsTr("Volume"); unit: "m\u00b3"
                item: live.meter.volume
                text: (live.meter.volume.value / 100).toFixed(2)
                now: live.now
                Layout.fillWidth: true
            }
            ValueTile {
                objectName: "value.supply"
                title: qsTr("Supply"); unit: "\u00b0C"
                item: live.meter.supply
                text: live.meter.supply.value.toFixed(1)
                now: live.now
                Layout.fillWidth: true
            }
            ValueTile {
                objectName: "value.return"
                title: qsTr("Return"); unit: "\u00b0C"
                item: live.meter.returnTemperature
                text: live.meter.returnTemperature.value.toFixed(1)
                now: live.now
                Layout.fillWidth: true
            }
            ValueTile {
                objectName: "value.energy"
                title: qsTr("Energy"); unit: "kWh"
                item: live.meter.energy
                text: String(live.meter.energy.value)
                now: live.now
                Layout.fillWidth: true
            }
            ValueTile {
                objectName: "value.clock"
                title: qsTr("Meter clock"); unit: ""
                item: live.meter.clock
                text: Qt.formatDateTime(live.meter.clock.value, "hh:mm:ss")
                now: live.now
                Layout.fillWidth: true
            }
        }
        // How the link fares: the client's own counts of requests.
        GroupBox {
            title: qsTr("Requests")
            Layout.fillWidth: true
            GridLayout {
                columns: 2
                columnSpacing: 16
                Label { text: qsTr("answered") }
                Label { objectName: "requestsAnswered"; text: live.meter.client.goodTasksCount }
                Label { text: qsTr("failed") }
                Label {
                    objectName: "requestsFailed"
                    text: live.meter.client.errorTasksCount
                    color: live.meter.client.errorTasksCount > 0 ? "#c62828" : palette.windowText
                }
                Label { text: qsTr("waiting") }
                Label { text: live.meter.client.queuedTasksCount }
            }
        }
        Item { Layout.fillHeight: true }
    }
}
