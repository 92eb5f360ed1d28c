#include "modbustranslateoptions.h"

#include "modbustarget.h"
#include "modbustransport.h"

ModbusTranslateOptions::ModbusTranslateOptions(const QDateTime &requestTime, const ModbusTarget *fromTarget,
                                               unsigned char requestAddress,
                                               const ModbusTransport &fromTransport)
    : m_requestTime(requestTime),
      m_fromTarget(fromTarget),
      m_requestAddress(requestAddress),
      m_fromTransport(&fromTransport)
{
}

QString ModbusTranslateOptions::toString(bool oneLine) const
{
    QString text;
    text += QStringLiteral("request time: %1\n")
                .arg(requestTime().toString(QStringLiteral("yyyy:MM:dd hh:mm:ss.zzz")));
    text += QStringLiteral("from target: %1\n").arg(m_fromTarget ? m_fromTarget->toString(true) : QString());
    text += QStringLiteral("request address: %1\n").arg(m_requestAddress);
    text += QStringLiteral("answer exception code: %1\n").arg(TavrexBus::exceptionCodeStr(m_answerExceptionCode));
    text += QStringLiteral("from transport: %1\n").arg(m_fromTransport->toString(true));
    if (oneLine)
        text.replace(QLatin1Char('\n'), QLatin1String("; "));
    return text;
}
