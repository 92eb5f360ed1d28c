#include "modbusxmlengine.h"

#include <QtCore/qfile.h>
#include <QtCore/qsavefile.h>
#include <QtCore/qxmlstream.h>

#include <algorithm>

namespace {

const QString docTypeName = QStringLiteral("tavrexbus");
const QString itemsTag = QStringLiteral("modbusitems");
const QString groupTag = QStringLiteral("group");
const QString propertyTag = QStringLiteral("property");
const QString itemTag = QStringLiteral("item");
const QString nameAttr = QStringLiteral("name");
const QString valueAttr = QStringLiteral("value");
const QString typeAttr = QStringLiteral("type");
const QString versionAttr = QStringLiteral("version");

// XML 1.0 has no way to carry these characters, not even as references: a file holding one
// could never be read back.
bool xmlCanHold(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != 0x9 && u != 0xA && u != 0xD) || c.isSurrogate() || u == 0xFFFE || u == 0xFFFF)
            return false;
    }
    return true;
}

// Type and export properties in one text, the same whatever order the properties come in.
QString identity(const ModbusExportData &data)
{
    QStringList parts{ data.type };
    for (auto it = data.props.cbegin(); it != data.props.cend(); ++it)
        parts << it.key() + QLatin1Char('=') + it.value();
    std::sort(parts.begin() + 1, parts.end());
    return parts.join(QChar(0));
}

QList<QDomElement> childElements(const QDomElement &parent, const QString &tag)
{
    QList<QDomElement> list;
    for (QDomElement e = parent.firstChildElement(tag); !e.isNull(); e = e.nextSiblingElement(tag))
        list << e;
    return list;
}

} // namespace

ModbusXmlEngine::ModbusXmlEngine(QObject *parent)
    : ModbusExportEngine(parent)
{
}

void ModbusXmlEngine::setFileName(const QString &fileName)
{
    if (m_fileName == fileName)
        return;
    m_fileName = fileName;
    if (m_loaded)
        clear();
    emit fileNameChanged(fileName);
}

bool ModbusXmlEngine::fail(const QString &message)
{
    setErrorString(message);
    return false;
}

QString ModbusXmlEngine::location(int line) const
{
    const QString file = m_fileName.isEmpty() ? tr("(no file name)") : m_fileName;
    return line > 0 ? QStringLiteral("%1:%2").arg(file).arg(line) : file;
}

void ModbusXmlEngine::createDocument()
{
    QDomImplementation implementation;
    m_document = QDomDocument(implementation.createDocumentType(docTypeName, QString(), QString()));
    m_document.appendChild(
        m_document.createProcessingInstruction(QStringLiteral("xml"),
                                               QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    QDomElement root = m_document.createElement(docTypeName);
    m_document.appendChild(root);
    QDomElement items = m_document.createElement(itemsTag);
    items.setAttribute(versionAttr, m_version);
    root.appendChild(items);
    m_current = items;
    m_created = true;
    m_loaded = false;
}

bool ModbusXmlEngine::beginExportGroup(const QString &name)
{
    if (m_document.isNull())
        createDocument();
    if (m_current.isNull())
        return fail(tr("can't export item"));
    QDomElement group = m_document.createElement(groupTag);
    group.setAttribute(nameAttr, name);
    m_current.appendChild(group);
    m_current = group;
    return true;
}

bool ModbusXmlEngine::endExportGroup()
{
    if (m_current.isNull() || m_current.tagName() != groupTag)
        return false;
    m_current = m_current.parentNode().toElement();
    return true;
}

bool ModbusXmlEngine::exportProperty(const QString &name, const QString &value)
{
    if (m_document.isNull())
        createDocument();
    if (m_current.isNull() || !xmlCanHold(name) || !xmlCanHold(value))
        return fail(tr("can't export property %1: XML cannot hold its text").arg(name));
    QDomElement property = m_document.createElement(propertyTag);
    property.setAttribute(nameAttr, name);
    property.setAttribute(valueAttr, value);
    m_current.appendChild(property);
    return true;
}

bool ModbusXmlEngine::exportItem(const ModbusExportData &data)
{
    if (m_document.isNull())
        createDocument();
    if (m_current.isNull())
        return fail(tr("can't export item"));
    if (!xmlCanHold(data.value))
        return fail(tr("can't export item") + QLatin1Char(' ') + data.type
                    + tr(": its value holds characters that XML cannot carry"));
    QDomElement item = m_document.createElement(itemTag);
    item.setAttribute(typeAttr, data.type);
    for (auto it = data.props.cbegin(); it != data.props.cend(); ++it)
        item.setAttribute(it.key(), it.value());
    if (!data.value.isEmpty())
        item.appendChild(m_document.createTextNode(data.value));
    m_current.appendChild(item);
    return true;
}

bool ModbusXmlEngine::save()
{
    if (m_document.isNull())
        return fail(tr("can't save empty xml document"));
    // A failed save leaves the previous file whole.
    QSaveFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly))
        return fail(tr("can't write file") + QStringLiteral(" %1: %2").arg(location(0), file.errorString()));
    file.write(m_document.toByteArray(4));
    if (!file.commit())
        return fail(tr("can't write file") + QStringLiteral(" %1: %2").arg(location(0), file.errorString()));
    return true;
}

bool ModbusXmlEngine::ensureLoaded()
{
    return m_loaded || m_created || loadDocument();
}

bool ModbusXmlEngine::beginImportGroup(const QString &name)
{
    if (!ensureLoaded() || m_current.isNull())
        return false;
    for (const QDomElement &group : childElements(m_current, groupTag)) {
        if (group.attribute(nameAttr) == name) {
            m_current = group;
            return true;
        }
    }
    return false;
}

