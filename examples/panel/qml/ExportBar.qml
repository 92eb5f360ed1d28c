import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import TavrexBus 1.0

// Saves what the panel shows: the measurements (XML: freshly read values with the device report; CSV:
// one row per read of the last minutes) and the archive table (XML: a group per record; CSV: every field
// of every record). Files are named after their content and the time of export.
ToolBar {
    id: bar

    required property Meter meter
    required property ArchiveBrowser archive
    property alias folder: folderField.text
    // The last file written, for the status line (and for whoever drives the panel).
    property string lastFile

    signal problem(string source, string message)

    function path(what, suffix) {
        return folder.replace(/\/+$/, "") + "/" + what + "-" + Qt.formatDateTime(new Date(), "yyyyMMdd-hhmmss") + suffix
    }

    function written(file) {
        lastFile = file
    }

    // A run that still waits for a silent meter gives way to the new one.
    function exportValuesXml() {
        valuesXml.clearInternal()
        valuesXml.clear()
        valuesXml.fileName = path("meter-values", ".xml")
        valuesXml.exportProperty("device", meter.deviceText)
        valuesXml.exportProperty("model", meter.text(meter.model))
        valuesXml.exportProperty("site", meter.text(meter.site))
        valuesXml.exportProperty("exported", new Date().toISOString())
        valuesXml.exportItems(meter.measurements)
    }

    function exportValuesCsv() {
        valuesCsv.fileName = path("meter-values", ".csv")
        if (valuesCsv.start())
            written(valuesCsv.fileName)
    }

    function exportArchiveXml() {
        const record = archive.record
        archiveXml.clear()
        archiveXml.fileName = path("meter-archive-" + record.archIndex, ".xml")
        archiveXml.beginGroup("archive " + record.archIndex)
        archiveXml.exportProperty("device", meter.deviceText)
        for (let row = 0; row < archive.rows; ++row) {
            archiveXml.beginGroup(Qt.formatDateTime(record.getModelValue(row, "recordLabel"), "yyyy-MM-ddThh:mm:ss"))
            for (const column of archive.columns.slice(1))
                archiveXml.exportProperty(column.role, String(record.getModelValue(row, column.role)))
            archiveXml.endGroup()
        }
        archiveXml.endGroup()
        if (archiveXml.save())
            written(archiveXml.fileName)
    }

    function exportArchiveCsv() {
        archiveCsv.fileName = path("meter-archive-" + archive.record.archIndex, ".csv")
        if (archiveCsv.start())
            written(archiveCsv.fileName)
    }

    // The same cell style as the exporter's own: decimals after a comma.
    function number(value, decimals) {
        return value === undefined ? "" : Number(value).toFixed(decimals).replace(".", ",")
    }

    // Each measurement is read on its own; its trend entry of the same read lies within half an interval.
    function trendValueAt(item, row) {
        const time = meter.flow.getModelValue(row, "label")
        const guess = row + item.trendSize - meter.flow.trendSize
        for (const r of [guess, guess - 1, guess + 1]) {
            if (r >= 0 && r < item.trendSize
                    && Math.abs(item.getModelValue(r, "label") - time) < meter.interval / 2)
                return item.getModelValue(r, "value")
        }
        return undefined
    }

    ModbusXmlExporter {
        id: valuesXml
        readOnExport: true
        skipReadOnlyItems: false
        onFinished: if (valuesXml.save()) bar.written(valuesXml.fileName)
        onError: function(message) { if (message !== "") bar.problem("export", message) }
    }

    // Rows are the flow's reads ("Label" is the time, "Value" the flow in m³/h); the other measurements
    // come as custom columns, appended in list order (indexes past the model's two columns).
    ModbusItemCSVExporter {
        id: valuesCsv
        item: bar.meter.flow
        customFields: [
            { index: 2, name: qsTr("Volume, m\u00b3") },
            { index: 3, name: qsTr("Energy, kWh") },
            { index: 4, name: qsTr("Supply, \u00b0C") },
            { index: 5, name: qsTr("Return, \u00b0C") },
        ]
        onCustomField: function(event) {
            const m = bar.meter
            switch (event.index) {
            case 2: event.value = bar.number(bar.trendValueAt(m.volume, event.rowIndex) / 100, 2); break
            case 3: event.value = bar.number(bar.trendValueAt(m.energy, event.rowIndex), 0); break
            case 4: event.value = bar.number(bar.trendValueAt(m.supply, event.rowIndex), 1); break
            case 5: event.value = bar.number(bar.trendValueAt(m.returnTemperature, event.rowIndex), 1); break
            }
        }
        onError: function(message) { if (message !== "") bar.problem("export", message) }
    }

    ModbusXmlExporter {
        id: archiveXml
        readOnExport: false
        waitForRead: false
        onError: function(message) { if (message !== "") bar.problem("export", message) }
    }

    ModbusItemCSVExporter {
        id: archiveCsv
        item: bar.archive.record
        onError: function(message) { if (message !== "") bar.problem("export", message) }
    }

    RowLayout {
        anchors.fill: parent
        spacing: 6

        Label { text: qsTr("Export to") }
        TextField {
            id: folderField
            objectName: "exportFolder"
            selectByMouse: true
            Layout.preferredWidth: 260
        }
        ToolSeparator { }
        Label { text: qsTr("Values") }
        Button {
            objectName: "exportValuesXml"
            text: "XML"
            enabled: bar.meter.connected
            onClicked: bar.exportValuesXml()
        }
        Button {
            objectName: "exportValuesCsv"
            text: "CSV"
            enabled: bar.meter.flow.trendSize > 0
            onClicked: bar.exportValuesCsv()
        }
        ToolSeparator { }
        Label { text: qsTr("Archive") }
        Button {
            objectName: "exportArchiveXml"
            text: "XML"
            enabled: bar.archive.rows > 0 && !bar.archive.running
            onClicked: bar.exportArchiveXml()
        }
        Button {
            objectName: "exportArchiveCsv"
            text: "CSV"
            enabled: bar.archive.rows > 0 && !bar.archive.running
            onClicked: bar.exportArchiveCsv()
        }
        Label {
            objectName: "exportStatus"
            text: bar.lastFile === "" ? "" : qsTr("wrote %1").arg(bar.lastFile)
            elide: Text.ElideMiddle
            color: palette.placeholderText
            Layout.fillWidth: true
        }
    }
}
