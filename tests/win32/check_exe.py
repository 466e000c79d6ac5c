#!/usr/bin/env python3
"""Checks the built Bemvara.exe itself, not its sources: the icon group and
its images, the version record, the manifest, and that it imports only DLLs
that every Windows has.

    check_exe.py PATH/TO/Bemvara.exe
"""
import re
import struct
import sys
from pathlib import Path

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "msvcrt.dll", "advapi32.dll",
               "shell32.dll", "ole32.dll"}
EXPECTED_ICONS = sorted([(size, bits) for size in (16, 24, 32, 48) for bits in (4, 8, 32)] + [(128, 32), (256, 32)])
# The project's one version number, and the record's strings as the
# program has always shown it: 1.0.0 is "1.00".
VERSION = [int(part) for part in re.search(r"project\(Bemvara VERSION (\d+)\.(\d+)\.(\d+)",
                                             (Path(__file__).parents[2] / "CMakeLists.txt").read_text()).groups()]
RECORD = f"{VERSION[0]}.{VERSION[1]:02d}"
EXPECTED_STRINGS = {
    "FileVersion": RECORD, "ProductVersion": RECORD, "ProductName": "Bemvara",
    "InternalName": "Bemvara", "OriginalFilename": "Bemvara.exe",
}


class PeFile:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        sections, self.link_time, optional_size = struct.unpack_from("<HI8xH", data, pe + 6)
        optional = pe + 24
        if struct.unpack_from("<H", data, optional)[0] != 0x20B:
            raise ValueError("not a 64-bit program")
        self.directories = [struct.unpack_from("<II", data, optional + 112 + 8 * i) for i in range(16)]
        self.sections = []
        for i in range(sections):
            start = optional + optional_size + 40 * i
            virtual_size, address, raw_size, raw_pointer = struct.unpack_from("<IIII", data, start + 8)
            self.sections.append((address, max(virtual_size, raw_size), raw_pointer))

    def offset(self, rva):
        for address, size, raw_pointer in self.sections:
            if address <= rva < address + size:
                return rva - address + raw_pointer
        raise ValueError(f"address {rva:#x} is in no section")

    def string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        rva, _ = self.directories[1]
        names, at = [], self.offset(rva)
        while True:
            descriptor = struct.unpack_from("<IIIII", self.data, at)
            if not any(descriptor):
                return names
            names.append(self.string(descriptor[3]))
            at += 20

    def resources(self):
        """{(type, name, language): bytes}"""
        rva, _ = self.directories[2]
        base = self.offset(rva)
        found = {}

        def walk(directory, path):
            named, numbered = struct.unpack_from("<HH", self.data, directory + 12)
            for i in range(named + numbered):
                key, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * i)
                if target & 0x80000000:
                    walk(base + (target & 0x7FFFFFFF), path + (key,))
                else:
                    data_rva, size = struct.unpack_from("<II", self.data, base + target)
                    start = self.offset(data_rva)
                    found[path + (key,)] = self.data[start:start + size]

        walk(base, ())
        return found


def icon_image(data):
    """(size, bits) of one RT_ICON image, read from the image itself."""
    if data[:8] == b"\x89PNG\r\n\x1a\n":
        width, height, depth, colour = struct.unpack_from(">IIBB", data, 16)
        channels = {6: 4, 2: 3, 0: 1, 4: 2, 3: 1}[colour]
        return width, depth * channels
    _, width, double_height, _, bits = struct.unpack_from("<IiiHH", data, 0)
    assert double_height == 2 * width, "an icon DIB is twice as high as wide (image and mask)"
    return width, bits


def version_nodes(data, at=0):
    """Parses one VS_VERSIONINFO-style node: (key, value bytes, children)."""
    length, value_length, kind = struct.unpack_from("<HHH", data, at)
    end = at + length
    key_end = at + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[at + 6:key_end].decode("utf-16-le")
    value_at = (key_end + 2 + 3) & ~3
    value_size = value_length * 2 if kind == 1 else value_length
    value = data[value_at:value_at + value_size]
    children, child = [], (value_at + value_size + 3) & ~3
    while child < end:
        node = version_nodes(data, child)
        children.append(node)
        child = (child + struct.unpack_from("<H", data, child)[0] + 3) & ~3
    return key, value, children


