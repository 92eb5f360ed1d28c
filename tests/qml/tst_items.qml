import QtQuick 2.15
import QtTest 1.2
import TavrexBus 1.0

TestCase {
    name: "Items"

    ModbusUInt16 { id: plain; base: 16 }

    ModbusUInt32 {
        id: record
        address: 400101
        ModbusUInt16 { id: high }
        ModbusUInt16 { id: low }
        ModbusBit { id: flag; sourceByteIndex: 3; sourceBitIndex: 0 }
    }

    ModbusFloat { id: temperature; precision: 1; format: "f" }

    ModbusDateTime { id: stamp; format: "yyyy-MM-dd" }

    SignalSpy { id: valueSpy; target: plain; signalName: "valueChanged" }
    SignalSpy { id: lowSpy; target: low; signalName: "valueChanged" }
    SignalSpy { id: recordBytesSpy; target: record; signalName: "bytesChanged" }

    function init() {
        valueSpy.clear()
        lowSpy.clear()
        recordBytesSpy.clear()
    }

    function test_formatValueUsesBase() {
        plain.formatValue = "ff"
        compare(plain.value, 255)
        compare(plain.formatValue, "ff")
        compare(valueSpy.count, 1)
        plain.formatValue = "xyz"
        compare(plain.value, 255)
        compare(valueSpy.count, 1)
        compare(plain.getBinaryValue(12), "000011111111")
    }

    function test_childrenShareTheParentsBytes() {
        compare(record.items.length, 3)
        compare(high.source, record)
        compare(high.sourceByteIndex, 0)
        compare(low.sourceByteIndex, 2)
        compare(flag.sourceByteIndex, 3)
        record.value = 0x12345601
        compare(high.value, 0x1234)
        compare(low.value, 0x5601)
        compare(flag.value, true)
        compare(lowSpy.count, 1)
        record.value = 0
        recordBytesSpy.clear()
        low.value = 0xbeef
        compare(record.value, 0xbeef)
        compare(recordBytesSpy.count, 1)
        compare(recordBytesSpy.signalArguments[0][0], ModbusItemBase.ViewChange)
        flag.value = false
        compare(record.value, 0xbeee)
    }

    function test_textFormats() {
        temperature.value = 21.24
        compare(temperature.formatValue, "21.2")
        temperature.format = "e"
        compare(temperature.formatValue, "2.1e+01")
        stamp.formatValue = "2024-02-29"
        compare(stamp.value.getFullYear(), 2024)
        compare(stamp.value.getMonth(), 1)
        compare(stamp.value.getDate(), 29)
    }

    function test_modelAndEnumerations() {
        compare(plain.modelType, ModbusItemBase.ArrayModel)
        plain.count = 0
        compare(plain.count, 1)
        compare(plain.model.rowCount(), 1)
        compare(plain.getModelHeader("value"), "Value")
        compare(plain.getModelValue(0, "value"), plain.value)
        plain.modelType = ModbusItemBase.TrendModel
        compare(plain.model.rowCount(), 0)
        plain.modelType = ModbusItemBase.ArrayModel
    }
}
