#ifndef MODBUSBIT_H
#define MODBUSBIT_H

#include "modbusitembytebase.h"

// A flag, usually a view of one bit of its source's element.
class TAVREXBUS1_EXPORT ModbusBit : public ModbusItemByteBase
{
    Q_OBJECT
    Q_PROPERTY(bool value READ value WRITE setValue NOTIFY valueChanged)
    Q_PROPERTY(QString trueString READ trueString WRITE setTrueString NOTIFY trueStringChanged)
    Q_PROPERTY(QString falseString READ falseString WRITE setFalseString NOTIFY falseStringChanged)
    Q_PROPERTY(int sourceBitIndex READ sourceBitIndex WRITE setSourceBitIndex NOTIFY sourceBitIndexChanged)
    Q_PROPERTY(bool reverseSourceWords READ reverseSourceWords WRITE setReverseSourceWords
               NOTIFY reverseSourceWordsChanged)

public:
    explicit ModbusBit(QObject *parent = nullptr);
    ModbusBit(quint32 address, QObject *parent = nullptr);

    bool value() const { return m_value; }
    QString trueString() const { return m_trueString; }
    void setTrueString(const QString &text);
    QString falseString() const { return m_falseString; }
    void setFalseString(const QString &text);
    int sourceBitIndex() const { return m_sourceBitIndex; }
    void setSourceBitIndex(int index);
    bool reverseSourceWords() const { return m_reverseSourceWords; }

    QString formatValue() const override;
    void setFormatValue(const QString &text) override;
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    void setValue(bool value);
    bool writeValue(bool value);
    void setReverseSourceWords(bool reverse);

Q_SIGNALS:
    void valueChanged();
    void trueStringChanged();
    void falseStringChanged();
    void sourceBitIndexChanged();
    void reverseSourceWordsChanged(bool reverse);

protected:
    void updateValueFromBytes() override;
    ModbusBytes getBytesFromSourceBytes(const ModbusBytes &bytes) const override;
    void modifySourceBytes() override;

private:
    int sourceBit() const;

    bool m_value = false;
    QString m_trueString;
    QString m_falseString;
    int m_sourceBitIndex = 0;
    bool m_reverseSourceWords = false;
};

#endif
