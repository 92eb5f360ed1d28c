#ifndef MODBUSTRANSLATEOPTIONS_H
#define MODBUSTRANSLATEOPTIONS_H

#include "qtavrexobject.h"
#include "tavrexbus.h"
#include "tavrexbus1global.h"

#include <QtCore/QDateTime>

class ModbusTarget;
class ModbusTransport;

/// What a request handler may want to know about an incoming request besides the request itself,
/// and the exception code with which the handlers want it answered.
class TAVREXBUS1_EXPORT ModbusTranslateOptions : public QTavrexObject
{
public:
    /// The options of a request that arrived at requestTime from fromTarget.
    ModbusTranslateOptions(const QDateTime &requestTime, const ModbusTarget *fromTarget,
                           unsigned char requestAddress, const ModbusTransport &fromTransport);

    /// In local time. The translator stamps requests in UTC, which needs no time-zone look-up;
    /// only a handler that asks pays for the conversion.
    QDateTime requestTime() const { return m_requestTime.toLocalTime(); }
    /// The peer the request came from.
    const ModbusTarget *fromTarget() const { return m_fromTarget; }
    /// The Modbus unit address the request named.
    quint8 requestAddress() const { return m_requestAddress; }
    /// The exception code the handlers want the request answered with; NoException by default.
    TavrexBus::ExceptionCode answerExceptionCode() const { return m_answerExceptionCode; }
    /// The transport the request arrived on.
    const ModbusTransport *fromTransport() const { return m_fromTransport; }

    /// Answers the request with code instead of data.
    void setAnswerExceptionCode(TavrexBus::ExceptionCode code) { m_answerExceptionCode = code; }

    QString toString(bool oneLine = false) const override;

private:
    QDateTime m_requestTime;
    const ModbusTarget *m_fromTarget;
    quint8 m_requestAddress;
    TavrexBus::ExceptionCode m_answerExceptionCode = TavrexBus::NoException;
    const ModbusTransport *m_fromTransport;
};

#endif // MODBUSTRANSLATEOPTIONS_H
