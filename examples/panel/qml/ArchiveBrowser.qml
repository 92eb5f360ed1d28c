import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import TavrexBus 1.0

// A date range of one of the meter's archives, read through ModbusArchReader into a table that fills
// as the answers arrive; a reading can be stopped and keeps what it read.
Pane {
    id: browser

    required property ModbusClient client
    readonly property ModbusArchRecordEkDigital record: record
    readonly property ModbusArchReader reader: reader
    readonly property var archive: archives[archiveChoice.currentIndex]
    readonly property int rows: record.arraySize
    readonly property bool running: reader.running
    // What the table shows of each record, by role; a field the record's layout lacks is left out.
    readonly property var columns: {
        record.ekdGeneration
        record.containsHeat
        return wanted.filter(column => browser.record.getModelHeader(column.role) !== "")
    }
    // Column widths by caption, the way the table knows its columns.
    readonly property var widths: {
        const map = {}
        for (const column of columns)
            map[record.getModelHeader(column.role)] = column.width
        return map
    }
    onWidthsChanged: table.forceLayout()
    property int expected: 0

    readonly property var archives: [
        { title: qsTr("Hourly (archive 2)"), index: 2, interval: TavrexBus.Hour, generation: 3, step: 3600000 },
        { title: qsTr("Daily (archive 3)"), index: 3, interval: TavrexBus.Day, generation: 2, step: 86400000 },
    ]
    readonly property var wanted: [
        { role: "recordLabel", width: 124 }, { role: "vPlus", width: 96 }, { role: "mPlus", width: 96 },
        { role: "w", width: 90 }, { role: "dMinVolumeFlowRate", width: 100 }, { role: "dMaxVolumeFlowRate", width: 100 },
        { role: "averageTemperature1", width: 104 }, { role: "averageTemperature2", width: 104 },
    ]
    readonly property string inputFormat: "yyyy-MM-dd hh:mm"

    signal problem(string source, string message)

    function parse(text) {
        return Date.fromLocaleString(Qt.locale("C"), text, inputFormat)
    }

    // Yesterday's hours, or the last thirty days.
    function resetRange() {
        const end = new Date()
        end.setHours(0, 0, 0, 0)
        end.setDate(end.getDate() - 1)
        const start = new Date(end)
        if (archive.interval === TavrexBus.Hour)
            end.setHours(23)
        else
            start.setDate(start.getDate() - 29)
        fromField.text = Qt.formatDateTime(start, inputFormat)
        toField.text = Qt.formatDateTime(end, inputFormat)
    }

    function read() {
        const from = parse(fromField.text), to = parse(toField.text)
        if (isNaN(from.getTime()) || isNaN(to.getTime()) || to < from) {
            problem("archive", qsTr("the range needs two times as %1, the first not after the second").arg(inputFormat))
            return
        }
        expected = Math.floor((to - from) / archive.step) + 1
        reader.from = from
        reader.to = to
        reader.start()
    }

    ModbusArchRecordEkDigital {
        id: record
        client: browser.client
        archIndex: browser.archive.index
        archType: TavrexBus.TimeArch
        archInterval: browser.archive.interval
        func: TavrexBus.Func67
        ekdGeneration: browser.archive.generation
    }

    ModbusArchReader {
        id: reader
        record: record
        recordsPerRequestOptimization: true
        onError: function(message) { if (message !== "") browser.problem("archive", message) }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 6

        RowLayout {
            Layout.fillWidth: true
            Label { text: qsTr("Archive"); font.bold: true }
            ComboBox {
                id: archiveChoice
                objectName: "archiveChoice"
                model: browser.archives.map(a => a.title)
                enabled: !reader.running
                implicitContentWidthPolicy: ComboBox.WidestText
                onActivated: {
                    record.clearArray()
                    browser.resetRange()
                }
            }
            Label { text: qsTr("from") }
            TextField {
                id: fromField
                objectName: "archiveFrom"
                placeholderText: browser.inputFormat
                selectByMouse: true
                enabled: !reader.running
            }
            Label { text: qsTr("to") }
            TextField {
                id: toField
                objectName: "archiveTo"
                placeholderText: browser.inputFormat
                selectByMouse: true
                enabled: !reader.running
            }
            Button {
                objectName: "archiveRead"
                text: qsTr("Read")
                enabled: browser.client.connected && !reader.running
                onClicked: browser.read()
            }
            Button {
                objectName: "archiveStop"
                text: qsTr("Stop")
                enabled: reader.running
                onClicked: reader.stop()
            }
            ProgressBar {
                objectName: "archiveProgress"
                Layout.fillWidth: true
                from: 0
                to: Math.max(1, reader.total > 0 ? reader.total : browser.expected)
                value: reader.progress
                opacity: reader.running ? 1 : 0
            }
            Label {
                objectName: "archiveCount"
                text: reader.running ? qsTr("%1 of %2").arg(reader.progress).arg(browser.expected)
                                     : browser.rows === 1 ? qsTr("1 record") : qsTr("%1 records").arg(browser.rows)
            }
        }

        HorizontalHeaderView {
            id: tableHeader
            syncView: table
            clip: true
            Layout.fillWidth: true
            delegate: Label {
                required property string display
                text: display
                font.bold: true
                wrapMode: Text.Wrap
                maximumLineCount: 3
                padding: 4
                verticalAlignment: Text.AlignBottom
            }
        }

        // The record's own model, one column per field; the fields not wanted are zero wide.
        TableView {
            id: table
            objectName: "archiveTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: record.model
            columnSpacing: 0
            rowSpacing: 0
            columnWidthProvider: function(column) {
                return browser.widths[browser.record.model.headerData(column, Qt.Horizontal)] || 0
            }
            ScrollBar.vertical: ScrollBar { }
            ScrollBar.horizontal: ScrollBar { }

            // The item's model names its display role "value": the field of the cell's column.
            delegate: Label {
                id: cell
                required property var value
                required property int row
                text: value instanceof Date ? Qt.formatDateTime(value, "dd.MM.yyyy hh:mm")
                                            : Number(value).toFixed(Math.abs(value) < 100 ? 2 : 3)
                padding: 4
                background: Rectangle { color: cell.row % 2 ? "#f4f6f8" : "#ffffff" }
            }
        }
    }

    Component.onCompleted: {
        // A new record holds one empty element: no row to show.
        record.clearArray()
        resetRange()
    }
}
