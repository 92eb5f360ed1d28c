import QtQuick 2.15
import QtTest 1.2
import TavrexBus 1.0

TestCase {
    name: "TavrexBus"

    // One value of each enumeration the singleton must expose.
    function test_enumerations_data() {
        return [
            { tag: "ClientBus", value: TavrexBus.ClientBus, expected: 0 },
            { tag: "TimeArch", value: TavrexBus.TimeArch, expected: 1 },
            { tag: "Backward", value: TavrexBus.Backward, expected: 1 },
            { tag: "Func67", value: TavrexBus.Func67, expected: 67 },
            { tag: "Year", value: TavrexBus.Year, expected: 8 },
            { tag: "HoldingRegisters", value: TavrexBus.HoldingRegisters, expected: 3 },
            { tag: "ReadArchRecord67", value: TavrexBus.ReadArchRecord67, expected: 67 },
            { tag: "SlaveDeviceBusy", value: TavrexBus.SlaveDeviceBusy, expected: 6 },
            { tag: "WriteTask", value: TavrexBus.WriteTask, expected: 1 },
            { tag: "TaskAborted", value: TavrexBus.TaskAborted, expected: 3 },
            { tag: "HoldingRegister", value: TavrexBus.HoldingRegister, expected: 0 }
        ]
    }

    function test_enumerations(data) {
        compare(data.value, data.expected)
    }

    function test_helpers() {
        compare(TavrexBus.version(), "1.1.6505")
        compare(TavrexBus.normalizeBinary("101", 8), "00000101")
    }

    function test_uncreatableWithReason_data() {
        return [
            { tag: "Modbuser", reason: "create it in C++, or use ModbusClient in QML" },
            { tag: "ModbusTranslator", reason: "it cannot be created in QML" },
            { tag: "ModbusSerialTransport", reason: "needs a bus role" },
            { tag: "TavrexBus", reason: "not creatable" }
        ]
    }

    function test_uncreatableWithReason(data) {
        var object = null
        var failure = ""
        try {
            object = Qt.createQmlObject("import TavrexBus 1.0; " + data.tag + " {}", this, data.tag)
        } catch (e) {
            failure = e.qmlErrors.map(function (error) { return error.message }).join("\n")
        }
        compare(object, null)
        verify(failure.indexOf(data.reason) >= 0, failure)
    }
}
