import QtQuick 2.15
import QtTest 1.2
import TavrexBus 1.0

// What a chart delegate sees of a trend model fed from QML.
TestCase {
    name: "TrendModel"
    when: windowShown

    ModbusTrendModel { id: pushed; maxCount: 3 }
    ModbusTrendModel { id: sampled; interval: 10 }

    component Point: Item {
        required property real value
        required property date time
    }

    Repeater {
        id: chart
        model: pushed
        delegate: Point {}
    }

    // A delegate's roles, as the chart sees them.
    function shown(row, role) {
        return chart.itemAt(row)[role]
    }

    SignalSpy { id: sourceSpy; target: pushed; signalName: "sourceValueChanged" }
    SignalSpy { id: countSpy; target: pushed; signalName: "countChanged" }

    function test_pushedValuesReachTheDelegates() {
        pushed.setCurrentTime(new Date(2024, 0, 1, 12, 0, 0))
        pushed.sourceValue = 4
        pushed.sourceValue = 4
        compare(pushed.count, 2)
        compare(sourceSpy.count, 1)
        compare(countSpy.count, 2)
        pushed.ratio = 0.5
        pushed.sourceValue = 8
        pushed.sourceValue = 10
        compare(pushed.count, 3)
        compare(shown(0, "value"), 2)
        compare(shown(2, "value"), 5)
        compare(shown(2, "time").getHours(), 12)
    }

    function test_runningSamplesOnItsTimer() {
        sampled.sourceValue = 7
        compare(sampled.count, 1)
        sampled.running = true
        sampled.sourceValue = 9
        tryVerify(function() { return sampled.count >= 3 })
        sampled.running = false
        const count = sampled.count
        sampled.sourceValue = 11
        compare(sampled.count, count + 1)
    }
}
