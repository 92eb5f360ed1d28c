#ifndef VALUECODEC_H
#define VALUECODEC_H

#include <TavrexBus1/modbusbytes.h>

#include <QtCore/QStringList>

// Typed values to register bytes and back, with the library's big-endian, no-word-swap layout.
namespace ValueCodec {

QStringList typeNames();
bool isKnownType(const QString &type);
// Returns false and fills error when text is not a valid value of type.
bool encode(const QString &type, const QString &text, ModbusBytes &bytes, QString &error);
bool decode(const QString &type, const ModbusBytes &bytes, QString &text, QString &error);
// Parses hex bytes given as one or several arguments ("01 03", "0103", "01", "03").
bool parseHex(const QStringList &parts, ModbusBytes &bytes, QString &error);
QString toHex(const ModbusBytes &bytes);

}

#endif
