#!/usr/bin/python3
"""An RFC 1350 TFTP server answering Modbus RTU requests, as an independent peer.

A read request for "=<request frame in hex>" (mode octet) is answered from a new transfer ID with
DATA block 1 holding the answer frame, sent again until ACK 1 comes from the requester; anything
else gets ERROR 1. Registers read with function 3 or 4 hold their own address, other functions get
exception 1. Prints its port, then "ACK <block>" for every acknowledgement.
"""
import socket
import struct


def crc16(data):
    crc = 0xFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return struct.pack("<H", crc)


def answer_to(frame):
    unit, function = frame[0], frame[1]
    body = bytes([unit, function | 0x80, 1])
    if function in (3, 4) and len(frame) == 8 and crc16(frame[:6]) == frame[6:]:
        address, count = struct.unpack(">HH", frame[2:6])
        values = b"".join(struct.pack(">H", (address + i) & 0xFFFF) for i in range(count))
        body = bytes([unit, function, len(values)]) + values
    return body + crc16(body)


def serve(request, requester):
    transfer = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    transfer.bind(("127.0.0.1", 0))
    transfer.settimeout(0.5)
    opcode, = struct.unpack(">H", request[:2])
    name, mode = (request[2:].split(b"\0") + [b""])[:2]
    if opcode != 1 or mode.lower() != b"octet" or not name.startswith(b"="):
        transfer.sendto(struct.pack(">HH", 5, 1) + b"File not found\0", requester)
        return
    data = struct.pack(">HH", 3, 1) + answer_to(bytes.fromhex(name[1:].decode()))
    for _ in range(5):
        transfer.sendto(data, requester)
        try:
            packet, sender = transfer.recvfrom(1024)
        except socket.timeout:
            continue
        if sender == requester and packet[:2] == b"\0\4":
            print("ACK %d" % struct.unpack(">H", packet[2:4]), flush=True)
            return


listener = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
listener.bind(("127.0.0.1", 0))
print(listener.getsockname()[1], flush=True)
while True:
    serve(*listener.recvfrom(1024))
