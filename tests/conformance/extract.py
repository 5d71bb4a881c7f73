#!/usr/bin/env python3
"""Takes the chosen test functions out of one of Wine's conformance test
files, with every top-level definition they need and nothing else, so that
they compile against the simulated Windows (as C++).

    extract.py SOURCE NAME OUTPUT RUNNER

SOURCE is the Wine test file; NAME is how the harness names it (its path
in Wine's tree, for the expected-failure list); RUNNER is our file that
runs it, whose CONFORMANCE_RUN(function) lines, and the names on a comment
"conformance-uses: a b", say what to keep. What a kept item mentions is kept too, transitively: helpers, globals,
macros, types. Each kept item carries a #line of the original, so that a
check's line is Wine's own. Changes to the text are only those C++ needs:
wide literals become char16_t ones (Windows' WCHAR is 16 bits), and the
few C++ keywords used as names get a trailing underscore. The function
pointers the file loads itself (p<Name>) are loaded by a generated
conformance_load_pointers(), so the file's own loader, which names every
call of the whole file, is left out.
"""
import re
import sys

CXX_KEYWORDS = {"new", "delete", "class", "this", "template", "operator", "private", "public",
                "protected", "namespace", "typename", "try", "catch", "throw", "virtual",
                "friend", "mutable", "explicit", "export", "using"}

IDENT = re.compile(r"[A-Za-z_]\w*")


def split_items(text):
    """Top-level items: (first line, text). A preprocessor line is an item of
    its own; a function ends at its closing brace, anything else at ';'."""
    items = []
    i, n, line = 0, len(text), 1
    start, start_line = 0, 1
    depth = 0
    at_line_start = True
    brace_opened_after_paren = False

    def flush(end):
        nonlocal start, start_line
        chunk = text[start:end]
        if chunk.strip():
            lead = len(chunk) - len(chunk.lstrip())
            items.append((start_line + chunk[:lead].count("\n"), chunk.strip()))
        start, start_line = end, line

    while i < n:
        c = text[i]
        if at_line_start and c == "#" and depth == 0:
            flush(i)
            j = i
            while True:
                k = text.find("\n", j)
                if k < 0:
                    k = n
                if text[k - 1] == "\\" if k > 0 else False:
                    j = k + 1
                    continue
                break
            directive = text[i:k]
            line += directive.count("\n")
            i = k
            items.append((start_line, directive))
            start, start_line = i, line
            continue
        if c == "\n":
            line += 1
            at_line_start = True
            i += 1
            continue
        if c in " \t\r":
            i += 1
            continue
        at_line_start = False
        if text.startswith("/*", i):
            k = text.find("*/", i + 2)
            line += text[i:k].count("\n")
            i = k + 2
            continue
        if text.startswith("//", i):
            k = text.find("\n", i)
            i = k
            continue
        if c in "\"'":
            j = i + 1
            while text[j] != c:
                j += 2 if text[j] == "\\" else 1
            line += text[i:j].count("\n")
            i = j + 1
            continue
        if c in "({[":
            if c == "{" and depth == 0:
                head = strip_comments(text[start:i]).rstrip()
                brace_opened_after_paren = head.endswith(")")
            depth += 1
        elif c in ")}]":
            depth -= 1
            if c == "}" and depth == 0 and brace_opened_after_paren:
                brace_opened_after_paren = False
                i += 1
                flush(i)
                continue
        elif c == ";" and depth == 0:
            i += 1
            flush(i)
            continue
        i += 1
    flush(n)
    return items


def strip_comments(text):
    return re.sub(r"/\*.*?\*/|//[^\n]*", " ", text, flags=re.S)


def strip_strings(text):
    return re.sub(r'"(?:\\.|[^"\\])*"|\'(?:\\.|[^\'\\])*\'', '""', strip_comments(text))


def defined_names(kind, code):
    """Names an item defines, as far as a reader of these files needs."""
    code = strip_strings(code)
    if kind == "define":
        m = re.match(r"#\s*define\s+(\w+)", code)
        return {m.group(1)} if m else set()
    if kind == "function":
        head = code[:code.index("{")]
        names = re.findall(r"(\w+)\s*\(", head)
        return {names[0]} if names and names[0] not in ("WINAPI", "CALLBACK") else set(names[1:2])
    names = set()
    # function pointers: (WINAPI *pName)(...)
    pointers = re.findall(r"\(\s*(?:WINAPI|CALLBACK|__stdcall)?\s*\*\s*(\w+)\s*\)", code)
    if pointers:
        return set(pointers)
    # struct, union and enum tags, and enum constants
    for m in re.finditer(r"\b(struct|union|enum)\s+(\w+)\s*\{", code):
        names.add(m.group(2))
    for m in re.finditer(r"\benum\b[^{]*\{([^}]*)\}", code):
        names.update(re.findall(r"(\w+)\s*(?:=[^,]*)?(?:,|$)", m.group(1)))
    # declarators at depth 0: the name before '=', '[', ',', ';' or '('
    flat, depth = [], 0
    for ch in code:
        if ch in "({[":
            depth += 1
            if depth == 1 and ch != "{":
                flat.append(ch)
            continue
        if ch in ")}]":
            depth -= 1
            continue
        if depth == 0:
            flat.append(ch)
    flat = "".join(flat)
    flat = flat.split("=")[0] if "=" in flat and "," not in flat else flat
    for part in re.split(r"[,;]", flat):
        part = part.split("=")[0]
        m = re.findall(r"(\w+)\s*[\[\(]*\s*$", part.strip())
        if m:
            names.add(m[-1])
    return names - {"void", "int", "char", "static", "const"}


