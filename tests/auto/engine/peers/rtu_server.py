"""Usage: rtu_server.py PORT. A pymodbus RTU server, unit 1: holding register n = 1000 + n,
device name "EK-PEER". Prints "ready", serves until stdin closes."""
import asyncio
import logging
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server import StartAsyncSerialServer
from pymodbus.transaction import ModbusRtuFramer


async def serve(port):
    store = ModbusSlaveContext(
        hr=ModbusSequentialDataBlock(0, [1000 + i for i in range(200)]),
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
