import QtQuick 2.15
import QtTest 1.2
import TavrexBus 1.0

TestCase {
    name: "Transports"

    ModbusLoopbackServer { id: server; connected: true }
    ModbusLoopbackClient { id: client; server: server; connected: true }

    ModbusTcpServer { id: tcpServer; address: "127.0.0.1"; port: 0; connected: true }
    ModbusTcpClient { id: tcpClient; address: "127.0.0.1"; autoReconnect: false }
    ModbusTFtpServer { id: tftpServer; address: "127.0.0.1"; port: 0; connected: true }
    ModbusTFtpClient { id: tftpClient; address: "127.0.0.1" }

    function test_loopbackFollowsItsServer() {
        tryCompare(server, "connected", true)
        tryCompare(client, "connected", true)
        server.connected = false
        compare(client.connected, false)
        compare(client.server, null)
        server.connected = true
        client.server = server
        client.connected = true
        compare(client.connected, true)
    }

    function test_tcpClientAndServerDeclaredSideBySide() {
        tryCompare(tcpServer, "connected", true)
        verify(tcpServer.port > 0, "a free port is picked and shown")
        tcpClient.port = tcpServer.port
        tcpClient.connected = true
        tryCompare(tcpClient, "connected", true)
        tryCompare(tcpServer, "targetsCount", 1)
        tcpClient.connected = false
        tryCompare(tcpServer, "targetsCount", 0)
        tcpClient.address = "nowhere"
        compare(tcpClient.address, "127.0.0.1")
    }

    function test_tftpClientAndServerDeclaredSideBySide() {
        tryCompare(tftpServer, "connected", true)
        verify(tftpServer.port > 0, "a free port is picked and shown")
        tftpClient.port = tftpServer.port
        tftpClient.connected = true
        tryCompare(tftpClient, "connected", true)
        compare(tftpClient.targetsCount, 1)
    }
}
