"""Reads what the Windows tests check in a 64-bit Windows program (PE32+): its link time stamp, its
subsystem and its resources (icons, version information, manifest), from the file's bytes alone.

    python3 pe_resources.py PROGRAM.exe      prints what it found"""
import struct
import sys

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
SUBSYSTEMS = {2: "gui", 3: "console"}


class Program:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not a Windows program (no MZ header)")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE header")
        machine, sections, self.timestamp, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        if magic != 0x20B:
            raise ValueError("not a 64-bit program (optional header magic %#x)" % magic)
        self.subsystem = SUBSYSTEMS.get(struct.unpack_from("<H", data, optional + 68)[0], "other")
        directories = optional + 112
        self.resource_rva, self.resource_size = struct.unpack_from("<II", data, directories + 2 * 8)
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            name, vsize, rva, raw_size, raw_offset = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode(), rva, max(vsize, raw_size), raw_offset))
        self.resources = {}
        if self.resource_rva:
            self._walk(self.offset(self.resource_rva), self.offset(self.resource_rva), [])

    def offset(self, rva):
        for _, start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError("address %#x is in no section" % rva)

    def _walk(self, base, directory, path):
        named, ids = struct.unpack_from("<HH", self.data, directory + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * i)
            key = self._name(base, name)
            if target & 0x80000000:
                self._walk(base, base + (target & 0x7FFFFFFF), path + [key])
            else:
                rva, size = struct.unpack_from("<II", self.data, base + target)
                start = self.offset(rva)
                self.resources[tuple(path + [key])] = self.data[start:start + size]

    def _name(self, base, name):
        if not name & 0x80000000:
            return name
        at = base + (name & 0x7FFFFFFF)
        length = struct.unpack_from("<H", self.data, at)[0]
        return self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")

    def resource(self, kind, name=None):
        """The bytes of the first resource of this kind (and name), whatever its language; None if none."""
        for key, value in sorted(self.resources.items(), key=lambda kv: str(kv[0])):
            if key[0] == kind and (name is None or key[1] == name):
                return value
        return None

    def icons(self):
        """The pictures of the first icon group: [(width, height, bits, bytes of the picture)]."""
        group = self.resource(RT_GROUP_ICON)
        if group is None:
            return []
        _, kind, count = struct.unpack_from("<HHH", group, 0)
        assert kind == 1, "an icon group of kind %d" % kind
        pictures = []
        for i in range(count):
            width, height, _, _, _, bits, size, ident = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
            picture = self.resource(RT_ICON, ident)
            assert picture is not None and len(picture) == size, "icon %d missing or of another size" % ident
            pictures.append((width or 256, height or 256, bits, picture))
        return pictures

    def version(self):
        """(the fixed file version as a tuple of four numbers, {string name: value})."""
        block = self.resource(RT_VERSION)
        if block is None:
            return None, {}
        root = parse_version_block(block, 0)
        key, value, children = root
        assert key == "VS_VERSION_INFO", key
        signature, _, ms, ls = struct.unpack_from("<IIII", value, 0)
        assert signature == 0xFEEF04BD, hex(signature)
        strings = {}

        def collect(node):
            key, value, children = node
            if isinstance(value, str):
                strings[key] = value
            for child in children:
                collect(child)
        for child in children:
            collect(child)
        return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF), strings

    def manifest(self):
        data = self.resource(RT_MANIFEST, 1)
        return data.decode("utf-8") if data is not None else None


def align4(n):
    return (n + 3) & ~3


def parse_version_block(data, at):
    """One node of version information: (key, value: bytes, text or None, [children])."""
    length, value_length, kind = struct.unpack_from("<HHH", data, at)
    end = at + length
    key_at = at + 6
    key_end = key_at
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[key_at:key_end].decode("utf-16-le")
    at = align4(key_end + 2)
    value = None
    if value_length:
        if kind == 1:  # text, its length in characters with the terminating zero
            value = data[at:at + 2 * value_length].decode("utf-16-le").rstrip("\0")
            at = align4(at + 2 * value_length)
        else:
            value = data[at:at + value_length]
            at = align4(at + value_length)
    elif kind == 1:
        value = ""
    children = []
    while at < end:
        child = parse_version_block(data, at)
        children.append(child[:3])
        at = align4(at + struct.unpack_from("<H", data, at)[0])
    return key, value, children


def read(path):
    with open(path, "rb") as f:
        return Program(f.read())


if __name__ == "__main__":
    program = read(sys.argv[1])
    print("time stamp:", program.timestamp, " subsystem:", program.subsystem)
    print("icons:", [(w, h, bits, len(p)) for w, h, bits, p in program.icons()])
    print("version:", program.version())
    print(program.manifest())
