import QtQuick 2.15
import QtTest 1.2
import TavrexBus 1.0

// Settings saved and loaded from QML, as an application's settings page does it.
TestCase {
    name: "Exchange"

    ModbusItems {
        id: settings
        ModbusUInt16 { id: address; address: 400001; value: 17 }
        ModbusFloat { id: cutOff; address: 400004; value: 0.35 }
    }
    ModbusUInt16 { id: loadedAddress; address: 400001 }
    ModbusFloat { id: loadedCutOff; address: 400004 }

    ModbusXmlExporter { id: exporter; fileName: "tst_exchange.xml"; readOnExport: false }
    ModbusXmlImporter { id: importer; fileName: "tst_exchange.xml"; writeOnImport: false }

    // A container exports its items; groups and properties are the C++ suite's.
    function test_settingsComeBack() {
        exporter.beginGroup("meter")
        exporter.exportItems([settings])
        exporter.endGroup()
        compare(exporter.processed, 2)
        verify(exporter.save())

        verify(importer.beginGroup("meter"))
        verify(importer.importItems([loadedAddress, loadedCutOff]))
        compare(loadedAddress.value, 17)
        compare(loadedCutOff.value, cutOff.value)
    }
}
