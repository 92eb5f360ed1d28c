// An XML file as the importer loads it: on success every group is entered and left, properties
// are asked for and items of a few layouts are paired, each at most once.
#include "fuzzcheck.h"
#include "modbusxmlengine.h"

// The engine only hands item pointers on; the items themselves are not part of this target.
class ModbusItemBase : public QObject
{
};

namespace {

[[noreturn]] void fail(const char *what)
{
    FuzzCheck::fail(what, ModbusBytes());
}

// Walks a group and those below it; the engine must come back to where it started.
void walk(ModbusXmlEngine &engine, int depth)
{
    QString value;
    engine.importProperty(QStringLiteral("serial"), value);
    const QStringList groups = engine.getGroups();
    if (depth > ModbusXmlEngine::MaxDepth)
        fail("groups deeper than the engine allows");
    for (const QString &group : groups) {
        if (!engine.beginImportGroup(group))
            fail("a listed group cannot be entered");
        walk(engine, depth + 1);
        engine.endImportGroup();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ModbusXmlEngine engine;
    engine.setFileName(QStringLiteral("fuzz.xml"));
    const quint64 errorsBefore = engine.errorCount();
    const bool loaded = engine.loadDocument(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (loaded != (engine.errorCount() == errorsBefore))
        fail("a load reports an error exactly when it fails");
    if (!loaded)
        return 0;
    walk(engine, 0);

    QList<ModbusExportData> descriptions;
    QList<ModbusItemBase *> items;
    for (int i = 0; i < 4; ++i) {
        ModbusExportData description;
        description.type = i % 2 ? QStringLiteral("ModbusUInt16") : QStringLiteral("ModbusFloat");
        description.props.insert(QStringLiteral("count"), QStringLiteral("1"));
        description.props.insert(QStringLiteral("address"), QString::number(400001 + i / 2));
        descriptions << description;
        items << new ModbusItemBase;
    }
    QList<ModbusItemBase *> paired;
    QObject::connect(&engine, &ModbusExportEngine::itemImportValue, &engine,
                     [&paired](ModbusItemBase *item) { paired << item; });
    if (!engine.importItems(descriptions, items))
        fail("a loaded document refuses its items");
    for (ModbusItemBase *item : paired) {
        if (paired.count(item) != 1 || !items.contains(item))
            fail("an item was paired twice or is not one of those given");
    }
    qDeleteAll(items);
    return 0;
}
