import QtQuick 2.15
import QtTest 1.2
import TavrexBus 1.0

TestCase {
    name: "Engine"

    function test_uncreatableWithReason_data() {
        return [
            { tag: "Modbuser", type: "Modbuser", reason: "create it in C++, or use ModbusClient in QML" },
            { tag: "ModbusTranslator", type: "ModbusTranslator", reason: "it cannot be created in QML" }
        ]
    }

    function test_uncreatableWithReason(data) {
        var failure = ""
        try {
            Qt.createQmlObject("import TavrexBus 1.0; " + data.type + " {}", this, data.tag)
        } catch (e) {
            failure = e.qmlErrors.map(function (error) { return error.message }).join("\n")
        }
        verify(failure.indexOf(data.reason) >= 0, failure)
    }
}
