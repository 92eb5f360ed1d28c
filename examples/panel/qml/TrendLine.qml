import QtQuick
import QtCharts
import TavrexBus 1.0

// Keeps a line series equal to a trend model, row for row: the model's time role (33) is x in
// milliseconds, its value role (0) is y.
QtObject {
    id: line

    required property ModbusTrendModel model
    required property LineSeries series

    signal updated()

    function point(row) {
        const index = model.index(row, 0)
        return { x: model.data(index, 33).getTime(), y: model.data(index, 0) }
    }

    function rebuild() {
        series.clear()
        for (let row = 0; row < model.count; ++row) {
            const p = point(row)
            series.append(p.x, p.y)
        }
        updated()
    }

    property Connections watcher: Connections {
        target: line.model
        function onRowsInserted(parent, first, last) {
            for (let row = first; row <= last; ++row) {
                const p = line.point(row)
                line.series.insert(row, p.x, p.y)
            }
            line.updated()
        }
        function onRowsRemoved(parent, first, last) {
            line.series.removePoints(first, last - first + 1)
            line.updated()
        }
        function onModelReset() {
            line.rebuild()
        }
    }

    Component.onCompleted: rebuild()
}
