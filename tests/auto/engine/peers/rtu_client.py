"""Usage: rtu_client.py PORT. A pymodbus RTU client printing "name: result" per exchange, then "done"."""
import logging
import sys

from pymodbus.client import ModbusSerialClient
from pymodbus.other_message import ReportSlaveIdRequest
from pymodbus.pdu import ExceptionResponse
from pymodbus.transaction import ModbusRtuFramer


def outcome(response, value):
    if isinstance(response, ExceptionResponse):
        return f"exception {response.exception_code}"
    if response is None or response.isError():
        return "error"
    return value(response)


def registers(response):
    return " ".join(str(r) for r in response.registers)


def main(port):
    client = ModbusSerialClient(port, framer=ModbusRtuFramer, baudrate=19200, timeout=2, retries=0)
    if not client.connect():
        sys.exit(f"cannot open {port}")
    exchanges = [
        ("read holding", lambda: client.read_holding_registers(10, 3, slave=1), registers),
        ("write single", lambda: client.write_register(20, 0xBEEF, slave=1), lambda r: "ok"),
        ("write multiple", lambda: client.write_registers(30, [1, 2, 3], slave=1), lambda r: "ok"),
        ("report", lambda: client.execute(ReportSlaveIdRequest(unit=1)), lambda r: r.identifier.hex()),
        ("unit 17", lambda: client.read_holding_registers(10, 1, slave=17), registers),
    ]
    for name, call, value in exchanges:
        try:
            result = outcome(call(), value)
        except Exception:  # a failed exchange is a result like any other
            result = "error"
        print(f"{name}: {result}", flush=True)
    client.close()
    print("done", flush=True)


if __name__ == "__main__":
    logging.basicConfig()
    logging.getLogger("pymodbus").setLevel(logging.CRITICAL)
    main(sys.argv[1])
