"""Independent Modbus/TCP server on 127.0.0.1:port: holding registers 0-9 hold 0x0100 + n,
input registers 0-9 hold 0x0200 + n; any unit is answered."""
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server import StartTcpServer

port = int(sys.argv[1])
device = ModbusSlaveContext(
    hr=ModbusSequentialDataBlock(1, [0x0100 + n for n in range(10)]),
    ir=ModbusSequentialDataBlock(1, [0x0200 + n for n in range(10)]),
)
StartTcpServer(context=ModbusServerContext(slaves=device, single=True), address=("127.0.0.1", port))
