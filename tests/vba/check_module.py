#!/usr/bin/python3
"""Checks vba/Pelkart.bas against the built Pelkart.dll and the exports'
declarations: a Declare that does not match is runtime error 453 ("Can't find
DLL entry point") or 49 ("Bad DLL calling convention") in a user's workbook,
and a wrapper buffer that is too small is a crashed Excel.

The module declares every function twice, in `#If VBA7 Then` (PtrSafe, for
Office 2010 and later, 32- and 64-bit) and in `#Else` (no PtrSafe, for VB6
and earlier VBA): each list is checked on its own, and the two must agree.

    check_module.py <Pelkart.dll> [<Pelkart.bas>]
"""
import pathlib
import re
import sys
import unittest

import pefile

ROOT = pathlib.Path(__file__).resolve().parents[2]
HEADER = ROOT / "src/exports/pelkart.h"

# The least each output buffer must hold, terminator included.
MINIMUM_SIZE = {
    ("FelicaIDm", "idmText"): 17, ("FelicaIDm", "pmmText"): 17,
    ("GetFelicaIDm", "idmText"): 17, ("GetFelicaIDm", "pmmText"): 17,
    ("FelicaSuicaBalance", "blockText"): 33, ("FelicaSuicaBalance", "idmText"): 17,
    ("FelicaSuicaKaisatsu", "blockText"): 97, ("FelicaSuicaKaisatsu", "idmText"): 17,
    ("FelicaSuicaRecord", "blockText"): 33, ("FelicaSuicaRecord", "idmText"): 17,
    ("GetSuicaRecord", "blockText"): 33, ("GetSuicaRecord", "idmText"): 17,
    ("FelicaSuicaRecordAll", "blockText"): 641, ("FelicaSuicaRecordAll", "idmText"): 17,
    ("FelicaSuicaRecordAll_01", "blockText"): 641, ("FelicaSuicaRecordAll_01", "idmText"): 17,
    ("GetSuicaRecordAll", "blockText"): 641, ("GetSuicaRecordAll", "idmText"): 17,
}

C_TYPES = {"char*": "String", "int32_t": "Long"}


def exports_of_header(text):
    """name -> [(C type, parameter name)] of every PELKART_API function."""
    functions = {}
    for name, params in re.findall(r"PELKART_API\s+(\w+)\(([^)]*)\)", text):
        params = " ".join(params.split())
        parsed = []
        if params != "void":
            for param in params.split(","):
                m = re.fullmatch(r"\s*(char\s*\*|int32_t)\s*(\w+)\s*", param)
                parsed.append((m.group(1).replace(" ", ""), m.group(2)))
        functions[name] = parsed
    return functions


DECLARE = re.compile(
    r'^\s*(Public\s+|Private\s+)?Declare\s+(PtrSafe\s+)?Function\s+(\w+)\s+Lib\s+"([^"]+)"'
    r'\s*(?:Alias\s+"([^"]+)"\s*)?\(([^)]*)\)\s*As\s+(\w+)\s*$', re.IGNORECASE | re.MULTILINE)
PARAM = re.compile(r"\s*(ByVal\s+|ByRef\s+)?(\w+)\s+As\s+(\w+)\s*", re.IGNORECASE)


def declares_of_module(text):
    """name -> dict(scope, ptrsafe, lib, entry, params [(passing, name, type)], result)."""
    declares = {}
    for scope, ptrsafe, name, lib, alias, params, result in DECLARE.findall(text):
        parsed = []
        for param in filter(str.strip, params.split(",")):
            m = PARAM.fullmatch(param)
            passing = (m.group(1) or "ByRef").strip() if m else "?"
            parsed.append((passing, m.group(2), m.group(3)) if m else ("?", param.strip(), "?"))
        declares[name] = dict(scope=(scope.strip() or "Public").lower(), ptrsafe=bool(ptrsafe),
                              lib=lib, entry=alias or name, params=parsed, result=result)
    return declares


BRANCHES = re.compile(r"^[ \t]*#If[ \t]+VBA7[ \t]+Then[ \t]*\r?$(.*?)^[ \t]*#Else[ \t]*\r?$(.*?)"
                      r"^[ \t]*#End[ \t]*If[ \t]*\r?$", re.IGNORECASE | re.MULTILINE | re.DOTALL)


def declare_branches(text):
    """(VBA7 branch, #Else branch, the text outside them), or None without the #If."""
    m = BRANCHES.search(text)
    if m is None:
        return None
    return m.group(1), m.group(2), text[:m.start()] + text[m.end():]