def main(path):
    failures, passes = [], []

    def check(condition, what, detail=""):
        print(("ok - " if condition else "not ok - ") + what + (f": {detail}" if detail else ""))
        (passes if condition else failures).append(what)

    data = open(path, "rb").read()
    pe = PeFile(data)
    print(f"# {path}: {len(data)} bytes")

    # Two builds of one commit are then the same bytes, as a download is checked.
    check(pe.link_time == 0, "no link time stamped in the file", f"{pe.link_time:#x}")

    imports = pe.imports()
    strangers = [name for name in imports if name.lower() not in SYSTEM_DLLS]
    check(imports and not strangers, "imports only Windows system DLLs", ", ".join(imports))

    resources = pe.resources()
    groups = [(key, value) for key, value in resources.items() if key[0] == RT_GROUP_ICON]
    check(len(groups) == 1, "one icon group", str(len(groups)))
    if groups:
        group = groups[0][1]
        count = struct.unpack_from("<H", group, 4)[0]
        declared, actual = [], []
        for i in range(count):
            width, _, _, _, _, bits, _, icon_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
            declared.append((width or 256, bits))
            image = [value for key, value in resources.items() if key[0] == RT_ICON and key[1] == icon_id]
            actual.append(icon_image(image[0]) if image else None)
        check(sorted(declared) == EXPECTED_ICONS, "the icon group lists 14 images of the right sizes and depths",
              str(sorted(declared)))
        check(sorted(a for a in actual if a) == EXPECTED_ICONS and None not in actual,
              "each image is what the group says it is", str(actual))

    versions = [value for key, value in resources.items() if key[0] == RT_VERSION]
    check(len(versions) == 1, "one version record")
    if versions:
        key, fixed, children = version_nodes(versions[0])
        signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIIIII", fixed)
        check(key == "VS_VERSION_INFO" and signature == 0xFEEF04BD, "the record is well formed")
        numbers = (VERSION[0] << 16 | VERSION[1], VERSION[2] << 16)
        check((file_ms, file_ls) == numbers and (product_ms, product_ls) == numbers,
              f"file and product version {'.'.join(map(str, VERSION))}.0")
        tables = {table_key: {k: v.decode("utf-16-le").rstrip("\0") for k, v, _ in strings}
                  for child_key, _, child_children in children if child_key == "StringFileInfo"
                  for table_key, _, strings in child_children}
        check(list(tables) == ["080404B0"], "strings for Chinese (PRC), Unicode", str(list(tables)))
        strings = tables.get("080404B0", {})
        for name, expected in EXPECTED_STRINGS.items():
            check(strings.get(name) == expected, f"{name} is {expected}", str(strings.get(name)))
        check(bool(strings.get("CompanyName")), "a CompanyName", str(strings.get("CompanyName")))
        check(re.fullmatch(r"构建 ([0-9a-f]{12,40}(-dirty)?|source)", strings.get("Comments", "")) is not None,
              "the Comments name the build", str(strings.get("Comments")))
        check("©" in strings.get("LegalCopyright", ""), "a LegalCopyright", str(strings.get("LegalCopyright")))
        translations = [value for child_key, _, child_children in children if child_key == "VarFileInfo"
                        for var_key, value, _ in child_children if var_key == "Translation"]
        check(translations == [struct.pack("<HH", 0x0804, 0x04B0)], "translation 0804, 04B0")

    manifests = [value.decode("utf-8") for key, value in resources.items() if key[0] == RT_MANIFEST]
    check(len(manifests) == 1 and f'version="{".".join(map(str, VERSION))}.0"' in manifests[0],
          "the manifest names the version")
    check(len(manifests) == 1 and "PerMonitorV2" in manifests[0]
          and "Microsoft.Windows.Common-Controls" in manifests[0],
          "the manifest asks for per-monitor DPI (v2) and Common Controls 6")

    check(len(data) < 500 * 1024, "the program is under 500 KB", f"{len(data) // 1024} KB")
    print(f"{len(passes)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
