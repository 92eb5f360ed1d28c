#include "exchangecommands.h"

#include "bussession.h"
#include "cliconsole.h"
#include "registermap.h"

#include <TavrexBus1/tavrexbus1.h>

#include <QtCore/QEventLoop>
#include <QtCore/QSaveFile>
#include <QtCore/QTextStream>

namespace {

using CliConsole::fail;
using CliConsole::out;

const QCommandLineOption &mapOption()
{
    static const QCommandLineOption option(QStringLiteral("map"),
                                           QStringLiteral("Register map: JSON in the simulator's format"),
                                           QStringLiteral("file"));
    return option;
}

void waitFor(ModbusExporterImporter &exchange)
{
    QEventLoop loop;
    QObject::connect(&exchange, &ModbusExporterImporter::finished, &loop, &QEventLoop::quit);
    loop.exec();
}

// One line per register: its number, type and value, in the CSV exporter's quoting.
bool saveCsv(const QString &fileName, const RegisterMap &map, QString &error)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    QTextStream stream(&file);
    stream << "\"register\";\"type\";\"value\"\n";
    for (const ModbusItemBase *item : map.items()) {
        const QStringList parts = map.describe(item).split(QLatin1Char(' '));
        stream << ModbusItemCSVExporter::quote(parts.value(0)) << ';' << ModbusItemCSVExporter::quote(parts.value(1))
               << ';' << ModbusItemCSVExporter::quote(ModbusItemCSVExporter::formatCell(item->property("value")))
               << '\n';
    }
    stream.flush();
    if (!file.commit()) {
        error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

} // namespace

namespace ExchangeCommands {

QList<QCommandLineOption> exportOptions()
{
    return { mapOption(),
             { QStringLiteral("xml"), QStringLiteral("Save the values to this XML file"), QStringLiteral("file") },
             { QStringLiteral("csv"), QStringLiteral("Save the values to this CSV table"), QStringLiteral("file") } };
}

QList<QCommandLineOption> importOptions()
{
    return { mapOption(),
             { QStringLiteral("xml"), QStringLiteral("The XML file saved by export"), QStringLiteral("file") },
             { QStringLiteral("dry-run"), QStringLiteral("Show what would be written; do not touch the device") } };
}

int exportValues(const QStringList &args)
{
    BusSession session(QStringLiteral("export"), exportOptions());
    QString error;
    if (!session.parse(args, 0, 0, error))
        return fail(error);
    const QString xml = session.value(QStringLiteral("xml"));
    const QString csv = session.value(QStringLiteral("csv"));
    if (!session.isSet(QStringLiteral("map")) || (xml.isEmpty() && csv.isEmpty()))
        return fail(QStringLiteral("export needs --map and --xml or --csv"));
    RegisterMap map;
    if (!map.load(session.value(QStringLiteral("map")), error))
        return fail(error);
    ModbusClient client;
    if (!session.openForClient(client, error))
        return fail(error);
    for (ModbusItemBase *item : map.items())
        item->setClient(&client);

    ModbusXmlExporter exporter;
    exporter.setFileName(xml);
    exporter.setSkipReadOnlyItems(false);
    QStringList failures;
    QObject::connect(&exporter, &ErrObject::error, &exporter, [&failures](const QString &m) { failures << m; });
    exporter.exportItemList(map.items());
    if (exporter.processed() + failures.size() < map.items().size())
        waitFor(exporter);
    if (!failures.isEmpty())
        return fail(failures.join(QLatin1Char('\n')));
    if (!xml.isEmpty() && !exporter.save())
        return fail(exporter.errorString());
    if (!csv.isEmpty() && !saveCsv(csv, map, error))
        return fail(error);
    out() << "saved " << exporter.processed() << " values" << Qt::endl;
    return 0;
}

int importValues(const QStringList &args)
{
    BusSession session(QStringLiteral("import"), importOptions());
    QString error;
    if (!session.parse(args, 0, 0, error))
        return fail(error);
    if (!session.isSet(QStringLiteral("map")) || !session.isSet(QStringLiteral("xml")))
        return fail(QStringLiteral("import needs --map and --xml"));
    RegisterMap map;
    if (!map.load(session.value(QStringLiteral("map")), error))
        return fail(error);
    const bool dryRun = session.isSet(QStringLiteral("dry-run"));
    ModbusClient client;
    if (!dryRun && !session.openForClient(client, error))
        return fail(error);
    for (ModbusItemBase *item : map.items())
        item->setClient(dryRun ? nullptr : &client);

    ModbusXmlImporter importer;
    importer.setFileName(session.value(QStringLiteral("xml")));
    importer.setWriteOnImport(!dryRun);
    QList<ModbusItemBase *> loaded;
    QObject::connect(importer.xmlEngine(), &ModbusExportEngine::itemImportValue, &importer,
                     [&loaded](ModbusItemBase *item) { loaded << item; });
    QStringList notices;
    QObject::connect(&importer, &ErrObject::error, &importer, [&notices](const QString &m) { notices << m; });
    if (!importer.importItemList(map.items()))
        return fail(importer.errorString());
    // The first notice, if any, names the items the file has no value for: told, not fatal.
    const QStringList missing = notices;
    notices.clear();
    if (!dryRun && importer.processed() + notices.size() < loaded.size())
        waitFor(importer);
    for (const QString &notice : missing)
        CliConsole::printError(notice);
    for (const ModbusItemBase *item : std::as_const(loaded))
        out() << (dryRun ? "would write " : "wrote ") << map.describe(item) << ": " << item->formatValue() << Qt::endl;
    if (!notices.isEmpty())
        return fail(notices.join(QLatin1Char('\n')));
    return 0;
}

}
