import QtQml 2.15
import TavrexBus 1.0

// A heat meter on Modbus/TCP: its report and settings once, its measurements every second.
// Each value is printed as "name: value" when first read and whenever it changes afterwards.
// With --once the program ends when every item has been read once.
QtObject {
    id: root

    // The report reads as a name and a dotted version; texts come padded with zero bytes to their
    // register length.
    function text(item) {
        if (item === report && report.deviceName !== "")
            return report.deviceName + ", version " + report.deviceVersion
        return String(item.formatValue).replace(/[\u0000\s]+$/, "")
    }

    function show(name, item) {
        meter.print(name + ": " + text(item))
    }

    function watch(item, name) {
        item.valueChanged.connect(function() {
            if (item.wasRead)
                show(name, item)
        })
        item.afterRead.connect(function() {
            if (item.readCount !== 1)
                return
            show(name, item)
            if (meter.once && allRead())
                meter.finish()
        })
        // Without a link every read fails; the link has said so once already.
        item.error.connect(function(message) {
            if (client.connected)
                meter.print(name + " failed: " + message)
        })
    }

    function allRead() {
        for (var i = 0; i < client.items.length; ++i) {
            if (!client.items[i].wasRead)
                return false
        }
        return true
    }

    property ModbusTcpClient link: ModbusTcpClient {
        address: meter.host
        port: meter.port
        connected: true
        onError: function(message) { meter.print("link: " + message) }
    }

    property ModbusClient client: ModbusClient {
        transport: root.link
        retries: 2
        onConnectedChanged: meter.print(connected ? "connected to " + meter.host + ":" + meter.port
                                                  : "disconnected")

        ModbusReport { id: report; readOnConnect: true }
        ModbusStringAnsi { id: model; address: 300021; length: 16; oneCharPerRegister: false; readOnConnect: true }
        ModbusStringAnsi { id: site; address: 400010; length: 32; oneCharPerRegister: false; readOnConnect: true }
        ModbusUInt16 { id: period; address: 400002; readOnConnect: true }
        ModbusFloat { id: flow; address: 300001; precision: 3; intervalReading: true }
        ModbusUInt32 { id: volume; address: 300003; intervalReading: true }
        ModbusUInt32 { id: energy; address: 300005; intervalReading: true }
        ModbusFloat { id: supply; address: 300007; precision: 1; intervalReading: true }
        ModbusFloat { id: returnTemperature; address: 300009; precision: 1; intervalReading: true }
        ModbusDateTime { id: clock; address: 300011; intervalReading: true }
    }

    Component.onCompleted: {
        watch(report, "device")
        watch(model, "model")
        watch(site, "site")
        watch(period, "archive period (min)")
        watch(flow, "flow (m3/h)")
        watch(volume, "volume (10 L)")
        watch(energy, "energy (kWh)")
        watch(supply, "supply (C)")
        watch(returnTemperature, "return (C)")
        watch(clock, "clock")
    }
}
