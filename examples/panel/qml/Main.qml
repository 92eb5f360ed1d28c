import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The meter panel: the link on top, failures under it, the live values beside their trend and the
// archive browser, the exports at the bottom.
ApplicationWindow {
    id: window
    objectName: "panel"

    // Set by the program from its command line.
    property string host: "127.0.0.1"
    property int port: 1502
    property bool connectAtStart: false
    property bool readArchiveOnConnect: false
    property string exportFolder: "."

    // The panel shows what it is for: values, a quarter of the trend, and an archive read in full.
    readonly property bool showsEverything: live.allRead && trend.points >= trend.minutes * 15 && archive.rows > 0
                                            && !archive.running

    width: 1200
    height: 760
    visible: true
    title: qsTr("TavrexBus meter panel")

    Meter {
        id: meter
        tcpLink.address: window.host
        tcpLink.port: window.port
        onProblem: function(source, message) { banner.show(source, message) }
        onRecovered: {
            banner.clear("meter")
            banner.clear("link")
        }
        // Once per run: a reconnection keeps what was read.
        onConnectedChanged: {
            if (meter.connected && window.readArchiveOnConnect && !archive.running && archive.reader.progress === 0)
                archive.read()
        }
    }

    header: LinkChooser {
        id: chooser
        meter: meter
    }

    footer: ExportBar {
        objectName: "exportBar"
        meter: meter
        archive: archive
        folder: window.exportFolder
        onProblem: function(source, message) { banner.show(source, message) }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        ErrorBanner {
            id: banner
            objectName: "errorBanner"
            Layout.fillWidth: true
        }

        SplitView {
            Layout.fillWidth: true
            Layout.fillHeight: true

            LiveValues {
                id: live
                objectName: "liveValues"
                meter: meter
                SplitView.preferredWidth: 360
                SplitView.minimumWidth: 280
            }

            SplitView {
                orientation: Qt.Vertical
                SplitView.fillWidth: true

                TrendChart {
                    id: trend
                    objectName: "trend"
                    meter: meter
                    SplitView.preferredHeight: 330
                    SplitView.minimumHeight: 200
                }
                ArchiveBrowser {
                    id: archive
                    objectName: "archive"
                    client: meter.client
                    SplitView.fillHeight: true
                    onProblem: function(source, message) { banner.show(source, message) }
                }
            }
        }
    }

    // A link may report itself connected at once: every part must be complete by then, so the
    // connection waits for the event loop.
    Timer {
        interval: 0
        running: window.connectAtStart
        onTriggered: chooser.connectLink()
    }
}