bool ModbusXmlEngine::endImportGroup()
{
    return endExportGroup();
}

bool ModbusXmlEngine::importProperty(const QString &name, QString &value)
{
    if (!ensureLoaded() || m_current.isNull())
        return false;
    for (const QDomElement &property : childElements(m_current, propertyTag)) {
        if (property.attribute(nameAttr) == name) {
            value = property.attribute(valueAttr);
            return true;
        }
    }
    return false;
}

bool ModbusXmlEngine::importItems(const QList<ModbusExportData> &descriptions, const QList<ModbusItemBase *> &items)
{
    if (!ensureLoaded() || m_current.isNull())
        return false;
    // Candidates by identity, each queue in the order the items were given: a file entry takes the
    // first remaining item of its type and export properties without a search through all of them.
    QHash<QString, QList<qsizetype>> candidates;
    for (qsizetype i = 0; i < qMin(descriptions.size(), items.size()); ++i)
        candidates[identity(descriptions.at(i))].append(i);
    for (const QDomElement &element : childElements(m_current, itemTag)) {
        ModbusExportData stored;
        const QDomNamedNodeMap attributes = element.attributes();
        for (int a = 0; a < attributes.count(); ++a) {
            const QDomAttr attribute = attributes.item(a).toAttr();
            if (attribute.name() == typeAttr)
                stored.type = attribute.value();
            else
                stored.props.insert(attribute.name(), attribute.value());
        }
        const auto queue = candidates.find(identity(stored));
        if (queue == candidates.end() || queue->isEmpty())
            continue;
        const qsizetype index = queue->takeFirst();
        m_importLocation = location(element.lineNumber());
        emit itemImportValue(items.at(index), element.text());
    }
    m_importLocation.clear();
    return true;
}

QStringList ModbusXmlEngine::getGroups()
{
    QStringList names;
    if (!ensureLoaded() || m_current.isNull())
        return names;
    for (const QDomElement &group : childElements(m_current, groupTag)) {
        const QString name = group.attribute(nameAttr);
        if (!name.isEmpty())
            names << name;
    }
    return names;
}

void ModbusXmlEngine::clear()
{
    m_document = QDomDocument();
    m_current = QDomElement();
    m_loaded = false;
    m_created = false;
}

bool ModbusXmlEngine::loadDocument()
{
    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("%1: %2").arg(location(0), file.errorString()));
    if (file.size() > MaxFileSize)
        return fail(tr("%1: the file is larger than %2 bytes").arg(location(0)).arg(MaxFileSize));
    return loadDocument(file.readAll());
}

bool ModbusXmlEngine::loadDocument(const QByteArray &content)
{
    clear();
    const auto parseError = [this](qint64 line, qint64 column, const QString &message) {
        return fail(tr("Parse error at line %1, column %2:\n%3")
                        .arg(line)
                        .arg(column)
                        .arg(QStringLiteral("%1: %2").arg(location(int(line)), message)));
    };
    // A streaming pass first: the DOM tears down nested elements recursively, so a hostile depth
    // must be refused before a tree is built.
    QXmlStreamReader scan(content);
    int depth = 0;
    while (!scan.atEnd()) {
        const QXmlStreamReader::TokenType token = scan.readNext();
        if (token == QXmlStreamReader::StartElement && ++depth > MaxDepth + 2) {
            return parseError(scan.lineNumber(), scan.columnNumber(),
                              tr("elements nested deeper than %1 levels").arg(MaxDepth));
        }
        if (token == QXmlStreamReader::EndElement)
            --depth;
    }
    if (scan.hasError())
        return parseError(scan.lineNumber(), scan.columnNumber(), scan.errorString());

    QDomDocument document;
    QString message;
    int line = 0;
    int column = 0;
    if (!document.setContent(content, &message, &line, &column))
        return parseError(line, column, message);
    if (document.doctype().name() != docTypeName)
        return fail(tr("wrong doc type") + QStringLiteral(" (%1)").arg(location(0)));
    const QDomElement root = document.documentElement();
    const QDomElement items = root.firstChildElement();
    if (root.tagName() != docTypeName || items.tagName() != itemsTag)
        return fail(tr("wrong root element name") + QStringLiteral(" (%1)").arg(location(root.lineNumber())));
    if (!items.hasAttribute(versionAttr) || items.attribute(versionAttr) != m_version)
        return fail(tr("wrong modbus items xml version") + QStringLiteral(" (%1)").arg(location(items.lineNumber())));
    if (!checkStructure(items, 0))
        return false;
    m_document = document;
    m_current = items;
    m_loaded = true;
    return true;
}

// Everything is checked before anything is imported, so that a bad file changes no item.
bool ModbusXmlEngine::checkStructure(const QDomElement &element, int depth)
{
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const QString tag = child.tagName();
        const QString where = location(child.lineNumber());
        if (tag == groupTag) {
            if (!child.hasAttribute(nameAttr))
                return fail(tr("%1: a group without a name").arg(where));
            if (depth >= MaxDepth)
                return fail(tr("%1: groups nested deeper than %2 levels").arg(where).arg(MaxDepth));
            if (!checkStructure(child, depth + 1))
                return false;
        } else if (tag == propertyTag) {
            if (!child.hasAttribute(nameAttr))
                return fail(tr("%1: a property without a name").arg(where));
        } else if (tag == itemTag) {
            if (!child.hasAttribute(typeAttr))
                return fail(tr("%1: an item without a type").arg(where));
            if (!child.firstChildElement().isNull())
                return fail(tr("%1: unknown element <%2> in an item").arg(where, child.firstChildElement().tagName()));
        } else {
            return fail(tr("%1: unknown element <%2>").arg(where, tag));
        }
    }
    return true;
}
