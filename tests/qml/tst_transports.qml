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

    ModbusTcpServer { id: tcpServer; address: "127.0.0.1"; port: 0; connected: true }
    ModbusTcpClient { id: tcpClient; address: "127.0.0.1"; autoReconnect: false }

    function test_loopbackFollowsItsServer() {
        tryCompare(server, "connected", true)
        tryCompare(client, "connected", true)
        compare(client.busType, TavrexBus.ClientBus)
        compare(server.busType, TavrexBus.ServerBus)
        server.connected = false
        compare(client.connected, false)
        compare(client.server, null)
        server.connected = true
        client.server = server
        client.connected = true
        compare(client.connected, true)
    }

    function test_serialPortThatIsNotThereStaysClosed() {
        compare(serial.connected, false)
        compare(serial.parity, ModbusSerialTransport.EvenParity)
    }

    function test_tcpClientAndServerDeclaredSideBySide() {
        tryCompare(tcpServer, "connected", true)
        verify(tcpServer.port > 0, "a free port is picked and shown")
        tcpClient.port = tcpServer.port
        tcpClient.connected = true
        tryCompare(tcpClient, "connected", true)
        tryCompare(tcpServer, "targetsCount", 1)
        compare(tcpServer.busType, TavrexBus.ServerBus)
        tcpClient.connected = false
        tryCompare(tcpServer, "targetsCount", 0)
        tcpClient.address = "nowhere"
        compare(tcpClient.address, "127.0.0.1")
    }
}
