import QtQuick 2.15
import QtTest 1.2
import TavrexBus 1.0

TestCase {
    name: "TavrexBus"

    function test_enumerations_data() {
        return [
            { tag: "ClientBus", value: TavrexBus.ClientBus, expected: 0 },
            { tag: "ServerBus", value: TavrexBus.ServerBus, expected: 1 },
            { tag: "TimeArch", value: TavrexBus.TimeArch, expected: 1 },
            { tag: "Backward", value: TavrexBus.Backward, expected: 1 },
            { tag: "Func67", value: TavrexBus.Func67, expected: 67 },
            { tag: "Decade", value: TavrexBus.Decade, expected: 5 },
            { tag: "Year", value: TavrexBus.Year, expected: 8 },
            { tag: "InputRegister", value: TavrexBus.InputRegister, expected: 1 },
            { tag: "HoldingRegisters", value: TavrexBus.HoldingRegisters, expected: 3 },
            { tag: "ReadArchRecord67", value: TavrexBus.ReadArchRecord67, expected: 67 },
            { tag: "SlaveDeviceBusy", value: TavrexBus.SlaveDeviceBusy, expected: 6 }
        ]
    }

    function test_enumerations(data) {
        compare(data.value, data.expected)
    }

    function test_version() {
        compare(TavrexBus.version(), "1.1.6505")
        compare(TavrexBus.version(), "1.1.6505")
    }

    function test_normalizeBinary() {
        compare(TavrexBus.normalizeBinary("101", 8), "00000101")
        compare(TavrexBus.normalizeBinary("101", 8), "00000101")
    }

    function test_taskEnumerations() {
        compare(TavrexBus.WriteTask, 1)
        compare(TavrexBus.TaskAborted, 3)
        compare(TavrexBus.ReadHoldingRegisters, 3)
        compare(TavrexBus.HoldingRegister, 0)
    }

    function test_notCreatable() {
        var object = null
        try {
            object = Qt.createQmlObject("import TavrexBus 1.0; TavrexBus {}", this)
        } catch (e) {
            verify(e.qmlErrors[0].message.indexOf("not creatable") >= 0, e.qmlErrors[0].message)
        }
        compare(object, null)
    }
}
