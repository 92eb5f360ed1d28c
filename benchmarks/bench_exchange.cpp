// Saves 10,000 register items to XML and loads them back into fresh items, and writes a 10,000-row
// item table to CSV. Figures: items (rows) per second and the peak resident memory each step adds.
#include "benchsupport.h"

#include <TavrexBus1/tavrexbus1.h>

#include <QtCore/qcoreapplication.h>
#include <QtCore/qelapsedtimer.h>
#include <QtCore/qfile.h>
#include <QtCore/qtemporarydir.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int Items = 10'000;

// Runs a step and prints its rate and the peak resident memory it added beyond what it started with.
void measure(const char *name, const char *unit, const std::function<bool()> &step)
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5"); // resets the peak to the current resident size
    clearRefs.close();
    const double before = residentKilobytes();
    QElapsedTimer timer;
    timer.start();
    const bool ok = step();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!ok)
        std::printf("%s: failed\n", name);
    std::printf("%s_per_second: %.0f %s/s\n", name, Items / seconds, unit);
    std::printf("%s_peak_memory: %.1f MiB\n", name, (statusKilobytes("VmHWM:") - before) / 1024.0);
}

// Half 16-bit registers, half floats, at consecutive addresses.
std::vector<std::unique_ptr<ModbusItemBase>> makeItems()
{
    std::vector<std::unique_ptr<ModbusItemBase>> items;
    for (int i = 0; i < Items; ++i) {
        if (i % 2)
            items.push_back(std::make_unique<ModbusFloat>(400001 + 3 * i));
        else
            items.push_back(std::make_unique<ModbusUInt16>(400001 + 3 * i));
    }
    return items;
}

QVariantList variants(const std::vector<std::unique_ptr<ModbusItemBase>> &items)
{
    QVariantList list;
    for (const auto &item : items)
        list << QVariant::fromValue(item.get());
    return list;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString xml = dir.filePath(QStringLiteral("items.xml"));

    auto saved = makeItems();
    for (int i = 0; i < Items; ++i)
        saved[size_t(i)]->setFormatValue(QString::number(i % 2 ? i * 0.25 : i % 65536));
    const QVariantList savedList = variants(saved);
    measure("xml_export_items", "items", [&] {
        ModbusXmlExporter exporter;
        exporter.setFileName(xml);
        exporter.setReadOnExport(false);
        exporter.exportItems(savedList);
        return exporter.processed() == Items && exporter.save();
    });
    std::printf("xml_file_size: %.1f KiB\n", QFile(xml).size() / 1024.0);

    auto loaded = makeItems();
    const QVariantList loadedList = variants(loaded);
    measure("xml_import_items", "items", [&] {
        ModbusXmlImporter importer;
        importer.setFileName(xml);
        importer.setWriteOnImport(false);
        return importer.importItems(loadedList) && importer.processed() == Items;
    });

    ModbusFloat table(400001);
    table.setCount(Items);
    ModbusBytesArray values;
    for (int i = 0; i < Items; ++i)
        values << ModbusBytes::fromFloat(i * 0.5f);
    table.setBytesArray(values, ModbusItemBase::ValueChange);
    measure("csv_export_rows", "rows", [&] {
        ModbusItemCSVExporter exporter;
        exporter.setItem(&table);
        exporter.setFileName(dir.filePath(QStringLiteral("table.csv")));
        exporter.setCustomFields({ QVariantMap{ { QStringLiteral("index"), 1 }, { QStringLiteral("name"), "note" } } });
        QObject::connect(&exporter, &ModbusItemCSVExporter::customField, &exporter,
                         [](CustomFieldEvent *event) { event->setValue(QString::number(event->rowIndex())); });
        return exporter.start();
    });
    return 0;
}
