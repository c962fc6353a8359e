#!/usr/bin/env python3
"""A TCP proxy on the loopback that holds back every chunk it forwards, in
either direction, by a fixed delay: a server across a network link, for the
benchmark and the window's tests.

    delayproxy.py --target PORT [--delay-ms 10] [--stats FILE] [--lifetime S] [--parent PID]

It listens on 127.0.0.1 on a free port and prints "port N" once it does. It
counts round trips: a chunk from the client after the server has spoken
(or the first one) starts one. With --stats it keeps the counts, as JSON, in
FILE, saved as each connection closes ("closed" counts them). It ends by
itself after --lifetime seconds (default 900), when the
process --parent is gone, or on SIGTERM.
"""

import argparse
import asyncio
import json
import os
import signal
import sys

LOOPBACK = "127.0.0.1"


class Stats:
    def __init__(self, path):
        self.path = path
        self.counts = {"connections": 0, "closed": 0, "round_trips": 0, "bytes_up": 0, "bytes_down": 0}

    def save(self):
        if self.path:
            with open(self.path + ".tmp", "w") as f:
                json.dump(self.counts, f)
            os.replace(self.path + ".tmp", self.path)


async def forward(reader, writer, delay, on_chunk):
    """Copies reader to writer, each chunk `delay` seconds after it came."""
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()

    async def send():
        while True:
            due, data = await queue.get()
            if data is None:
                break
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            writer.write(data)
            await writer.drain()

    sender = asyncio.ensure_future(send())
    try:
        while True:
            data = await reader.read(1 << 16)
            if not data:
                break
            on_chunk(data)
            queue.put_nowait((loop.time() + delay, data))
    except ConnectionError:
        pass
    queue.put_nowait((0, None))
    try:
        await sender
        writer.close()
    except ConnectionError:
        pass


async def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--target", type=int, required=True, help="the server's port on 127.0.0.1")
    parser.add_argument("--delay-ms", type=float, default=10.0, help="delay of each direction")
    parser.add_argument("--stats", help="file that keeps the counts")
    parser.add_argument("--lifetime", type=float, default=900.0)
    parser.add_argument("--parent", type=int, help="end when this process is gone")
    args = parser.parse_args()
    delay = args.delay_ms / 1000.0
    stats = Stats(args.stats)
    stats.save()
    done = asyncio.Event()

    async def serve(client_reader, client_writer):
        try:
            server_reader, server_writer = await asyncio.open_connection(LOOPBACK, args.target)
        except OSError:
            client_writer.close()
            return
        stats.counts["connections"] += 1
        turn = {"server_spoke": True}

        def up(data):
            if turn["server_spoke"]:
                stats.counts["round_trips"] += 1
            turn["server_spoke"] = False
            stats.counts["bytes_up"] += len(data)

        def down(data):
            turn["server_spoke"] = True
            stats.counts["bytes_down"] += len(data)

        await asyncio.gather(forward(client_reader, server_writer, delay, up),
                             forward(server_reader, client_writer, delay, down))
        stats.counts["closed"] += 1
        stats.save()

    server = await asyncio.start_server(serve, LOOPBACK, 0)
    print("port %d" % server.sockets[0].getsockname()[1], flush=True)
    loop = asyncio.get_running_loop()
    loop.add_signal_handler(signal.SIGTERM, done.set)
    loop.call_later(args.lifetime, done.set)

    async def watch_parent():
        while not done.is_set():
            try:
                os.kill(args.parent, 0)
            except OSError:
                done.set()
            await asyncio.sleep(1)

    if args.parent:
        asyncio.ensure_future(watch_parent())
    await done.wait()
    server.close()
    stats.save()


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        sys.exit(130)
