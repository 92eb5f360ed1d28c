#include "modbusfloat.h"
#include "modbusuint32.h"
#include "modbusxmlimporter.h"
#include "panelwindow.h"
#include "programrun.h"

#include <QtCore/qfile.h>
#include <QtCore/qtemporarydir.h>
#include <QtCore/qurl.h>
#include <QtGui/qimage.h>
#include <QtQml/qqmlapplicationengine.h>
#include <QtQuick/qquickwindow.h>
#include <QtTest/qtest.h>

#include <csignal>
#include <memory>
#include <utility>

namespace {

// Warnings from QML (bindings, type errors, failed imports); the library's own categories are news of
// the meter, not of the panel.
QStringList qmlWarnings;
QtMessageHandler previousHandler = nullptr;

void collectQmlWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QLatin1String category(context.category ? context.category : "");
    if (type != QtDebugMsg && type != QtInfoMsg
        && (category.startsWith(QLatin1String("qml")) || category.startsWith(QLatin1String("js"))
            || message.contains(QLatin1String("qrc:/")) || message.contains(QLatin1String(".qml"))))
        qmlWarnings << message;
    previousHandler(type, context, message);
}

QStringList lines(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).remove(QChar(0xfeff)).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

#if defined(__SANITIZE_ADDRESS__)
// Qt Quick's software scene graph (the offscreen platform's) keeps the textures of the style's images
// past the window's end; they are Qt's, not the panel's or the library's. Qt's libraries keep no frame
// pointers: only the slow unwinder sees the frames that tell those textures apart.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

extern "C" const char *__lsan_default_suppressions()
{
    return "leak:QSGRenderContext::textureForFactory\n"
           "leak:QQuickTextureFactory::textureFactoryForImage\n"
           "leak:QQuickImage::updatePaintNode\n";
}
#endif

// The meter panel as its user sees it, offscreen against the simulator: one window, driven through the
// names and properties of its parts, from connecting to a meter that falls silent and comes back.
// The functions run in order on the same window, as one session.
class tst_Panel : public QObject
{
    Q_OBJECT

    SimulatorProcess simulator;
    QTemporaryDir exports;
    std::unique_ptr<QQmlApplicationEngine> engine;
    QQuickWindow *window = nullptr;

    // A missing part fails the test, which then reads nothing from a stand-in (and so stops the
    // simulator on its way out).
    QObject *part(const char *name) const
    {
        static QObject missing;
        QObject *object = window ? window->findChild<QObject *>(QLatin1String(name)) : nullptr;
        if (!object)
            QTest::qFail(qPrintable(QStringLiteral("the panel has no part named %1").arg(QLatin1String(name))),
                         __FILE__, __LINE__);
        return object ? object : &missing;
    }
    QVariant value(const char *name, const char *property) const { return part(name)->property(property); }
    void click(const char *name) const { QVERIFY(QMetaObject::invokeMethod(part(name), "clicked")); }
    // Clicks an export button and gives the file the export bar names next, or "" after 15 s.
    QString exported(const char *button, const QString &suffix) const
    {
        QObject *bar = part("exportBar");
        bar->setProperty("lastFile", QString());
        QMetaObject::invokeMethod(part(button), "clicked");
        const auto named = [bar, &suffix] { return bar->property("lastFile").toString().endsWith(suffix); };
        return QTest::qWaitFor(named, 15000) ? bar->property("lastFile").toString() : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        previousHandler = qInstallMessageHandler(collectQmlWarnings);
        const QString url = simulator.launch({});
        QVERIFY2(!url.isEmpty(), simulator.readAllStandardError().constData());
        QVERIFY(exports.isValid());
        engine = std::make_unique<QQmlApplicationEngine>();
        QString error;
        window = loadPanel(*engine, {{"port", QUrl(url).port()}, {"exportFolder", exports.path()}}, &error);
        QVERIFY2(window, qPrintable(error));
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }

    void cleanupTestCase()
    {
        ::kill(pid_t(simulator.processId()), SIGCONT);
        engine.reset();
        qInstallMessageHandler(previousHandler);
    }

