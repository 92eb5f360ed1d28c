import QtQml
import TavrexBus 1.0

// The meter as the panel sees it: one of three links (TCP, serial line, USB), the client on it, the
// report and the settings read once per connection, and the measurements read every second. The
// measurements keep their last minutes as a trend, which the values export turns into rows.
QtObject {
    id: meter

    // "tcp", "serial" or "usb"; changed only while disconnected.
    property string kind: "tcp"
    property int interval: 1000
    // Trend entries kept per measurement: ten minutes at one read a second.
    property int trendSize: 600

    readonly property ModbusTransport link: kind === "serial" ? serialLink : kind === "usb" ? usbLink : tcpLink
    readonly property bool connected: client.connected
    readonly property var measurements: [flow, volume, energy, supply, returnTemperature, clock]
    readonly property string deviceText: report.deviceName === "" ? "" : report.deviceName + " " + report.deviceVersion

    // A failure in the library's own words, and the all-clear once a measurement reads again.
    signal problem(string source, string message)
    signal recovered()

    function open() {
        link.connected = true
    }

    function close() {
        link.connected = false
    }

    // Texts come padded with zero bytes to their register length.
    function text(item) {
        return item.wasRead ? String(item.formatValue).replace(/[\u0000\s]+$/, "") : ""
    }

    function watch(item, source) {
        item.error.connect(function(message) {
            if (message !== "" && meter.connected)
                meter.problem(source, message)
        })
    }

    property ModbusTcpClient tcpLink: ModbusTcpClient {
        address: "127.0.0.1"
        port: 1502
        onError: function(message) { if (message !== "") meter.problem("link", message) }
    }

    property ModbusSerialClient serialLink: ModbusSerialClient {
        baudRate: 9600
        onError: function(message) { if (message !== "") meter.problem("link", message) }
    }

    property ModbusLibusbClient usbLink: ModbusLibusbClient {
        onError: function(message) { if (message !== "") meter.problem("link", message) }
    }

    property ModbusClient client: ModbusClient {
        transport: meter.link
        retries: 2
    }

    property ModbusReport report: ModbusReport { client: meter.client; readOnConnect: true }
    property ModbusStringAnsi model: ModbusStringAnsi {
        client: meter.client; address: 300021; length: 16; oneCharPerRegister: false; readOnConnect: true
    }
    property ModbusStringAnsi site: ModbusStringAnsi {
        client: meter.client; address: 400010; length: 32; oneCharPerRegister: false; readOnConnect: true
    }

    property ModbusFloat flow: ModbusFloat {
        client: meter.client; address: 300001; precision: 3
        interval: meter.interval; intervalReading: true
        maxTrendSize: meter.trendSize; modelType: ModbusItemBase.TrendModel
        onAfterRead: meter.recovered()
    }
    // The counter counts tens of litres.
    property ModbusUInt32 volume: ModbusUInt32 {
        client: meter.client; address: 300003
        interval: meter.interval; intervalReading: true
        maxTrendSize: meter.trendSize; modelType: ModbusItemBase.TrendModel
        onAfterRead: meter.recovered()
    }
    property ModbusUInt32 energy: ModbusUInt32 {
        client: meter.client; address: 300005
        interval: meter.interval; intervalReading: true
        maxTrendSize: meter.trendSize; modelType: ModbusItemBase.TrendModel
        onAfterRead: meter.recovered()
    }
    property ModbusFloat supply: ModbusFloat {
        client: meter.client; address: 300007; precision: 1
        interval: meter.interval; intervalReading: true
        maxTrendSize: meter.trendSize; modelType: ModbusItemBase.TrendModel
        onAfterRead: meter.recovered()
    }
    property ModbusFloat returnTemperature: ModbusFloat {
        client: meter.client; address: 300009; precision: 1
        interval: meter.interval; intervalReading: true
        maxTrendSize: meter.trendSize; modelType: ModbusItemBase.TrendModel
        onAfterRead: meter.recovered()
    }
    property ModbusDateTime clock: ModbusDateTime {
        client: meter.client; address: 300011
        interval: meter.interval; intervalReading: true
        maxTrendSize: meter.trendSize; modelType: ModbusItemBase.TrendModel
        onAfterRead: meter.recovered()
    }

    Component.onCompleted: {
        for (var i = 0; i < measurements.length; ++i)
            watch(measurements[i], "meter")
        watch(report, "meter")
    }
}
