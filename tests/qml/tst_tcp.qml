import QtQuick 2.15
import QtTest 1.2
import TavrexBus 1.0

TestCase {
    name: "Tcp"

    ModbusTcpServer {
        id: server
        address: "127.0.0.1"
        port: 0
        connected: true
    }

    ModbusTcpClient { id: client; address: "127.0.0.1"; autoReconnect: false }

    function test_clientAndServerDeclaredSideBySide() {
        tryCompare(server, "connected", true)
        verify(server.port > 0, "a free port is picked and shown")
        client.port = server.port
        client.connected = true
        tryCompare(client, "connected", true)
        tryCompare(server, "targetsCount", 1)
        compare(server.busType, TavrexBus.ServerBus)
        compare(client.busType, TavrexBus.ClientBus)
        client.connected = false
        tryCompare(server, "targetsCount", 0)
        client.address = "nowhere"
        compare(client.address, "127.0.0.1")
    }
}
