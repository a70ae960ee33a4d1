#!/usr/bin/env python3
"""Fails when a Windows program imports a DLL that Windows does not ship.

    check_imports.py OBJDUMP PROGRAM

The program must run from a bare folder: no MinGW runtime DLLs beside it
(libstdc++, libgcc, libwinpthread), only the system's own libraries.
"""
import re
import subprocess
import sys

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "gdi32.dll", "ntdll.dll",
               "msvcrt.dll", "ucrtbase.dll", "shell32.dll", "ole32.dll"}


def is_system(dll: str) -> bool:
    name = dll.lower()
    return name in SYSTEM_DLLS or name.startswith("api-ms-win-")


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    objdump, program = sys.argv[1:]
    listing = subprocess.run([objdump, "-p", program], capture_output=True, text=True,
                             check=True).stdout
    dlls = re.findall(r"^\s*DLL Name:\s*(\S+)", listing, re.MULTILINE)
    if not dlls:
        print(f"no imports found in {program}: is it a Windows program?")
        return 1
    foreign = [dll for dll in dlls if not is_system(dll)]
    print("imports: " + ", ".join(dlls))
    if foreign:
        print("not part of Windows: " + ", ".join(foreign))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
