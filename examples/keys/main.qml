import QtQuick 2.15
import QtQuick.Window 2.15
import TavrexBus 1.0

// A meter's keypad over its C55 device node. Each key code is printed as the keypad announces it
// ("keypad: key1 pressed"), and each key again as the focused item receives the key event that the
// keypad posts ("item: Key 1 pressed"), auto-repeats of a held key included.
Window {
    id: window
    width: 160
    height: 120
    visible: true

    readonly property var keyNames: ({
        [Qt.Key_Return]: "Enter", [Qt.Key_Escape]: "Escape", [Qt.Key_Home]: "Home",
        [Qt.Key_Backspace]: "Backspace", [Qt.Key_plusminus]: "+/-", [Qt.Key_Up]: "Up",
        [Qt.Key_Down]: "Down", [Qt.Key_Left]: "Left", [Qt.Key_Right]: "Right"
    })

    function keyText(event) {
        return event.text !== "" ? event.text : (keyNames[event.key] || "0x" + event.key.toString(16))
    }

    Item {
        id: screen
        anchors.fill: parent
        focus: true
        Keys.onPressed: (event) => keysApp.print("item: key " + window.keyText(event)
                                                 + (event.isAutoRepeat ? " repeated" : " pressed"))
        Keys.onReleased: (event) => {
            if (!event.isAutoRepeat)
                keysApp.print("item: key " + window.keyText(event) + " released")
        }
    }

    ModbusC55Client {
        id: link
        devicePath: keysApp.device
        eventsCheckInterval: 20
        connected: true
        onConnectedChanged: keysApp.print(connected ? "opened " + devicePath : "closed " + devicePath)
        onError: (message) => keysApp.print("link: " + message)
    }

    Eventer {
        id: eventer
        transport: link
        onSystemEvent: (code) => keysApp.print("system event " + code)
        onError: (message) => keysApp.print("events: " + message)
    }

    KeypadEkDigital {
        eventer: eventer
        autoRepeatIgnoreKeys: [Qt.Key_Escape]
        onKeypadCodeEvent: (keyCode) => {
            const name = keyName(keyCode) || "code 0x" + keyCode.toString(16)
            keysApp.print("keypad: " + name + ((keyCode & 0x80) ? " pressed" : " released"))
            keysApp.countKey()
        }
    }

    Component.onCompleted: screen.forceActiveFocus()
}