def constants_of_module(text):
    return {n: int(v) for n, v in re.findall(
        r"^\s*(?:Public\s+|Private\s+)?Const\s+(\w+)\s+As\s+Long\s*=\s*(-?\d+)", text, re.M)}


def evaluate(expression, constants):
    """An integer expression of constants, numbers, + - * and parentheses."""
    words = re.sub(r"[A-Za-z_]\w*", lambda m: str(constants[m.group(0)]), expression)
    if not re.fullmatch(r"[\d\s+\-*()]+", words):
        raise ValueError(expression)
    return eval(words)  # digits and operators only


def wrappers_of_module(text):
    return re.findall(r"^\s*Public\s+Function\s+(\w+)\b.*?$(.*?)^\s*End\s+Function",
                      text, re.IGNORECASE | re.MULTILINE | re.DOTALL)


def declare_problems(declares, header, dll_exports):
    """Each Declare of one list against the exports and the DLL."""
    found = []
    for name in sorted(set(header) - set(declares)):
        found.append(f"{name}: no Declare")
    for name, d in declares.items():
        if d["lib"].lower() != "pelkart.dll":
            found.append(f"{name}: Lib \"{d['lib']}\", not \"Pelkart.dll\"")
        if d["entry"] not in dll_exports:
            found.append(f"{name}: \"{d['entry']}\" is no export of Pelkart.dll (error 453)")
        expected = header.get(d["entry"])
        if expected is None:
            found.append(f"{name}: not among the exported functions")
            continue
        if len(d["params"]) != len(expected):
            found.append(f"{name}: {len(d['params'])} arguments, the export takes {len(expected)} (error 49)")
            continue
        for (passing, pname, ptype), (ctype, cname) in zip(d["params"], expected):
            if pname != cname:
                found.append(f"{name}: argument {pname} where the export has {cname}")
            if passing.lower() != "byval" or ptype.lower() != C_TYPES[ctype].lower():
                found.append(f"{name}: {pname} is {passing} {ptype}, must be ByVal {C_TYPES[ctype]}")
        if d["result"].lower() != "long":
            found.append(f"{name}: result As {d['result']}, must be As Long")
    return found


def comparable(d):
    """A Declare as VBA sees it: names and keywords in any case."""
    return (d["scope"], d["lib"].lower(), d["entry"],
            [(p.lower(), n.lower(), t.lower()) for p, n, t in d["params"]], d["result"].lower())


def problems(module_text, header_text, dll_exports):
    """Every mismatch between the module, the exports and the DLL, as text."""
    found = []
    header = exports_of_header(header_text)
    constants = constants_of_module(module_text)

    branches = declare_branches(module_text)
    if branches is None:
        found.append("no #If VBA7 Then ... #Else ... #End If around the Declares")
        declares = declares_of_module(module_text)
    else:
        vba7_text, else_text, outside = branches
        vba7, other = declares_of_module(vba7_text), declares_of_module(else_text)
        for name in declares_of_module(outside):
            found.append(f"{name}: declared outside #If VBA7 (64-bit Office wants PtrSafe, VB6 refuses it)")
        for branch, declares, ptrsafe in (("#If VBA7", vba7, True), ("#Else", other, False)):
            found += [f"{branch}: {f}" for f in declare_problems(declares, header, dll_exports)]
            for name, d in declares.items():
                if d["ptrsafe"] != ptrsafe:
                    found.append(f"{branch}: {name} " + ("without PtrSafe (64-bit Office does not compile it)"
                                                         if ptrsafe else "with PtrSafe (VB6 does not compile it)"))
        for name in sorted(set(vba7) | set(other)):
            if name not in vba7 or name not in other or comparable(vba7[name]) != comparable(other[name]):
                found.append(f"{name}: the #If VBA7 and #Else branches declare it differently")
        declares = vba7

    called = set()
    for wrapper, body in wrappers_of_module(module_text):
        sizes = {}
        for var, expression in re.findall(r"^\s*(\w+)\s*=\s*String\$\((.+),\s*vbNullChar\)\s*$", body, re.M):
            try:
                sizes[var] = evaluate(expression, constants)
            except (KeyError, ValueError):
                found.append(f"{wrapper}: cannot size {var} = String$({expression}, ...)")
        for name, args in re.findall(r"\b(\w+)\(([^()]*)\)", body):
            if name not in declares or declares[name]["entry"] not in header:
                continue
            called.add(declares[name]["entry"])
            params = header[declares[name]["entry"]]
            args = [a.strip() for a in args.split(",")] if args.strip() else []
            for arg, (ctype, cname) in zip(args, params):
                if ctype != "char*":
                    continue
                need = MINIMUM_SIZE[(declares[name]["entry"], cname)]
                have = sizes.get(arg)
                if have is None:
                    found.append(f"{wrapper}: {arg} passed as {cname} of {name} without String$(n, vbNullChar)")
                elif have < need:
                    found.append(f"{wrapper}: {arg} holds {have} bytes, {name} writes up to {need} into {cname}")
    for name in sorted(n for n, params in header.items() if any(t == "char*" for t, _ in params)):
        if name not in called:
            found.append(f"{name}: no wrapper calls it")
    return found


