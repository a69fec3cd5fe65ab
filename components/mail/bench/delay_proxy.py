#!/usr/bin/python3
"""delay_proxy.py LISTEN_PORT TARGET_PORT DELAY_MS: forwards 127.0.0.1:LISTEN_PORT
to 127.0.0.1:TARGET_PORT and holds every chunk DELAY_MS in each direction
before passing it on (a round trip costs twice that). For machines whose
kernel has no netem. Prints READY once listening."""
import asyncio
import sys
import time

listen_port, target_port, delay = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3]) / 1000.0


async def forward(reader, writer):
    queue = asyncio.Queue()

    async def receive():
        while True:
            chunk = await reader.read(1 << 16)
            await queue.put((time.monotonic() + delay, chunk))
            if not chunk:
                return

    async def send():
        while True:
            due, chunk = await queue.get()
            wait = due - time.monotonic()
            if wait > 0:
                await asyncio.sleep(wait)
            if not chunk:
                try:
                    writer.write_eof()
                except OSError:
                    pass
                return
            writer.write(chunk)
            await writer.drain()

    try:
        await asyncio.gather(receive(), send())
    except (ConnectionError, OSError):
        writer.close()


async def on_client(client_reader, client_writer):
    try:
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target_port)
    except OSError:
        client_writer.close()
        return
    await asyncio.gather(forward(client_reader, server_writer),
                         forward(server_reader, client_writer), return_exceptions=True)
    client_writer.close()
    server_writer.close()


async def main():
    server = await asyncio.start_server(on_client, "127.0.0.1", listen_port)
    print("READY", flush=True)
    async with server:
        await server.serve_forever()

asyncio.run(main())
