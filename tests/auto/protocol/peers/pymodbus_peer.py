"""Independent Modbus peer for the protocol tests, built on pymodbus.

encode <seed>: prints lines "<rtu|tcp> <request|response> <hex frame> <JSON fields>" for
        pseudo-random messages of the standard functions; the fields are the function code, the
        unit and an exception's code.
"""
import json
import random
import sys

from pymodbus.factory import ClientDecoder, ServerDecoder
from pymodbus.framer.rtu_framer import ModbusRtuFramer
from pymodbus.framer.socket_framer import ModbusSocketFramer
from pymodbus.other_message import ReportSlaveIdRequest, ReportSlaveIdResponse
from pymodbus.pdu import ExceptionResponse
from pymodbus.register_read_message import (ReadHoldingRegistersRequest,
                                            ReadHoldingRegistersResponse,
                                            ReadInputRegistersRequest,
                                            ReadInputRegistersResponse)
from pymodbus.register_write_message import (WriteMultipleRegistersRequest,
                                             WriteMultipleRegistersResponse,
                                             WriteSingleRegisterRequest,
                                             WriteSingleRegisterResponse)


def framer(kind, role):
    decoder = ServerDecoder() if role == 'request' else ClientDecoder()
    return (ModbusRtuFramer if kind == 'rtu' else ModbusSocketFramer)(decoder)


def fields(message):
    result = {'fc': message.function_code, 'unit': message.unit_id}
    if hasattr(message, 'exception_code'):
        result['exception_code'] = message.exception_code
    return result


def messages(rnd):
    def regs(count):
        return [rnd.randrange(65536) for _ in range(count)]
    unit = rnd.randrange(1, 248)
    address = rnd.randrange(65536 - 125)
    return [
        ('request', ReadHoldingRegistersRequest(address, rnd.randrange(1, 126), unit=unit)),
        ('request', ReadInputRegistersRequest(address, rnd.randrange(1, 126), unit=unit)),
        ('response', ReadHoldingRegistersResponse(regs(rnd.randrange(1, 126)), unit=unit)),
        ('response', ReadInputRegistersResponse(regs(rnd.randrange(1, 126)), unit=unit)),
        ('request', WriteSingleRegisterRequest(address, rnd.randrange(65536), unit=unit)),
        ('response', WriteSingleRegisterResponse(address, rnd.randrange(65536), unit=unit)),
        ('request', WriteMultipleRegistersRequest(address, regs(rnd.randrange(1, 124)), unit=unit)),
        ('response', WriteMultipleRegistersResponse(address, rnd.randrange(1, 124), unit=unit)),
        ('request', ReportSlaveIdRequest(unit=unit)),
        ('response', ReportSlaveIdResponse(b'METER-%d\x00' % unit, True, unit=unit)),
        ('response', ExceptionResponse(rnd.choice([3, 4, 6, 16]), rnd.choice([1, 2, 3, 4, 6]),
                                       unit=unit)),
    ]


def encode(seed):
    rnd = random.Random(seed)
    for _ in range(20):
        for role, message in messages(rnd):
            message.transaction_id = rnd.randrange(65536)
            for kind in ('rtu', 'tcp'):
                frame = framer(kind, role).buildPacket(message)
                print(kind, role, frame.hex(), json.dumps(fields(message)))


if __name__ == '__main__':
    encode(int(sys.argv[2]))
