#ifndef MODBUSXMLENGINE_H
#define MODBUSXMLENGINE_H

#include "modbusexportengine.h"

#include <QtXml/qdom.h>

/// Keeps exported values in an XML file: a "tavrexbus" document whose "modbusitems" element holds
/// groups, properties and items. The document is created on the first export and loaded on the
/// first import.
class TAVREXBUS1_EXPORT ModbusXmlEngine : public ModbusExportEngine
{
    Q_OBJECT
    /// The file saved to and loaded from. Changing it drops a loaded document.
    Q_PROPERTY(QString fileName READ fileName WRITE setFileName NOTIFY fileNameChanged)

public:
    /// Files larger than this are refused before parsing.
    static constexpr qint64 MaxFileSize = 64 * 1024 * 1024;
    /// Groups may nest this deep below "modbusitems".
    static constexpr int MaxDepth = 64;

    /// An engine with no file name and no document.
    explicit ModbusXmlEngine(QObject *parent = nullptr);

    /// Getter of the fileName property.
    QString fileName() const { return m_fileName; }
    /// Setter of the fileName property.
    void setFileName(const QString &fileName);
    /// The format version written and accepted, "1.0".
    QString version() const { return m_version; }

    bool beginExportGroup(const QString &name) override;
    bool endExportGroup() override;
    bool exportProperty(const QString &name, const QString &value) override;
    bool exportItem(const ModbusExportData &data) override;
    bool save() override;
    bool beginImportGroup(const QString &name) override;
    bool endImportGroup() override;
    bool importProperty(const QString &name, QString &value) override;
    bool importItems(const QList<ModbusExportData> &descriptions, const QList<ModbusItemBase *> &items) override;
    QStringList getGroups() override;
    void clear() override;
    QString importLocation() const override { return m_importLocation; }

    /// Parses XML text into this engine as if it were loaded from fileName; false with the error
    /// reported when it is not a valid document.
    bool loadDocument(const QByteArray &content);

Q_SIGNALS:
    /// fileName changed; the new value is passed.
    void fileNameChanged(const QString &fileName);

private:
    bool loadDocument();
    bool ensureLoaded();
    void createDocument();
    bool fail(const QString &message);
    bool checkStructure(const QDomElement &element, int depth);
    QString location(int line) const;

    QString m_fileName;
    QString m_version = QStringLiteral("1.0");
    QDomDocument m_document;
    QDomElement m_current;
    QString m_importLocation;
    bool m_loaded = false;
    bool m_created = false;
};

#endif
