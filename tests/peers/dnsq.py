#!/usr/bin/python3
"""A small DNS query over UDP for the peer checks.

    dnsq.py PORT NAME TYPE   (TYPE: A, AAAA, MX, PTR, TXT, LOC or a number)

Prints "rcode N aa=0|1" and one line per answer ("TYPE data ttl=N"), in the
order the server sent them. Exits 2 when no reply comes within 3 s.
"""
import random
import socket
import struct
import sys

TYPES = {"A": 1, "MX": 15, "PTR": 12, "TXT": 16, "AAAA": 28, "LOC": 29}


def read_name(msg, pos):
    labels, jumps, end = [], 0, None
    while True:
        n = msg[pos]
        if n & 0xC0 == 0xC0:
            if end is None:
                end = pos + 2
            pos = ((n & 0x3F) << 8) | msg[pos + 1]
            jumps += 1
            if jumps > 32:
                raise ValueError("pointer loop")
            continue
        if n == 0:
            return ".".join(labels), (end if end is not None else pos + 1)
        labels.append(msg[pos + 1:pos + 1 + n].decode("ascii"))
        pos += 1 + n


def main():
    port, name, qtype = int(sys.argv[1]), sys.argv[2], sys.argv[3].upper()
    qt = TYPES.get(qtype) or int(qtype)
    qid = random.randrange(65536)
    query = struct.pack(">HHHHHH", qid, 0x0100, 1, 0, 0, 0)
    for label in name.rstrip(".").split("."):
        query += bytes([len(label)]) + label.encode()
    query += b"\0" + struct.pack(">HH", qt, 1)
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.settimeout(3)
    s.sendto(query, ("127.0.0.1", port))
    try:
        msg = s.recv(65535)
    except socket.timeout:
        print("no reply")
        return 2
    rid, flags, qd, an = struct.unpack(">HHHH", msg[:8])
    assert rid == qid, "wrong id"
    print("rcode %d aa=%d" % (flags & 15, (flags >> 10) & 1))
    pos = 12
    for _ in range(qd):
        _, pos = read_name(msg, pos)
        pos += 4
    names = {v: k for k, v in TYPES.items()}
    for _ in range(an):
        _, pos = read_name(msg, pos)
        t, _, ttl, rdlen = struct.unpack(">HHIH", msg[pos:pos + 10])
        pos += 10
        rd = msg[pos:pos + rdlen]
        if t == 1:
            data = socket.inet_ntop(socket.AF_INET, rd)
        elif t == 28:
            data = socket.inet_ntop(socket.AF_INET6, rd)
        elif t == 15:
            data = "%d %s" % (struct.unpack(">H", rd[:2])[0], read_name(msg, pos + 2)[0])
        elif t == 12:
            data = read_name(msg, pos)[0]
        elif t == 16:
            data = rd[1:1 + rd[0]].decode()
        else:
            data = rd.hex()
        print(names.get(t, t), data, "ttl=%d" % ttl)
        pos += rdlen
    return 0


if __name__ == "__main__":
    sys.exit(main())
