#!/usr/bin/python3
"""Structure checks of the built Pelkart.dll: what a Windows loader and a VB
Declare see of it. Expected names come from the module-definition files.

    check_pe.py [<Pelkart.dll> [x86|x64]]     (default: dist/x86/Pelkart.dll, x86)
"""
import pathlib
import re
import subprocess
import sys
import unittest

import pefile

ROOT = pathlib.Path(__file__).resolve().parents[2]
DLL = pathlib.Path(sys.argv.pop(1) if len(sys.argv) > 1 else ROOT / "dist/x86/Pelkart.dll")
ARCH = sys.argv.pop(1) if len(sys.argv) > 1 else "x86"

# What sets the two images apart; everything else is checked alike.
ARCHES = {
    "x86": dict(machine="IMAGE_FILE_MACHINE_I386", magic=pefile.OPTIONAL_HEADER_MAGIC_PE,
                exports_def="src/exports/Pelkart.def"),
    "x64": dict(machine="IMAGE_FILE_MACHINE_AMD64", magic=pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS,
                exports_def="src/exports/Pelkart-x64.def"),
}
EXPECT = ARCHES[ARCH]
OBJDUMP = "/usr/lib/llvm-16/bin/llvm-objdump"


def frameless_body(dll, address):
    """The jump targets of the function at address if it makes no frame and
    calls nothing before its ret or jmp, else None (llvm-objdump 16)."""
    out = subprocess.run([OBJDUMP, "-d", "--no-show-raw-insn", f"--start-address={address:#x}",
                          f"--stop-address={address + 64:#x}", str(dll)],
                         capture_output=True, text=True, check=True).stdout
    targets = []
    for line in out.splitlines():
        m = re.match(r"\s*[0-9a-f]+:\s+(\w+)\s*(.*)", line)
        if not m:
            continue
        op, args = m.groups()
        if op.startswith("call") or op.startswith("push") or (op.startswith("sub") and "%rsp" in args):
            return None
        if op.startswith("ret"):
            return targets
        if op == "jmp":
            target = re.match(r"0x([0-9a-f]+)", args)
            if target is None:
                return None
            targets.append(int(target.group(1), 16))
            return targets
    return None


def def_entries(path):
    """(name, ordinal or None) for each line under EXPORTS of a .def file."""
    entries, in_exports = [], False
    for line in pathlib.Path(path).read_text().splitlines():
        line = line.split(";")[0].strip()
        if not line:
            continue
        if line.upper() == "EXPORTS":
            in_exports = True
            continue
        if in_exports:
            m = re.fullmatch(r"(\S+)(?:\s+@(\d+))?", line)
            entries.append((m.group(1), int(m.group(2)) if m.group(2) else None))
    return entries


