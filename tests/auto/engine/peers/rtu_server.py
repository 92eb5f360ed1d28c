"""A pymodbus RTU server on a serial port, the independent peer of the engine's client tests.

Unit 1 holds holding registers 0..199 = 1000 + address and input registers 0..199 = 2000 + address;
its report-slave-ID data starts with the device name "EK-PEER". Prints "ready" once the port is
open, then serves until its standard input closes.

Usage: rtu_server.py PORT
"""
import asyncio
import logging
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server import StartAsyncSerialServer
from pymodbus.transaction import ModbusRtuFramer


async def serve(port):
    store = ModbusSlaveContext(
        hr=ModbusSequentialDataBlock(0, [1000 + i for i in range(200)]),
        ir=ModbusSequentialDataBlock(0, [2000 + i for i in range(200)]),
        zero_mode=True,
    )
    store.reportSlaveIdData = b"EK-PEER\x00\x07"
    context = ModbusServerContext(slaves={1: store}, single=False)
    server = await StartAsyncSerialServer(
        context=context, framer=ModbusRtuFramer, port=port, baudrate=19200, defer_start=True
    )
    await server.start()
    if server.transport is None:
        sys.exit(f"cannot open {port}")
    print("ready", flush=True)
    await asyncio.get_running_loop().run_in_executor(None, sys.stdin.read)
    await server.shutdown()


if __name__ == "__main__":
    logging.basicConfig()
    logging.getLogger("pymodbus").setLevel(logging.CRITICAL)
    asyncio.run(serve(sys.argv[1]))
