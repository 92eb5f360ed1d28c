import QtQml 2.15
import TavrexBus 1.0

// The application under soak: one meter on two links, Modbus/TCP and a serial line, each polling
// half of the items, of mixed types over one block of holding registers. The writer of each link is
// how the soak changes values, as a settings page would.
QtObject {
    id: root

    property var tcpItems: []
    property var rtuItems: []

    property ModbusTcpClient tcpLink: ModbusTcpClient {
        address: "127.0.0.1"
        port: soak.tcpPort
        connected: true
    }
    property ModbusSerialClient rtuLink: ModbusSerialClient {
        port: soak.serialDevice
        baudRate: 115200
        readTimeout: soak.answerTimeout
        connected: true
    }
    property ModbusClient tcpMeter: ModbusClient { transport: root.tcpLink }
    property ModbusClient rtuMeter: ModbusClient { transport: root.rtuLink }
    property ModbusCustomBytes tcpWriter: ModbusCustomBytes { client: root.tcpMeter }
    property ModbusCustomBytes rtuWriter: ModbusCustomBytes { client: root.rtuMeter }

    // The kinds of item, each with the registers it takes.
    property list<Component> kinds: [
        Component { ModbusUInt16 {} },
        Component { ModbusInt16 {} },
        Component { ModbusUInt32 {} },
        Component { ModbusInt32 {} },
        Component { ModbusFloat {} },
        Component { ModbusUInt64 {} },
        Component { ModbusDouble {} },
        Component { ModbusCustomBytes { itemSize: 6 } }
    ]
    readonly property var registers: [1, 1, 2, 2, 2, 4, 4, 3]

    function populate(meter, first, count) {
        var items = []
        var address = first
        for (var i = 0; i < count; ++i) {
            var kind = i % kinds.length
            items.push(kinds[kind].createObject(root, { address: address, interval: soak.interval,
                                                        intervalReading: true, client: meter }))
            address += registers[kind]
        }
        return items
    }

    Component.onCompleted: {
        tcpItems = populate(tcpMeter, soak.tcpFirstRegister, soak.itemsPerLink)
        rtuItems = populate(rtuMeter, soak.rtuFirstRegister, soak.itemsPerLink)
    }
}
