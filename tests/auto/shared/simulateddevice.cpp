#include "simulateddevice.h"

#include <TavrexBus1/modbuspacket.h>
#include <TavrexBus1/modbustranslator.h>

SimulatedDevice::SimulatedDevice(QObject *parent)
    : QObject(parent),
      m_server(this),
      m_modbuser(this)
{
    m_server.connectTransport();
    m_modbuser.translator().addTransport(m_server, true, false);
    m_file = QByteArray(512, '\0');
    for (int i = 0; i < m_file.size(); ++i)
        m_file[i] = char(i);

    connect(&m_modbuser, &Modbuser::onReadRegisters, this,
            [this](quint32 address, quint16 count, ModbusBytes &out, ModbusTranslateOptions &, bool &handled) {
                record(TavrexBus::isInput(address) ? 4 : 3, address, count);
                if (!answering(handled))
                    return;
                const std::lock_guard locker(m_mutex);
                for (quint32 i = 0; i < count; ++i)
                    out.appendReg(m_registers.value(address + i));
            });
    connect(&m_modbuser, &Modbuser::onWriteRegisters, this,
            [this](quint32 address, ModbusBytes values, ModbusTranslateOptions &, bool &handled) {
                record(m_lastFunction, address, values.regsCount());
                if (!answering(handled))
                    return;
                const std::lock_guard locker(m_mutex);
                for (int i = 0; i < values.regsCount(); ++i)
                    m_registers[address + quint32(i)] = values.getReg(i);
            });
    connect(&m_modbuser, &Modbuser::onGetDevName, this,
            [this](QString &out, ModbusTranslateOptions &, bool &handled) {
                record(17, 0, 0);
                if (answering(handled))
                    out = name();
            });
    connect(&m_modbuser, &Modbuser::onReadFile, this,
            [this](quint8, quint16 start, quint8 count, ModbusBytes &out, ModbusTranslateOptions &, bool &handled) {
                record(68, start, count);
                if (!answering(handled))
                    return;
                const std::lock_guard locker(m_mutex);
                out = ModbusBytes::fromOther(m_file, start * 2, count * 2);
            });
    connect(&m_modbuser, &Modbuser::onWriteFile, this,
            [this](quint8, quint16 start, ModbusBytes values, ModbusTranslateOptions &, bool &handled) {
                record(69, start, values.regsCount());
                if (!answering(handled))
                    return;
                const std::lock_guard locker(m_mutex);
                m_file.setBytes(values, start * 2);
            });
    // Functions 6 and 16 both reach onWriteRegisters; the packet, seen first, tells them apart.
    connect(&m_modbuser.translator(), &ModbusTranslator::packetReceived, this,
            [this](const ModbusPacket &packet) { m_lastFunction = packet.functionCode(); });
}
