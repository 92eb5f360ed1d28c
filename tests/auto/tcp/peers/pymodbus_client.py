"""Independent Modbus/TCP client: functions 6, 16, 3 and 4 against host port unit, one line per step."""
import sys

from pymodbus.client import ModbusTcpClient

host, port, unit = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
client = ModbusTcpClient(host, port=port, timeout=3, retries=0)
if not client.connect():
    print("connect: error")
    sys.exit(1)


def show(step, answer, registers=True):
    if answer.isError():
        print(f"{step}: error {answer}")
        return False
    if registers:
        print(f"{step}: " + " ".join(f"{value:04X}" for value in answer.registers))
    else:
        print(f"{step}: ok")
    return True


ok = show("write 6", client.write_register(0, 0xBEEF, slave=unit), registers=False)
ok &= show("write 16", client.write_registers(1, [0x1111, 0x2222, 0x3333], slave=unit), registers=False)
ok &= show("read 3", client.read_holding_registers(0, 4, slave=unit))
ok &= show("read 4", client.read_input_registers(0, 2, slave=unit))
unmapped = client.read_holding_registers(900, 1, slave=unit)
print("read unmapped: " + ("exception %d" % unmapped.exception_code if unmapped.isError() else "answered"))
client.close()
sys.exit(0 if ok else 1)
