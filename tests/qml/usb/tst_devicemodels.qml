import QtQuick 2.15
import QtTest 1.2
import TavrexBus 1.0

TestCase {
    name: "DeviceModels"

    UsbDevicesModel { id: all }
    UsbDevicesModel { id: meters; vidFilter: "6a3d"; pidFilter: "2c0?" }
    UsbDevicesModel { id: bySerial; serialNumberFilter: "*-7" }
    SerialPortsModel { id: ports }
    ModbusLibusbClient { id: usbLink; vid: 0x6a3d; pid: 0x2c05; serialNumber: "SN0001"; connected: true }

    // A row as a delegate sees it: required properties take the roles of the same names.
    component DeviceRow: Item {
        required property string vid
        required property string pid
        required property int idVendor
        required property int numConfigurations
        required property int bcdUSB
        required property string serialNumber
        required property string manufacturer
        required property string product
    }

    Repeater {
        id: rows
        model: all
        delegate: DeviceRow {}
    }

    function row(index) {
        return rows.itemAt(index)
    }

    SignalSpy { id: inserted; target: all; signalName: "rowsInserted" }
    SignalSpy { id: removed; target: all; signalName: "rowsRemoved" }

    function test_1_listedWhenComplete() {
        compare(rows.count, 1)
        var first = row(0)
        compare(first.vid, "6a3d")
        compare(first.pid, "2c05")
        compare(first.idVendor, 0x6a3d)
        compare(first.bcdUSB, 0x200)
        compare(first.numConfigurations, 1)
        compare(first.serialNumber, "SN0001")
        compare(first.manufacturer, "Maker")
        compare(first.product, "Meter")
        compare(meters.rowCount(), 1)
        compare(bySerial.rowCount(), 0)
    }

    function test_2_filtersMatchAnywhere() {
        usbBus.plug(0x04d8, 0x004f, "")
        usbBus.plug(0x1a86, 0x2c05, "XY-7")
        inserted.clear()
        all.fill()
        meters.fill()
        bySerial.fill()
        compare(inserted.count, 2)
        compare(rows.count, 3)
        compare(meters.rowCount(), 1)
        compare(bySerial.rowCount(), 1)
        // A device without a serial number passes "*" with an empty one.
        var noSerial = row(1).pid === "004f" ? row(1) : row(2)
        compare(noSerial.serialNumber, "")
        meters.vidFilter = "*"
        meters.fill()
        compare(meters.rowCount(), 2, "pid 2c0? matches both 2c05 devices")
        // An unchanged bus notifies nothing.
        inserted.clear()
        removed.clear()
        all.fill()
        compare(inserted.count, 0)
        compare(removed.count, 0)
    }

    function test_4_deviceThatGoesLeavesItsRow() {
        usbBus.unplug(2)
        removed.clear()
        all.fill()
        compare(removed.count, 1)
        compare(rows.count, 2)
        for (var i = 0; i < rows.count; ++i)
            verify(row(i).serialNumber !== "SN0001")
    }

    function test_0_transportsDeclaredInQml() {
        tryCompare(usbLink, "connected", true)
        compare(usbLink.busType, TavrexBus.ClientBus)
        compare(usbLink.eventable, true)
        // The test bed serves one open device at a time: the models below open it too.
        usbLink.connected = false
    }

    function test_5_serialPortColumns() {
        compare(ports.columnCount(), 7)
        compare(ports.headerData(1, Qt.Horizontal), "location")
        compare(ports.headerData(6, Qt.Horizontal), "busy")
        ports.fill()
    }
}
