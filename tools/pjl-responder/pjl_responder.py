#!/usr/bin/env python3
"""A PJL device on a loopback TCP port, for tests.

Answers each PJL request line it receives with a hand-written reply from a
fixture file, records every byte it receives, and can misbehave on request.
Written from the PJL reply format (lines ending CR LF, a reply ending with a
form feed), independently of the language monitor it checks.

Fixture (JSON):
  {"deviceid": "MFG:...;MDL:...;",          # answered on a side connection
   "replies": {"@PJL INFO STATUS": "@PJL INFO STATUS\\r\\nCODE=10001\\r\\n\\f",
               "@PJL JOB": "@PJL USTATUS JOB\\r\\nSTART\\r\\nNAME=\\"{name}\\"\\r\\n\\f", ...}}
A request line is answered by the reply of the longest key it starts with;
"{name}" stands for the request's NAME="..." value.  A connection whose
first line is "DEVICEID" is the side channel a USB device answers its
device ID on: it gets the device ID and is closed.

Usage: pjl_responder.py FIXTURE [--host H] [--port P] [--record FILE]
         [--mode answer|silent|refuse|close] [--close-after N]
         [--split N] [--delay MS]
Prints "PORT <n>" on its standard output once it listens, and stops when its
standard input ends (so a test that dies leaves nothing running) or on
SIGTERM.
"""

import argparse
import json
import os
import re
import select
import signal
import socket
import sys
import threading
import time

UEL = b"\x1b%-12345X"


def parse_args(argv):
    p = argparse.ArgumentParser(description="A PJL device on a loopback TCP port, for tests.")
    p.add_argument("fixture", help="JSON file of hand-written replies")
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--record", help="file every byte of the job connections is appended to")
    p.add_argument("--mode", choices=["answer", "silent", "refuse", "close"], default="answer")
    p.add_argument("--close-after", type=int, default=0, help="close mode: bytes taken before closing")
    p.add_argument("--split", type=int, default=0, help="send replies in pieces of this many bytes")
    p.add_argument("--delay", type=int, default=0, help="milliseconds between pieces")
    return p.parse_args(argv)


class Responder:
    def __init__(self, args, fixture):
        self.args = args
        self.replies = fixture.get("replies", {})
        self.device_id = fixture.get("deviceid", "")
        self.lock = threading.Lock()
        self.stopping = False

    def record(self, data):
        if not self.args.record or not data:
            return
        with self.lock, open(self.args.record, "ab") as f:
            f.write(data)

    def reply_for(self, line):
        """The reply to one request line, or None."""
        text = line.decode("latin-1")
        best = None
        for key in self.replies:
            if text.startswith(key) and (best is None or len(key) > len(best)):
                best = key
        if best is None:
            return None
        m = re.search(r'NAME="([^"]*)"', text)
        return self.replies[best].replace("{name}", m.group(1) if m else "").encode("latin-1")

    def send(self, conn, data):
        step = self.args.split if self.args.split > 0 else len(data)
        for at in range(0, len(data), step):
            conn.sendall(data[at:at + step])
            if self.args.delay:
                time.sleep(self.args.delay / 1000.0)

    def serve(self, conn):
        pending = b""
        taken = 0
        first = True
        try:
            while not self.stopping:
                ready, _, _ = select.select([conn], [], [], 0.2)
                if not ready:
                    continue
                data = conn.recv(65536)
                if not data:
                    return
                if first and data.startswith(b"DEVICEID"):
                    if self.args.mode != "silent":
                        conn.sendall(self.device_id.encode("latin-1"))
                    else:
                        time.sleep(3600)
                    return
                first = False
                self.record(data)
                taken += len(data)
                if self.args.mode == "close" and taken >= self.args.close_after:
                    return
                pending += data
                while b"\n" in pending:
                    line, pending = pending.split(b"\n", 1)
                    # a universal exit ends whatever came before it on the line
                    if UEL in line:
                        line = line[line.rindex(UEL) + len(UEL):]
                    line = line.rstrip(b"\r")
                    if self.args.mode == "silent" or not line.startswith(b"@PJL"):
                        continue
                    reply = self.reply_for(line)
                    if reply:
                        self.send(conn, reply)
                if len(pending) > 1 << 20:
                    pending = b""
        except OSError:
            return
        finally:
            conn.close()


def watch_stdin(stop):
    """Stops the responder when its standard input ends."""
    try:
        while sys.stdin.buffer.read(1):
            pass
    except (OSError, ValueError):
        pass
    stop()


def main(argv):
    args = parse_args(argv)
    with open(args.fixture, encoding="utf-8") as f:
        fixture = json.load(f)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((args.host, args.port))
    port = listener.getsockname()[1]
    if args.mode == "refuse":
        listener.close()  # the port is known and nobody listens on it: connections are refused
    else:
        listener.listen(16)
    responder = Responder(args, fixture)

    def stop(*_):
        responder.stopping = True
        os._exit(0)

    signal.signal(signal.SIGTERM, stop)
    print("PORT %d" % port, flush=True)
    threading.Thread(target=watch_stdin, args=(stop,), daemon=True).start()
    if args.mode == "refuse":
        while True:
            time.sleep(1)
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=responder.serve, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    main(sys.argv[1:])
