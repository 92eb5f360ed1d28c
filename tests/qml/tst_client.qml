import QtQuick 2.15
import QtTest 1.2
import TavrexBus 1.0

TestCase {
    name: "Client"

    ModbusLoopbackClient { id: link; server: testDevice.server; connected: true }

    ModbusClient {
        id: client
        transport: link

        ModbusUInt16 { id: first; address: 400001 }
        ModbusUInt16 { id: grouped; address: 400002; group: "a" }
        ModbusUInt16 { id: onConnect; address: 400004; readOnConnect: true }
        ModbusFile { id: file; file: 1; offset: 2; length: 4 }
        ModbusReport { id: report }
    }

    SignalSpy { id: firstErrors; target: first; signalName: "error" }

    function init() {
        // A read made before the link is up fails at once; the first test may start before that.
        tryCompare(client, "connected", true)
        testDevice.silent = false
        firstErrors.clear()
    }

    function test_itemsBelongToTheClient() {
        compare(client.items.length, 5)
        tryCompare(onConnect, "wasRead", true)
        compare(onConnect.value, 30)
    }

    function test_readAndWrite() {
        testDevice.setRegister(400001, 4242)
        verify(first.read())
        tryCompare(first, "value", 4242)
        first.value = 17
        verify(first.write())
        tryCompare(first, "writeCount", 1)
        compare(testDevice.reg(400001), 17)
    }

    function test_groupsAsSeenFromQml() {
        compare(client.countItems(["a"]), 1)
        compare(client.getVariantItems(["a"])[0], grouped)
    }

    function test_fileAndReport() {
        file.read()
        report.read()
        tryCompare(report, "deviceName", "Meter")
        compare(report.deviceVersion, "2.1.7")
        tryCompare(file, "value", "04050607")
    }

    function test_silentDeviceFailsThenRecovers() {
        testDevice.silent = true
        first.read()
        firstErrors.wait()
        compare(first.errorString, "zero length answer received")
        verify(client.errorTasksCount >= 1)
        testDevice.silent = false
        var reads = first.readCount
        first.read()
        tryVerify(function() { return first.readCount === reads + 1 })
    }
}
