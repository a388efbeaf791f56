#!/usr/bin/python3
"""Checks every layout library build with Debian's PE reader (python3-pefile), independently of
the compiler and linker that made it.

    check_layout_images.py LAYOUT_OUT_DIR

LAYOUT_OUT_DIR holds builds.tsv (variant, set, slot, file per line), the builds and
gen/image-facts.json (the patchable tables and names each build must hold, from the layout
source). Prints one line per build with its size; exits non-zero on the first faulty build set.
"""

import json
import os
import sys

import pefile

I386, AMD64 = 0x14C, 0x8664
SLOTS = {  # slot: (machine, Windows version)
    0: (I386, (5, 0)), 1: (I386, (5, 1)), 2: (I386, (5, 2)), 4: (AMD64, (5, 2)),
    5: (I386, (6, 0)), 7: (AMD64, (6, 0)), 8: (I386, (6, 1)), 10: (AMD64, (6, 1)),
    11: (I386, (6, 2)), 12: (AMD64, (6, 2)),
}
ALLOWED_SECTIONS = {".data", ".edata", ".rsrc", ".reloc"}
SCN_CODE, SCN_EXECUTE = 0x20, 0x20000000
LANG_EN, LANG_PL = 0x409, 0x415
RT_STRING, RT_VERSION = 6, 16


def string_resource(pe, string_id, lang):
    """String string_id of the string table in language lang, or None."""
    block_id = string_id // 16 + 1
    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if type_entry.id != RT_STRING:
            continue
        for name_entry in type_entry.directory.entries:
            if name_entry.id != block_id:
                continue
            for lang_entry in name_entry.directory.entries:
                if lang_entry.id != lang:
                    continue
                data = pe.get_data(lang_entry.data.struct.OffsetToData, lang_entry.data.struct.Size)
                at = 0
                for _ in range(string_id % 16):
                    at += 2 + 2 * int.from_bytes(data[at:at + 2], "little")
                length = int.from_bytes(data[at:at + 2], "little")
                return data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
    return None


def version_strings(pe):
    tables = {}
    for file_info in getattr(pe, "FileInfo", [[]])[0]:
        if file_info.Key == b"StringFileInfo":
            for table in file_info.StringTable:
                tables[table.LangID.decode()] = {k.decode(): v.decode() for k, v in table.entries.items()}
    return tables


def check_image(path, slot, facts, faults):
    pe = pefile.PE(path)
    machine, version = SLOTS[slot]
    name = os.path.basename(path)

    def fault(message):
        faults.append(f"{name}: {message}")

    if pe.FILE_HEADER.Machine != machine:
        fault(f"machine {pe.FILE_HEADER.Machine:#x}, expected {machine:#x}")
    if not pe.FILE_HEADER.Characteristics & 0x2000:
        fault("not a DLL")
    opt = pe.OPTIONAL_HEADER
    if opt.AddressOfEntryPoint != 0:
        fault("has an entry point")
    if (opt.MajorOperatingSystemVersion, opt.MinorOperatingSystemVersion) != version or \
            (opt.MajorSubsystemVersion, opt.MinorSubsystemVersion) != version:
        fault(f"OS/subsystem version differs from {version}")
    if hasattr(pe, "DIRECTORY_ENTRY_IMPORT") or hasattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT"):
        fault("has imports")
    if hasattr(pe, "DIRECTORY_ENTRY_TLS"):
        fault("has thread-local storage")
    exports = [(s.name, s.ordinal) for s in pe.DIRECTORY_ENTRY_EXPORT.symbols]
    if exports != [(b"KbdLayerDescriptor", 1)]:
        fault(f"exports {exports}")

    names = [s.Name.rstrip(b"\0").decode() for s in pe.sections]
    if set(names) - ALLOWED_SECTIONS or names.count(".data") != 1:
        fault(f"sections {names}")
    code_sections = [s for s in pe.sections if s.Characteristics & (SCN_CODE | SCN_EXECUTE)]
    if len(code_sections) != 1 or code_sections[0].Name.rstrip(b"\0") != b".data":
        fault("code and tables are not in one section")
    relocations = getattr(pe, "DIRECTORY_ENTRY_BASERELOC", [])
    if sum(len(block.entries) for block in relocations) < 20:
        fault("no base relocations for the table pointers")

    fixed = pe.VS_FIXEDFILEINFO[0]
    if (fixed.FileOS, fixed.FileType, fixed.FileSubtype) != (0x40004, 2, 3):
        fault("version resource is not that of an NT keyboard driver library")
    strings = version_strings(pe)
    for block in ("040904B0", "041504B0"):
        info = strings.get(block, {})
        if info.get("CompanyName") != "Lipowa Labs" or info.get("OriginalFilename") != "kbdkresk.dll" \
                or info.get("FileVersion") != "1.9.0.0":
            fault(f"version strings of {block}: {info}")
    if string_resource(pe, 1000, LANG_EN) != facts["display_name_en"]:
        fault(f"English string 1000 is {string_resource(pe, 1000, LANG_EN)!r}")
    if string_resource(pe, 1000, LANG_PL) != facts["display_name_pl"]:
        fault(f"Polish string 1000 is {string_resource(pe, 1000, LANG_PL)!r}")

    # Both trees of a 32-bit build share the patchable tables: each lies in the image once.
    image = bytes(pe.__data__)  # the installer patches the file as it is, not a mapped image
    for key in ("scan_table", "e0_table", "e1_table"):
        count = image.count(bytes.fromhex(facts[key]))
        if count != 1:
            fault(f"{key} present {count} times")
    decimal_row = bytes.fromhex("6E00" + facts["decimal_chars"])
    if image.count(decimal_row) != 1:
        fault("decimal key row not present exactly once")
    return len(pe.__data__)


def main():
    out_dir = sys.argv[1]
    with open(os.path.join(out_dir, "gen", "image-facts.json"), encoding="utf-8") as f:
        facts = json.load(f)
    builds = []
    with open(os.path.join(out_dir, "builds.tsv"), encoding="utf-8") as f:
        for line in f:
            variant, set_index, slot, file_name = line.rstrip("\n").split("\t")
            builds.append((int(variant), int(set_index), int(slot), file_name))
    expected = len(facts["variants"]) * len(facts["sets"]) * len(SLOTS)
    if len(builds) != expected:
        print(f"{len(builds)} builds listed, expected {expected}")
        return 1
    faults = []
    total = 0
    for variant, set_index, slot, file_name in builds:
        build_facts = facts["builds"][variant * len(facts["sets"]) + set_index]
        size = check_image(os.path.join(out_dir, file_name), slot, build_facts, faults)
        total += size
        print(f"{file_name}: {size} bytes")
    print(f"{len(builds)} builds, {total} bytes in all")
    for fault in faults:
        print("FAULT", fault)
    print(f"{len(builds) - len({f.split(':')[0] for f in faults})} passed, "
          f"{len({f.split(':')[0] for f in faults})} failed")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
