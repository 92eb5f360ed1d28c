import QtQuick
import QtCharts
import TavrexBus 1.0

// Flow and the two temperatures over the last minutes, from the items' reads through ModbusTrendModel.
ChartView {
    id: chart

    required property Meter meter
    property int minutes: 2
    // Points drawn of the flow line; the other lines follow the same reads.
    readonly property int points: flowLine.count

    antialiasing: true
    legend.alignment: Qt.AlignBottom
    margins { top: 4; bottom: 4; left: 4; right: 4 }

    readonly property int capacity: minutes * 60000 / meter.interval
    property ModbusTrendModel flowTrend: ModbusTrendModel { item: chart.meter.flow; maxCount: chart.capacity }
    property ModbusTrendModel supplyTrend: ModbusTrendModel { item: chart.meter.supply; maxCount: chart.capacity }
    property ModbusTrendModel returnTrend: ModbusTrendModel {
        item: chart.meter.returnTemperature; maxCount: chart.capacity
    }

    property TrendLine flowFeed: TrendLine { model: chart.flowTrend; series: flowLine; onUpdated: chart.rescale() }
    property TrendLine supplyFeed: TrendLine { model: chart.supplyTrend; series: supplyLine; onUpdated: chart.rescale() }
    property TrendLine returnFeed: TrendLine { model: chart.returnTrend; series: returnLine; onUpdated: chart.rescale() }

    // Time moves on when the meter falls silent, too.
    property Timer ticker: Timer { interval: 1000; running: true; repeat: true; onTriggered: chart.rescale() }

    // The time axis shows the chosen minutes up to now; each value axis spans its lines with a little room.
    function rescale() {
        const end = new Date()
        timeAxis.max = end
        timeAxis.min = new Date(end.getTime() - minutes * 60000)
        fit(flowAxis, [flowLine], 0.5)
        fit(temperatureAxis, [supplyLine, returnLine], 2)
    }

    function fit(axis, lines, room) {
        let low = Infinity, high = -Infinity
        for (const series of lines) {
            for (let i = 0; i < series.count; ++i) {
                const y = series.at(i).y
                low = Math.min(low, y)
                high = Math.max(high, y)
            }
        }
        if (low > high)
            return
        axis.min = Math.floor(low - room)
        axis.max = Math.ceil(high + room)
    }

    DateTimeAxis {
        id: timeAxis
        format: "hh:mm:ss"
        tickCount: 6
        min: new Date(Date.now() - chart.minutes * 60000)
        max: new Date()
    }
    // ValuesAxis is ValueAxis under its first name: Debian's Qt Charts 6.4 type description lists the
    // type only under that one, and qmllint checks what it lists.
    ValuesAxis {
        id: flowAxis
        titleText: qsTr("Flow, m\u00b3/h")
        min: 0
        max: 20
    }
    ValuesAxis {
        id: temperatureAxis
        titleText: "\u00b0C"
        min: 0
        max: 100
    }
    LineSeries {
        id: flowLine
        name: qsTr("Flow, m\u00b3/h")
        axisX: timeAxis
        axisY: flowAxis
        color: "#1565c0"
        width: 2
    }
    LineSeries {
        id: supplyLine
        name: qsTr("Supply, \u00b0C")
        axisX: timeAxis
        axisYRight: temperatureAxis
        color: "#c62828"
        width: 2
    }
    LineSeries {
        id: returnLine
        name: qsTr("Return, \u00b0C")
        axisX: timeAxis
        axisYRight: temperatureAxis
        color: "#ef8f00"
        width: 2
    }
}
