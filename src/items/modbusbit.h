#ifndef MODBUSBIT_H
#define MODBUSBIT_H

#include "modbusitembytebase.h"

/// A flag, usually a view of one bit of its source's element.
///
/// Available in QML as `ModbusBit` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusBit : public ModbusItemByteBase
{
    Q_OBJECT
    /// The flag.
    Q_PROPERTY(bool value READ value WRITE setValue NOTIFY valueChanged)
    /// Text of formatValue for true; "true" by default.
    Q_PROPERTY(QString trueString READ trueString WRITE setTrueString NOTIFY trueStringChanged)
    /// Text of formatValue for false; "false" by default.
    Q_PROPERTY(QString falseString READ falseString WRITE setFalseString NOTIFY falseStringChanged)
    /// As a view: the bit of the source's byte at sourceByteIndex (0 the least significant).
    Q_PROPERTY(int sourceBitIndex READ sourceBitIndex WRITE setSourceBitIndex NOTIFY sourceBitIndexChanged)
    /// As a view: swap the two bytes of each register of the source before picking the bit.
    Q_PROPERTY(bool reverseSourceWords READ reverseSourceWords WRITE setReverseSourceWords
               NOTIFY reverseSourceWordsChanged)

public:
    /// A flag at holding register 400001.
    explicit ModbusBit(QObject *parent = nullptr);
    /// A flag at the logical number address.
    ModbusBit(quint32 address, QObject *parent = nullptr);

    /// Getter of the value property.
    bool value() const { return m_value; }
    /// Getter of the trueString property.
    QString trueString() const { return m_trueString; }
    /// Setter of the trueString property.
    void setTrueString(const QString &text);
    /// Getter of the falseString property.
    QString falseString() const { return m_falseString; }
    /// Setter of the falseString property.
    void setFalseString(const QString &text);
    /// Getter of the sourceBitIndex property.
    int sourceBitIndex() const { return m_sourceBitIndex; }
    /// Setter of the sourceBitIndex property.
    void setSourceBitIndex(int index);
    /// Getter of the reverseSourceWords property.
    bool reverseSourceWords() const { return m_reverseSourceWords; }

    QString formatValue() const override;
    void setFormatValue(const QString &text) override;
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    /// Setter of the value property.
    void setValue(bool value);
    /// Writes value; value itself changes after a later read (or at once with readAfterWrite).
    bool writeValue(bool value);
    /// Setter of the reverseSourceWords property.
    void setReverseSourceWords(bool reverse);

Q_SIGNALS:
    /// value changed.
    void valueChanged();
    /// trueString changed.
    void trueStringChanged();
    /// falseString changed.
    void falseStringChanged();
    /// sourceBitIndex changed.
    void sourceBitIndexChanged();
    /// reverseSourceWords changed to reverse.
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
