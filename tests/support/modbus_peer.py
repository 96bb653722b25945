"""A relay board on a serial line: a Modbus RTU server answering every unit id (the boards
answer to 254).

Usage: /usr/bin/python3 modbus_peer.py DEVICE
Prints "ready" once the line is open, then "coils=b0b1b2" (coils 0 to 2, as "101") after every
write of coils. A caller that cannot read a pipe sends the lines to a file and reads the last one.
"""

import asyncio
import logging
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server.async_io import StartAsyncSerialServer
from pymodbus.transaction import ModbusRtuFramer


class ReportingCoils(ModbusSequentialDataBlock):
    def setValues(self, address, values):
        super().setValues(address, values)
        coils = super().getValues(1, 3)
        print("coils=" + "".join("1" if c else "0" for c in coils), flush=True)


async def main(device):
    logging.basicConfig(level=logging.CRITICAL)
    coils = ReportingCoils(0, [False] * 16)
    slave = ModbusSlaveContext(co=coils, zero_mode=False)
    context = ModbusServerContext(slaves=slave, single=True)
    server = await StartAsyncSerialServer(
        context=context, framer=ModbusRtuFramer, port=device, baudrate=9600, defer_start=True
    )
    await server.start()
    print("ready", flush=True)
    await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main(sys.argv[1]))
