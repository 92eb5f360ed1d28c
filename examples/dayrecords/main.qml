import QtQml 2.15
import TavrexBus 1.0

// Yesterday's 24 hourly records from archive 2 of a heat meter (generation 3 records with a heat channel),
// read in one go through ModbusArchReader once the link is up, then printed one line each: the hour, the
// counters, the flow range and the supply and return temperatures. A failure is printed and ends the program.
QtObject {
    id: root

    readonly property date dayStart: {
        var day = new Date()
        day.setDate(day.getDate() - 1)
        day.setHours(0, 0, 0, 0)
        return day
    }
    readonly property date dayEnd: new Date(dayStart.getFullYear(), dayStart.getMonth(), dayStart.getDate(), 23)

    function number(row, role, decimals) {
        return Number(root.record.getModelValue(row, role)).toFixed(decimals)
    }

    function printDay() {
        meter.print("archive " + record.archIndex + ", " + Qt.formatDate(dayStart, "yyyy-MM-dd") + ": "
                    + reader.progress + " hourly records")
        for (var row = 0; row < reader.progress; ++row) {
            meter.print(Qt.formatDateTime(reader.getLabelOf(row), "hh:mm")
                        + "  V+ " + number(row, "vPlus", 2) + " m3"
                        + "  W " + number(row, "w", 2) + " Gcal"
                        + "  Q " + number(row, "dMinVolumeFlowRate", 1) + "-" + number(row, "dMaxVolumeFlowRate", 1)
                        + " m3/h"
                        + "  T1 " + number(row, "averageTemperature1", 1) + " C"
                        + "  T2 " + number(row, "averageTemperature2", 1) + " C")
        }
    }

    property ModbusTcpClient link: ModbusTcpClient {
        address: meter.host
        port: meter.port
        connected: true
        onConnectedChanged: {
            if (connected && !root.reader.running && root.reader.progress === 0)
                root.reader.start()
        }
        onError: function(message) {
            if (!connected)
                meter.fail("link: " + message)
        }
    }

    property ModbusClient client: ModbusClient {
        transport: root.link
        retries: 2
    }

    property ModbusArchRecordEkDigital record: ModbusArchRecordEkDigital {
        client: root.client
        archIndex: 2
        archType: TavrexBus.TimeArch
        archInterval: TavrexBus.Hour
        func: TavrexBus.Func67
        ekdGeneration: 3
        recordSize: 128
    }

    property ModbusArchReader reader: ModbusArchReader {
        record: root.record
        from: root.dayStart
        to: root.dayEnd
        // As many records per request as one answer carries.
        recordsPerRequestOptimization: true
        liveResult: false
        onCompleted: {
            root.printDay()
            meter.finish()
        }
        onError: function(message) {
            meter.fail(message)
        }
    }
}
