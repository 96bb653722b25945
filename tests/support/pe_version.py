#!/usr/bin/python3
"""Prints the version resource of Windows images, one line each:
FILE: fixed=A.B.C.D ProductName=... ProductVersion=... FileVersion=... FileDescription=... OriginalFilename=...
(the fixed part's file version, then the strings of the first string table), or "FILE: none"."""
import os
import sys

import pefile

FIELDS = ("ProductName", "ProductVersion", "FileVersion", "FileDescription", "OriginalFilename", "CompanyName")

for path in sys.argv[1:]:
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    if not getattr(pe, "VS_FIXEDFILEINFO", None):
        print("%s: none" % os.path.basename(path))
        continue
    fixed = pe.VS_FIXEDFILEINFO[0]
    version = "%d.%d.%d.%d" % (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                               fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)
    strings = {}
    for info in getattr(pe, "FileInfo", [[]])[0]:
        if getattr(info, "Key", b"") == b"StringFileInfo":
            for table in info.StringTable[:1]:
                strings = {k.decode(): v.decode() for k, v in table.entries.items()}
    print("%s: fixed=%s %s" % (os.path.basename(path), version,
                               " ".join("%s=%s" % (f, strings.get(f, "")) for f in FIELDS)))
