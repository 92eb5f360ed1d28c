#!/usr/bin/python3
"""An RFC 1350 TFTP server that serves Modbus RTU answers, as an independent peer.

A read request for the file "=<request frame in hex>" is answered from a new transfer ID (a fresh
UDP port) with DATA block 1 holding the answer frame; DATA is sent again until ACK 1 arrives from
the requester's transfer ID. Registers read with functions 3 and 4 hold their own address; any
other function gets exception 1. Prints its port, then "ACK <block>" for every acknowledgement.
"""
import socket
import struct
import sys


def crc16(data):
    crc = 0xFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return struct.pack("<H", crc)


def answer_to(frame):
    unit, function = frame[0], frame[1]
    if function in (3, 4) and len(frame) == 6:
        address, count = struct.unpack(">HH", frame[2:6])
        values = b"".join(struct.pack(">H", (address + i) & 0xFFFF) for i in range(count))
        body = bytes([unit, function, len(values)]) + values
    else:
        body = bytes([unit, function | 0x80, 1])
    return body + crc16(body)


def error(code, text):
    return struct.pack(">HH", 5, code) + text.encode() + b"\0"


def serve(listener, request, requester):
    transfer = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    transfer.bind(("127.0.0.1", 0))
    transfer.settimeout(0.5)
    try:
        opcode = struct.unpack(">H", request[:2])[0]
        name, mode = request[2:].split(b"\0")[:2]
        if opcode != 1 or mode.lower() != b"octet" or not name.startswith(b"="):
            transfer.sendto(error(1, "File not found"), requester)
            return
        frame = bytes.fromhex(name[1:].decode())
        if crc16(frame[:-2]) != frame[-2:]:
            transfer.sendto(error(0, "bad CRC"), requester)
            return
        data = struct.pack(">HH", 3, 1) + answer_to(frame[:-2])
        for _ in range(5):
            transfer.sendto(data, requester)
            try:
                while True:
                    packet, sender = transfer.recvfrom(1024)
                    if sender != requester:
                        transfer.sendto(error(5, "Unknown transfer ID"), sender)
                        continue
                    opcode, block = struct.unpack(">HH", packet[:4])
                    if opcode == 4:
                        print("ACK %d" % block, flush=True)
                        return
            except socket.timeout:
                continue
    finally:
        transfer.close()


def main():
    listener = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    listener.bind(("127.0.0.1", 0))
    print(listener.getsockname()[1], flush=True)
    while True:
        request, requester = listener.recvfrom(1024)
        serve(listener, request, requester)


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        sys.exit(0)
