import QtQuick 2.15
import QtTest 1.2
import TavrexBus 1.0

TestCase {
    name: "Transports"

    ModbusLoopbackServer { id: server; connected: true }
    ModbusLoopbackClient { id: client; server: server; connected: true }

    ModbusSerialClient {
        id: serial
        port: "/dev/tavrex-no-such-port"
        baudRate: 9600
        parity: ModbusSerialTransport.EvenParity
    }

    function test_loopbackFollowsItsServer() {
        tryCompare(server, "connected", true)
        tryCompare(client, "connected", true)
        compare(client.server, server)
        compare(client.busType, TavrexBus.ClientBus)
        compare(server.busType, TavrexBus.ServerBus)
        tryCompare(client, "connected", true)
        server.connected = false
        compare(client.connected, false)
        compare(client.server, null)
        server.connected = true
        client.server = server
        client.connected = true
        compare(client.connected, true)
    }

    function test_serialSettingsFromDeclaration() {
        compare(serial.connected, false)
        compare(serial.baudRate, 9600)
        compare(serial.parity, ModbusSerialTransport.EvenParity)
        compare(serial.byteTimeout, 36)
        compare(serial.rtsDelay, 3)
    }
}