class DeclaresMatchTheDll(unittest.TestCase):
    module = None
    dll = None

    def test_module_declares_every_export_as_it_is_and_sizes_every_buffer(self):
        pe = pefile.PE(str(self.dll))
        exports = {s.name.decode() for s in pe.DIRECTORY_ENTRY_EXPORT.symbols}
        found = problems(self.module.read_text(), HEADER.read_text(), exports)
        self.assertEqual(found, [])

    def test_the_check_catches_each_kind_of_mistake(self):
        good = self.module.read_text()
        header = HEADER.read_text()
        exports = {n for n in exports_of_header(header)}
        self.assertEqual(problems(good, header, exports), [])
        mistakes = {
            "error 453": ('Function FelicaRWOpen Lib "Pelkart.dll"', 'Function FelicaRWOpn Lib "Pelkart.dll"'),
            "arguments, the export takes": ("(ByVal idmText As String, ByVal pmmText As String) As Long",
                                            "(ByVal idmText As String) As Long"),
            "where the export has": ("FelicaSuicaBalance Lib \"Pelkart.dll\" (ByVal blockText As String, ByVal idmText",
                                     "FelicaSuicaBalance Lib \"Pelkart.dll\" (ByVal idmText As String, ByVal blockText"),
            "must be ByVal String": ("(ByVal idmText As String, ByVal pmmText As String) As Long",
                                     "(idmText As String, ByVal pmmText As String) As Long"),
            "must be ByVal Long": ("ByVal blockNumber As Long, ByVal idmText", "ByVal blockNumber As Integer, ByVal idmText"),
            "bytes, FelicaSuicaKaisatsu writes up to 97": ("String$(PELKART_GATE_CHARS + 1,", "String$(PELKART_BLOCK_CHARS + 1,"),
            "no Declare": ("Public Declare Function DLLVersion Lib \"Pelkart.dll\" () As Long", ""),
            # The same Declare must hold in either branch, and each branch as its host wants it.
            "#Else: FelicaSuicaRecord: blockNumber is ByVal Integer, must be ByVal Long": (
                "Declare Function FelicaSuicaRecord Lib \"Pelkart.dll\" (ByVal blockText As String, ByVal blockNumber As Long",
                "Declare Function FelicaSuicaRecord Lib \"Pelkart.dll\" (ByVal blockText As String, ByVal blockNumber As Integer"),
            "FelicaIDm: the #If VBA7 and #Else branches declare it differently": (
                "Public Declare Function FelicaIDm Lib", "Private Declare Function FelicaIDm Lib"),
            "#If VBA7: FelicaRWClose without PtrSafe": (
                "Declare PtrSafe Function FelicaRWClose Lib", "Declare Function FelicaRWClose Lib"),
            "#Else: GetSuicaRecordAll with PtrSafe": (
                "Declare Function GetSuicaRecordAll Lib", "Declare PtrSafe Function GetSuicaRecordAll Lib"),
            "DLLVersion: declared outside #If VBA7": (
                "#If VBA7 Then", "Public Declare Function DLLVersion Lib \"Pelkart.dll\" () As Long\n#If VBA7 Then"),
        }
        for what, (old, new) in mistakes.items():
            with self.subTest(what):
                self.assertIn(old, good)
                found = problems(good.replace(old, new, 1), header, exports)
                self.assertTrue(any(what in f for f in found), found)


if __name__ == "__main__":
    DeclaresMatchTheDll.dll = pathlib.Path(sys.argv.pop(1))
    DeclaresMatchTheDll.module = pathlib.Path(sys.argv.pop(1) if len(sys.argv) > 1 else ROOT / "vba/Pelkart.bas")
    unittest.main(verbosity=2)
