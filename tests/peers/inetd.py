#!/usr/bin/python3
"""A tiny inetd for one service: accepts TCP connections and runs a program
per connection with the socket as its standard input and output.

    inetd.py ADDRESS PORT USER SECONDS PROGRAM [ARGS...]

The program runs as USER and is killed after SECONDS. Ends on SIGTERM.
"""
import os
import pwd
import signal
import socket
import sys


def main():
    address, port, user, seconds = sys.argv[1], int(sys.argv[2]), sys.argv[3], int(sys.argv[4])
    program = sys.argv[5:]
    account = pwd.getpwnam(user)
    signal.signal(signal.SIGCHLD, signal.SIG_IGN)  # children are reaped by the kernel
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind((address, port))
    server.listen(16)
    devnull = os.open(os.devnull, os.O_RDWR)
    while True:
        try:
            conn, _ = server.accept()
        except InterruptedError:
            continue
        if os.fork() == 0:
            try:
                server.close()
                os.dup2(conn.fileno(), 0)
                os.dup2(conn.fileno(), 1)
                os.dup2(devnull, 2)
                conn.close()
                os.setgroups([])
                os.setgid(account.pw_gid)
                os.setuid(account.pw_uid)
                signal.signal(signal.SIGCHLD, signal.SIG_DFL)
                signal.signal(signal.SIGTERM, signal.SIG_DFL)
                signal.alarm(seconds)  # survives exec: ends a stuck program
                os.execvp(program[0], program)
            finally:
                os._exit(127)
        conn.close()


if __name__ == "__main__":
    main()
