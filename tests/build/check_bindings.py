#!/usr/bin/env python3
# The Python and .NET bindings declare the library's C functions by hand, and a
# wrong declaration corrupts memory without a word. This reads every
# TANDREL_API function and callback typedef of the header and checks that both
# bindings declare each function, no other, with argument and return types the
# C types pass through unchanged.
#     check_bindings.py HEADER NATIVE_PY NATIVE_CS
#     check_bindings.py --planted TABLE HEADER NATIVE_PY NATIVE_CS
# The second form applies each row of TABLE (edits to copies of the three
# files) and checks that the checker reports what the row expects, so that a
# checker that lets a fault through fails too.
import ctypes as C
import json
import os
import re
import runpy
import sys
import tempfile

# Scalars by C spelling: the ctypes type and the C# types that match it.
SCALARS = {
    "int": (C.c_int, {"int", "Int32"}),
    "unsigned int": (C.c_uint, {"uint", "UInt32"}),
    "int64_t": (C.c_int64, {"long", "Int64"}),
    "double": (C.c_double, {"double", "Double"}),
    "size_t": (C.c_size_t, {"UIntPtr", "nuint"}),
}
# Pointers by C spelling; an opaque handle (`typedef struct X X;`, passed as X*)
# and a callback type are told by the header.
POINTERS = {"const char*": "text", "char*": "buffer", "void*": "pointer", "const void*": "pointer"}
# What each kind of C type may be declared as: ctypes types, C# types as an
# argument, C# types as a result. A returned const char* stays IntPtr: the
# marshaller would free a string the library owns. A handle is an address,
# whatever the library keeps behind it.
KINDS = {
    "void": ({None}, set(), {"void"}),
    "text": ({C.c_char_p}, {"string", "IntPtr", "byte[]"}, {"IntPtr"}),
    "buffer": ({C.c_char_p, C.POINTER(C.c_char)}, {"byte[]", "StringBuilder", "IntPtr"}, set()),
    "pointer": ({C.c_void_p}, {"IntPtr"}, {"IntPtr"}),
    "handle": ({C.c_void_p}, {"IntPtr"}, {"IntPtr"}),
}
KINDS.update({c: ({py}, cs, cs) for c, (py, cs) in SCALARS.items()})
# Strings marshalled as UTF-16 would hand the library wide characters.
WIDE = re.compile(r"UnmanagedType\.(LPWStr|LPTStr|BStr)|CharSet\s*=\s*CharSet\.(Unicode|Auto)")
C_DECLARATION = r"\s*\(([^)]*)\)\s*;"


# (type, name) of a C declaration such as 'const char *host', the type as 'const char*'.
def c_type(text):
    tokens = re.findall(r"\w+|\*", text)
    name = tokens.pop() if len(tokens) > 1 and tokens[-1] != "*" else ""
    return re.sub(r" \*", "*", " ".join(tokens)), name


def c_params(args):
    params = [c_type(a) for a in args.split(",") if a.strip()]
    return [] if params == [("void", "")] else params


# ({function: (result, [(type, name)])}, {callback: the same}, opaque type names),
# comments and preprocessor lines left out.
def read_header(path):
    text = re.sub(r"/\*.*?\*/|//[^\n]*", " ", open(path).read(), flags=re.S)
    text = re.sub(r"^[ \t]*#(?:[^\n]*\\\n)*[^\n]*", " ", text, flags=re.M)
    found = [{m[2]: (c_type(m[1])[0], c_params(m[3])) for m in re.finditer(pattern, text)}
             for pattern in (r"TANDREL_API\s+([^;()]+?)\s*TANDREL_CALL\s+(\w+)" + C_DECLARATION,
                             r"typedef\s+([^;()]+?)\s*\(\s*TANDREL_CALL\s*\*\s*(\w+)\s*\)" + C_DECLARATION)]
    opaque = set(re.findall(r"typedef\s+struct\s+\w+\s+(\w+)\s*;|\bstruct\s+(\w+)\s*[;*]", text))
    declared = len(re.findall(r"\bTANDREL_API\b", text))
    if declared != len(found[0]) or not declared:
        raise ValueError(f"{os.path.basename(path)}: {declared} TANDREL_API declarations, "
                         f"{len(found[0])} read")
    return found[0], found[1], {name for pair in opaque for name in pair if name}