    void cleanup()
    {
        const QStringList warnings = std::exchange(qmlWarnings, {});
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(u'\n')));
    }

    void connectsAndShowsChangingValuesAndTrend()
    {
        QCOMPARE(value("linkState", "text").toString(), QStringLiteral("not connected"));
        click("connectButton");
        QTRY_COMPARE_WITH_TIMEOUT(value("deviceName", "text").toString(), QStringLiteral("TVXH200 1.4.2"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(value("deviceDetails", "text").toString(),
                                  QStringLiteral("TVX-H200 \u00b7 Boiler house 2"), 10000);
        for (const char *tile : {"value.flow", "value.volume", "value.energy", "value.supply", "value.return",
                                 "value.clock"})
            QTRY_COMPARE_WITH_TIMEOUT(value(tile, "status").toString(), QStringLiteral("ok"), 10000);
        QCOMPARE(value("value.supply", "text").toString(), QStringLiteral("71.4"));
        // The volume counter grows by 35 litres a second: the next read shows it.
        const QString volume = value("value.volume", "text").toString();
        QTRY_VERIFY_WITH_TIMEOUT(value("value.volume", "text").toString() != volume, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(value("trend", "points").toInt() >= 3, 10000);
    }

    void archiveRangeFillsTable()
    {
        // The default range is yesterday's hours.
        click("archiveRead");
        QTRY_VERIFY_WITH_TIMEOUT(value("archive", "running").toBool() || value("archive", "rows").toInt() > 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!value("archive", "running").toBool(), 20000);
        // The view takes in the model's new rows at its next polish, after the reading may have ended.
        QTRY_COMPARE(value("archiveTable", "rows").toInt(), 24);
        QCOMPARE(value("archiveCount", "text").toString(), QStringLiteral("24 records"));
    }

    void valuesExportReadsBack()
    {
        // Measurements are input registers: read-only items, which an importer skips by default.
        ModbusXmlImporter importer;
        importer.setWriteOnImport(false);
        importer.setSkipReadOnlyItems(false);
        const QString xml = exported("exportValuesXml", ".xml");
        QVERIFY(!xml.isEmpty());
        importer.setFileName(xml);
        QCOMPARE(importer.importProperty("device"), QStringLiteral("TVXH200 1.4.2"));
        ModbusFloat flow(300001), supply(300007);
        ModbusUInt32 volume(300003);
        QVERIFY2(importer.importItemList({&flow, &supply, &volume}), qPrintable(importer.errorString()));
        QCOMPARE(supply.value(), 71.4f);
        QVERIFY2(flow.value() >= 11 && flow.value() <= 14, qPrintable(QString::number(flow.value())));
        QVERIFY(volume.value() >= 104200);

        const QStringList csv = lines(exported("exportValuesCsv", ".csv"));
        QCOMPARE(csv.value(0), QStringLiteral(R"("#";"Label";"Value";"Volume, m³";"Energy, kWh";"Supply, °C";"Return, °C")"));
        QVERIFY(csv.size() >= 4);
        // Every read has all its values, the measurements' trends line up; the newest read may still be
        // on its way for some of them.
        static const QRegularExpression row(
            QStringLiteral(R"(^"\d+";"[\d/ :]+";"\d+,\d{3}";"\d+,\d\d";"\d+";"71,4";"44,9"$)"));
        for (const QString &line : csv.mid(1, csv.size() - 2))
            QVERIFY2(row.match(line).hasMatch(), qPrintable(line));
    }

    void archiveExportReadsBack()
    {
        ModbusXmlImporter importer;
        const QString xml = exported("exportArchiveXml", ".xml");
        QVERIFY(!xml.isEmpty());
        importer.setFileName(xml);
        QCOMPARE(importer.getGroups(), QStringList{QStringLiteral("archive 2")});
        QVERIFY(importer.beginGroup("archive 2"));
        const QStringList records = importer.getGroups();
        QCOMPARE(records.size(), 24);
        QVERIFY(importer.beginGroup(records.first()));
        bool number = false;
        QVERIFY(importer.importProperty("vPlus").toDouble(&number) > 0 && number);

        const QStringList csv = lines(exported("exportArchiveCsv", ".csv"));
        QCOMPARE(csv.size(), 25);
        QVERIFY2(csv.first().startsWith(QStringLiteral(R"("#";"Label";"Value";"Exists";"Time";)")), qPrintable(csv.first()));
        QVERIFY2(csv.first().contains(QStringLiteral(R"("V+, m³")")), qPrintable(csv.first()));
    }

    // Also the picture of the panel in the README: set TAVREX_PANEL_SCREENSHOT to a file name to keep it
    // (after a minute of trend).
    void screenshotIsNotBlank()
    {
        const QString keep = qEnvironmentVariable("TAVREX_PANEL_SCREENSHOT");
        if (!keep.isEmpty())
            QTRY_VERIFY_WITH_TIMEOUT(value("trend", "points").toInt() >= 60, 90000);
        const QImage image = window->grabWindow();
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 2) {
            for (int x = 0; x < image.width(); x += 2)
                colours.insert(image.pixel(x, y));
        }
        QVERIFY2(colours.size() > 100, qPrintable(QString::number(colours.size())));
        QString error;
        QVERIFY2(savePanelScreenshot(window, keep.isEmpty() ? exports.filePath("panel.png") : keep, &error),
                 qPrintable(error));
    }

    void silentMeterShowsErrorAndRecovers()
    {
        QVERIFY(::kill(pid_t(simulator.processId()), SIGSTOP) == 0);
        QTRY_COMPARE_WITH_TIMEOUT(value("value.flow", "status").toString(), QStringLiteral("error"), 20000);
        QVERIFY(value("errorBanner", "visible").toBool());
        QCOMPARE(value("errorBanner", "source").toString(), QStringLiteral("meter"));
        QVERIFY(!value("errorBanner", "message").toString().isEmpty());

        QVERIFY(::kill(pid_t(simulator.processId()), SIGCONT) == 0);
        QTRY_COMPARE_WITH_TIMEOUT(value("value.flow", "status").toString(), QStringLiteral("ok"), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!value("errorBanner", "visible").toBool(), 10000);
    }
};

QTEST_MAIN(tst_Panel)
#include "tst_panel.moc"
