#!/usr/bin/env python3
"""Writes the library's GUID into a type library compiled by widl.

widl (versions 7 and 8) writes the last byte of the library's own GUID
wrong (as 0x0D) when a class of the library names a source dispinterface;
every other GUID it writes is right. The library's GUID entry is the one
whose type reference is -2; this puts the GUID given back into it, and
fails unless exactly one such entry starts with the GUID's other bytes.

    set_library_guid.py FILE.tlb {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
"""
import sys
import uuid


def main(path, guid_text):
    guid = uuid.UUID(guid_text).bytes_le
    data = bytearray(open(path, 'rb').read())
    if data[:4] != b'MSFT':
        sys.exit(f'{path}: not a type library')
    library_entry = b'\xfe\xff\xff\xff'  # the type reference of the library's GUID
    hits = [i for i in range(len(data) - 20)
            if data[i:i + 15] == guid[:15] and data[i + 16:i + 20] == library_entry]
    if len(hits) != 1:
        sys.exit(f'{path}: {len(hits)} entries look like the library GUID {guid_text}')
    data[hits[0]:hits[0] + 16] = guid
    open(path, 'wb').write(bytes(data))


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