def kind_of(ctype, header):
    bare = re.sub(r"^(const |struct )+", "", ctype)
    if bare in header[1]:
        return "callback"
    if bare.endswith("*") and bare[:-1] in header[2]:
        return "handle"
    if ctype in POINTERS:
        return POINTERS[ctype]
    if bare in SCALARS or bare == "void":
        return bare
    raise LookupError(f"no mapping for the C type '{ctype}': add it to SCALARS or KINDS")


def callback(ctype, header):
    return header[1][re.sub(r"^const ", "", ctype)]


# --- Python: the module's _PROTOTYPES, as ctypes objects -------------------------------

def py_name(t):
    if isinstance(t, type) and issubclass(t, C._CFuncPtr):
        return "CFUNCTYPE(%s)" % ", ".join(py_name(a) for a in (t._restype_, *t._argtypes_))
    return "None" if t is None else t.__name__


def py_matches(t, ctype, _result, header):
    kind = kind_of(ctype, header)
    if kind != "callback":
        return t in KINDS[kind][0]
    result, params = callback(ctype, header)
    return (isinstance(t, type) and issubclass(t, C._CFuncPtr)
            and t._flags_ & C._FUNCFLAG_CDECL and len(t._argtypes_) == len(params)
            and py_matches(t._restype_, result, True, header)
            and all(py_matches(a, p, False, header) for a, (p, _) in zip(t._argtypes_, params)))


def read_python(path):
    # The prototypes are the module's own table, read by running its code.
    prototypes = runpy.run_path(path, run_name="checked_native")["_PROTOTYPES"]
    return {name: (result, list(args)) for name, (result, args) in prototypes.items()}


# --- C#: DllImport and delegate declarations of the source file ------------------------

# (attributes, type) of one parameter, the type as 'ref byte[]'. A string
# without MarshalAs is marshalled as the declaration's CharSet says.
def cs_param(text, head):
    attrs = " ".join(re.findall(r"\[[^\]]+\]", text))
    attrs += "" if "MarshalAs" in attrs else " " + head
    words = re.sub(r"\[[^\]]+\]", " ", text).split()[:-1]
    return attrs, " ".join(w.split(".")[-1] for w in words if w not in ("in", "params"))


# ({function: (head, result, [parameter])}, {delegate: the same}): the head holds
# the attributes before the declaration, result and parameters are (attributes, type).
def read_csharp(path):
    text = re.sub(r"/\*.*?\*/|//[^\n]*", " ", open(path).read(), flags=re.S)
    found = {"extern": {}, "delegate": {}}
    # Parentheses in a parameter list are those of its attributes: one level deep.
    for m in re.finditer(r"\b(extern|delegate)\s+([\w.]+(?:\[\])?)\s+(\w+)\s*"
                         r"\(((?:[^()]|\([^()]*\))*)\)", text):
        head = text[max(text.rfind(c, 0, m.start()) for c in ";{}") + 1:m.start()]
        entry = re.search(r'EntryPoint\s*=\s*"(\w+)"', head)
        # A comma followed by a closing bracket before any opening one is inside an attribute.
        params = [cs_param(p, head) for p in re.split(r",(?![^\[(]*[\])])", m[4]) if p.strip()]
        found[m[1]][entry[1] if entry else m[3]] = (head, ("", m[2].split(".")[-1]), params)
    return found["extern"], found["delegate"]


# Classes of the binding's sources that derive from SafeHandle: the marshaller
# passes such a handle as the address it holds and closes it exactly once.
def safe_handles(folder):
    names = set()
    for name in os.listdir(folder):
        if name.endswith(".cs"):
            text = open(os.path.join(folder, name)).read()
            names |= set(re.findall(r"\bclass\s+(\w+)\s*:\s*(?:[\w.]+\.)?SafeHandle\b", text))
    return names