def kind_of(code):
    if code.startswith("#"):
        if re.match(r"#\s*define\b", code):
            return "define"
        if re.match(r"#\s*include\b", code):
            return "include"
        return "directive"
    if code.endswith("}") and not code.endswith("};"):
        return "function"
    if code.startswith("START_TEST"):
        return "start"
    return "declaration"


def to_cxx(code):
    out, i, n = [], 0, len(code)
    while i < n:
        c = code[i]
        if code.startswith("/*", i):
            k = code.find("*/", i + 2) + 2
            out.append(code[i:k])
            i = k
            continue
        if code.startswith("//", i):
            k = code.find("\n", i)
            k = n if k < 0 else k
            out.append(code[i:k])
            i = k
            continue
        if c == "L" and i + 1 < n and code[i + 1] in "\"'" and (i == 0 or not (code[i - 1].isalnum() or code[i - 1] == "_")):
            out.append("u")
            i += 1
            continue
        if c in "\"'":
            j = i + 1
            while code[j] != c:
                j += 2 if code[j] == "\\" else 1
            out.append(code[i:j + 1])
            i = j + 1
            continue
        m = IDENT.match(code, i)
        if m and (i == 0 or not (code[i - 1].isalnum() or code[i - 1] == "_")):
            word = m.group(0)
            out.append(word + "_" if word in CXX_KEYWORDS else word)
            i = m.end()
            continue
        out.append(c)
        i += 1
    return "".join(out)


def main():
    source, name, output, runner = sys.argv[1:5]
    with open(runner, encoding="utf-8") as f:
        runner_text = f.read()
    roots = re.findall(r"CONFORMANCE_RUN\((\w+)\)", runner_text)
    for uses in re.findall(r"conformance-uses:(.*)", runner_text):
        roots.extend(uses.split())
    with open(source, encoding="utf-8", errors="replace") as f:
        text = f.read()
    items = []
    for line, code in split_items(text):
        kind = kind_of(code)
        if kind in ("include", "start"):
            continue
        items.append({"line": line, "code": code, "kind": kind,
                      "defines": defined_names(kind, code) if kind != "directive" else set(),
                      "uses": set(IDENT.findall(strip_strings(code)))})
    definers = {}
    for index, item in enumerate(items):
        for d in item["defines"]:
            definers.setdefault(d, []).append(index)

    missing = [r for r in roots if r not in definers]
    if missing:
        sys.exit("extract.py: %s has no %s" % (source, ", ".join(missing)))
    keep, todo = set(), []
    for r in roots:
        todo.extend(definers[r])
    while todo:
        index = todo.pop()
        if index in keep:
            continue
        keep.add(index)
        for word in items[index]["uses"]:
            for d in definers.get(word, []):
                if d not in keep:
                    todo.append(d)
    # #undef and conditional lines stay where they are, so that the macros
    # and blocks around the kept items mean what they meant.
    for index, item in enumerate(items):
        if item["kind"] == "directive":
            keep.add(index)

    pointers = []
    out = ["// Generated from Wine's %s by extract.py; do not edit.\n" % name]
    for index in sorted(keep):
        item = items[index]
        out.append('#line %d "%s"\n%s\n' % (item["line"], name, to_cxx(item["code"])))
        if item["kind"] == "declaration":
            for d in sorted(item["defines"]):
                if re.match(r"p[A-Z]\w*$", d) and re.search(r"\*\s*%s\s*\)" % d, item["code"]):
                    pointers.append(d)
    out.append("\nstatic void conformance_load_pointers(void)\n{\n")
    for p in pointers:
        out.append('    %s = (decltype(%s))conformance_lookup("%s");\n' % (p, p, p[1:]))
    out.append("}\n")
    with open(output, "w", encoding="utf-8") as f:
        f.write("".join(out))


if __name__ == "__main__":
    main()
