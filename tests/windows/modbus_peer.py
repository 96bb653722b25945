"""Relay board stand-in: a Modbus RTU server on a serial device, any unit id (the boards answer
to 254), writing its first coils as text ("101") to a file after every change.

Usage: /usr/bin/python3 modbus_peer.py DEVICE COILS_FILE
"""
import logging
import os
import sys

from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                ModbusSlaveContext)
from pymodbus.server import StartSerialServer
from pymodbus.transaction import ModbusRtuFramer

COILS = 3


class ReportingCoils(ModbusSequentialDataBlock):
    def __init__(self, path):
        super().__init__(0, [0] * 8)
        self.path = path
        self.report()

    def setValues(self, address, values):
        super().setValues(address, values)
        self.report()

    def report(self):
        text = "".join("1" if v else "0" for v in self.getValues(0, COILS))
        temporary = self.path + ".new"
        with open(temporary, "w") as out:
            out.write(text)
        os.replace(temporary, self.path)


def main():
    device, path = sys.argv[1], sys.argv[2]
    logging.basicConfig(level=logging.CRITICAL)
    store = ModbusSlaveContext(co=ReportingCoils(path), zero_mode=True)
    context = ModbusServerContext(slaves=store, single=True)
    StartSerialServer(context=context, framer=ModbusRtuFramer, port=device, baudrate=9600)


if __name__ == "__main__":
    main()