def cs_matches(declared, ctype, result, header, delegates, handles=frozenset()):
    attrs, t = declared
    kind = kind_of(ctype, header)
    if kind == "handle" and t in handles:
        return True
    if kind != "callback":
        return t in KINDS[kind][2 if result else 1] and not WIDE.search(attrs)
    if t not in delegates:
        return False
    head, d_result, d_params = delegates[t]
    c_result, c_args = callback(ctype, header)
    return (re.search(r"UnmanagedFunctionPointer\s*\(\s*CallingConvention\.Cdecl", head)
            and len(d_params) == len(c_args)
            and cs_matches(d_result, c_result, True, header, delegates)
            and all(cs_matches(d, c, False, header, delegates) for d, (c, _) in zip(d_params, c_args)))


# --- the comparison --------------------------------------------------------------------

# Messages for the functions of one binding that differ from the header.
def compare(header, declared, where, matches, show):
    problems = [f"{where}: {n}: not in the header" for n in sorted(set(declared) - set(header[0]))]
    for name, (c_result, c_args) in header[0].items():
        if name not in declared:
            problems.append(f"{where}: {name}: not declared")
            continue
        result, args = declared[name]
        try:
            if not matches(result, c_result, True):
                problems.append(f"{where}: {name}: returns {show(result)}, the header {c_result}")
            if len(args) != len(c_args):
                problems.append(f"{where}: {name}: {len(args)} arguments, the header {len(c_args)}")
                continue
            problems += [f"{where}: {name}: argument {i} is {show(arg)}, the header's {c_arg} {c_name}"
                         for i, (arg, (c_arg, c_name)) in enumerate(zip(args, c_args), 1)
                         if not matches(arg, c_arg, False)]
        except LookupError as e:
            problems.append(f"{where}: {name}: {e}")
    return problems


def check(header_path, python_path, csharp_path, csharp_folder=None):
    try:
        header = read_header(header_path)
    except ValueError as e:
        return [str(e)]
    problems = compare(header, read_python(python_path), os.path.basename(python_path),
                       lambda t, c, result: py_matches(t, c, result, header), py_name)
    externs, delegates = read_csharp(csharp_path)
    handles = safe_handles(csharp_folder or os.path.dirname(os.path.abspath(csharp_path)))
    where = os.path.basename(csharp_path)
    problems += [f"{where}: {n}: not CallingConvention.Cdecl" for n, (head, _, _) in
                 sorted(externs.items()) if "CallingConvention.Cdecl" not in head]
    return problems + compare(header, {n: (r, p) for n, (_, r, p) in externs.items()}, where,
                              lambda t, c, result: cs_matches(t, c, result, header, delegates, handles),
                              lambda t: t[1])


# Runs the checker on copies altered as each row of the table says.
def planted(table, paths):
    failures = []
    for row in json.load(open(table)):
        texts = {key: open(path).read() for key, path in paths.items()}
        for key, find, replace in row["edits"]:
            if texts[key].count(find) != 1:
                failures.append(f"{row['name']}: the text to alter is not once in {key}: {find!r}")
            texts[key] = texts[key].replace(find, replace)
        with tempfile.TemporaryDirectory() as scratch:
            copies = [os.path.join(scratch, os.path.basename(paths[key]))
                      for key in ("header", "python", "csharp")]
            for key, copy in zip(("header", "python", "csharp"), copies):
                open(copy, "w").write(texts[key])
            got = check(*copies, os.path.dirname(os.path.abspath(paths["csharp"])))
        if sorted(got) != sorted(row["expect"]):
            failures.append(f"{row['name']}: reported {got}, expected {row['expect']}")
    return failures


def main(argv):
    if argv[0] == "--planted":
        problems = planted(argv[1], dict(zip(("header", "python", "csharp"), argv[2:])))
        done = "every planted fault reported as its row expects"
    else:
        problems = check(*argv)
        done = "both bindings declare the header's functions as it does"
    print("\n".join(problems) or done)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