class PelkartImage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = pefile.PE(str(DLL))

    def test_machine_and_format_are_the_archs_dll(self):
        fh = self.pe.FILE_HEADER
        self.assertEqual(fh.Machine, pefile.MACHINE_TYPE[EXPECT["machine"]])
        self.assertEqual(self.pe.OPTIONAL_HEADER.Magic, EXPECT["magic"])
        self.assertTrue(fh.Characteristics & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_DLL"])

    def test_exports_fifteen_names_at_ordinals_one_to_fifteen(self):
        exports = self.pe.DIRECTORY_ENTRY_EXPORT
        self.assertEqual(exports.struct.Base, 1)
        self.assertEqual(exports.struct.NumberOfFunctions, 15)
        self.assertEqual(exports.name, b"Pelkart.dll")
        expected = def_entries(ROOT / EXPECT["exports_def"])
        actual = [(s.name.decode(), s.ordinal) for s in exports.symbols]
        self.assertEqual(sorted(actual, key=lambda e: e[1]), expected)
        self.assertEqual([n for n, _ in expected], sorted(n for n, _ in expected),
                         "ordinals follow the byte order of the names")
        self.assertEqual([o for _, o in expected], list(range(1, 16)))

    def test_both_archs_export_the_same_functions_at_the_same_ordinals(self):
        # Only the decorated names of the two CPelkart members may differ.
        x86, x64 = (def_entries(ROOT / a["exports_def"]) for a in ARCHES.values())
        self.assertEqual([o for _, o in x86], [o for _, o in x64])
        plain = lambda entries: [e for e in entries if not e[0].startswith("?")]
        self.assertEqual(plain(x86), plain(x64))
        self.assertEqual(len(plain(x86)), 13)

    def test_every_export_is_code(self):
        text = next(s for s in self.pe.sections if s.Name.rstrip(b"\0") == b".text")
        for symbol in self.pe.DIRECTORY_ENTRY_EXPORT.symbols:
            self.assertIsNone(symbol.forwarder)
            self.assertTrue(text.contains_rva(symbol.address), symbol.name)

    def test_imports_only_the_reader_library_operations(self):
        imports = {e.dll.decode().lower(): [i.name.decode() for i in e.imports]
                   for e in self.pe.DIRECTORY_ENTRY_IMPORT}
        expected = sorted(n for n, _ in def_entries(ROOT / "src/reader/felica.def"))
        self.assertEqual(list(imports), ["felica.dll"])
        self.assertEqual(sorted(imports["felica.dll"]), expected)
        self.assertFalse(hasattr(self.pe, "DIRECTORY_ENTRY_DELAY_IMPORT"))

    def test_hardening_flags_and_sections(self):
        flags = self.pe.OPTIONAL_HEADER.DllCharacteristics
        chars = pefile.DLL_CHARACTERISTICS
        self.assertTrue(flags & chars["IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE"])
        self.assertTrue(flags & chars["IMAGE_DLLCHARACTERISTICS_NX_COMPAT"])
        if ARCH == "x86":
            # Exception handlers on x86 are registered at run time: SafeSEH
            # (or NO_SEH) lets Windows refuse a handler the image does not list.
            load_config = getattr(self.pe, "DIRECTORY_ENTRY_LOAD_CONFIG", None)
            has_safeseh = load_config is not None and load_config.struct.SEHandlerTable != 0
            self.assertTrue(flags & chars["IMAGE_DLLCHARACTERISTICS_NO_SEH"] or has_safeseh)
        else:
            self.assertTrue(flags & chars["IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA"])
        write = pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_WRITE"]
        execute = pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_EXECUTE"]
        for s in self.pe.sections:
            self.assertFalse(s.Characteristics & write and s.Characteristics & execute, s.Name)

    @unittest.skipUnless(ARCH == "x64", "x86 unwinds without tables")
    def test_every_function_with_a_frame_has_unwind_data(self):
        # On x64 Windows finds a function's frame from the exception table
        # alone: an exception or a stack walk through a function that is not
        # listed goes astray. A function may go without only if it makes no
        # frame and calls nothing (DLLVersion, the CPelkart members, and an
        # export that only jumps on to a routine, which must be listed).
        functions = [(f.struct.BeginAddress, f.struct.EndAddress)
                     for f in getattr(self.pe, "DIRECTORY_ENTRY_EXCEPTION", [])]
        text = next(s for s in self.pe.sections if s.Name.rstrip(b"\0") == b".text")
        for begin, end in functions:
            self.assertTrue(text.contains_rva(begin) and begin < end <= text.VirtualAddress + text.Misc_VirtualSize)

        def listed(rva):
            return any(b <= rva < e for b, e in functions)

        base = self.pe.OPTIONAL_HEADER.ImageBase
        for symbol in self.pe.DIRECTORY_ENTRY_EXPORT.symbols:
            with self.subTest(symbol.name.decode()):
                if listed(symbol.address):
                    continue
                body = frameless_body(DLL, base + symbol.address)
                self.assertIsNotNone(body, "makes a frame or calls, but has no unwind data")
                for target in body:
                    self.assertTrue(listed(target - base), f"jumps to {target:#x}, which has no unwind data")

    def test_version_record(self):
        entries = self.pe.DIRECTORY_ENTRY_RESOURCE.entries
        version = next(e for e in entries if e.id == pefile.RESOURCE_TYPE["RT_VERSION"])
        self.assertEqual([e.id for e in version.directory.entries], [1])
        languages = version.directory.entries[0].directory.entries
        self.assertEqual([e.id for e in languages], [0x0411])

        fixed = self.pe.VS_FIXEDFILEINFO[0]
        self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS), (0x00010000, 0x00000001))
        self.assertEqual((fixed.ProductVersionMS, fixed.ProductVersionLS), (0x00010000, 0x00000001))
        self.assertEqual((fixed.FileFlagsMask, fixed.FileFlags), (0x17, 0))
        self.assertEqual((fixed.FileOS, fixed.FileType, fixed.FileSubtype), (4, 2, 0))
        self.assertEqual((fixed.FileDateMS, fixed.FileDateLS), (0, 0))

        tables = [t for info in self.pe.FileInfo[0] if info.Key == b"StringFileInfo"
                  for t in info.StringTable]
        self.assertEqual([t.LangID for t in tables], [b"041104b0"])
        strings = {k.decode(): v.decode() for k, v in tables[0].entries.items()}
        description = "Read Felica IDm and SFCard(Suica etc.) for VB and VBA"
        for key, value in {"Comments": description, "FileDescription": description,
                           "FileVersion": "1, 0, 0, 1", "ProductName": "Pelkart",
                           "ProductVersion": "1, 0, 0, 1"}.items():
            self.assertEqual(strings.get(key), value, key)
        translations = [v for info in self.pe.FileInfo[0] if info.Key == b"VarFileInfo"
                        for var in info.Var for v in var.entry.values()]
        self.assertEqual(translations, ["0x0411 0x04b0"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
