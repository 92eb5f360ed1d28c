import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import TavrexBus 1.0

// Where the meter is: a TCP address, a serial port of this computer or a USB meter, with the unit
// address; Connect opens that link.
ToolBar {
    id: chooser

    required property Meter meter

    function connectLink() {
        const m = meter
        m.kind = ["tcp", "serial", "usb"][kindChoice.currentIndex]
        m.client.deviceAddress = unitField.value
        if (m.kind === "tcp") {
            m.tcpLink.address = addressField.text
            m.tcpLink.port = Number(portField.text)
        } else if (m.kind === "serial") {
            m.serialLink.port = portChoice.currentText
            m.serialLink.baudRate = Number(baudChoice.currentText)
        } else {
            // Vendor, product and serial number roles of UsbDevicesModel.
            const index = usbDevices.index(usbChoice.currentIndex, 0)
            m.usbLink.vid = usbDevices.data(index, 38)
            m.usbLink.pid = usbDevices.data(index, 39)
            m.usbLink.serialNumber = usbDevices.data(index, 47)
        }
        m.open()
    }

    SerialPortsModel { id: serialPorts }
    UsbDevicesModel { id: usbDevices }

    RowLayout {
        anchors.fill: parent
        spacing: 6

        ComboBox {
            id: kindChoice
            objectName: "linkKind"
            model: ["TCP", qsTr("Serial"), "USB"]
            enabled: !chooser.meter.link.connected
        }
        StackLayout {
            currentIndex: kindChoice.currentIndex
            enabled: !chooser.meter.link.connected
            Layout.fillHeight: false
            Layout.preferredWidth: 420

            RowLayout {
                TextField {
                    id: addressField
                    objectName: "tcpAddress"
                    text: chooser.meter.tcpLink.address
                    selectByMouse: true
                    Layout.fillWidth: true
                }
                Label { text: ":" }
                TextField {
                    id: portField
                    objectName: "tcpPort"
                    text: chooser.meter.tcpLink.port
                    validator: IntValidator { bottom: 1; top: 65535 }
                    selectByMouse: true
                    Layout.preferredWidth: 70
                }
            }
            RowLayout {
                ComboBox {
                    id: portChoice
                    objectName: "serialPort"
                    model: serialPorts
                    textRole: "name"
                    Layout.fillWidth: true
                }
                ComboBox {
                    id: baudChoice
                    model: ["1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"]
                    currentIndex: 3
                }
                ToolButton {
                    text: "\u21bb"
                    onClicked: serialPorts.fill()
                }
            }
            RowLayout {
                ComboBox {
                    id: usbChoice
                    objectName: "usbDevice"
                    model: usbDevices
                    textRole: "product"
                    displayText: count === 0 ? qsTr("no USB devices") : currentText
                    Layout.fillWidth: true
                }
                ToolButton {
                    text: "\u21bb"
                    onClicked: usbDevices.fill()
                }
            }
        }
        Label { text: qsTr("unit") }
        SpinBox {
            id: unitField
            from: 1
            to: 247
            value: 1
            enabled: !chooser.meter.link.connected
        }
        Button {
            objectName: "connectButton"
            text: chooser.meter.link.connected ? qsTr("Disconnect") : qsTr("Connect")
            highlighted: !chooser.meter.link.connected
            onClicked: chooser.meter.link.connected ? chooser.meter.close() : chooser.connectLink()
        }
        Rectangle {
            width: 12; height: 12; radius: 6
            color: chooser.meter.connected ? "#2e7d32" : "#9e9e9e"
        }
        Label {
            objectName: "linkState"
            text: chooser.meter.connected ? qsTr("connected") : qsTr("not connected")
        }
        Item { Layout.fillWidth: true }
    }
}
