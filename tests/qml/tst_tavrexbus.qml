import QtQuick 2.15
import QtTest 1.2
import TavrexBus 1.0

TestCase {
    name: "TavrexBus"

    function test_helpers() {
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
