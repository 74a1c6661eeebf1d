#!/usr/bin/env python3
"""Presents OrvelPDU's public headers to Doxygen without changing them.

The headers are written for people reading them as plain text: `//` comments above each
declaration, a contract comment opening each header, REQUIRES: lines for preconditions and
aligned tables in indented lines. Doxygen reads a header through this filter (FILTER_PATTERNS),
which rewrites only the comments, keeping every line where it is so that Doxygen's warnings
point at the right line:

  - the comment that opens a header documents the class named like the header (qualified by
    its namespace), or the header itself when it holds no such class; the include guard, which
    is not API, is hidden;
  - a comment run directly above a declaration documents it; one separated from the next
    declaration by a blank line (a section heading) stays a plain comment;
  - `code;  // text` documents that member; NOLINT notes stay plain;
  - REQUIRES: becomes a precondition (@pre);
  - a run of indented lines that is not a list (a table, an aligned layout) is shown as it is
    laid out;
  - outside backticks and double quotes, <, > and & are escaped, so that a mention of <orvelpdu/orvelpdu.h> is
    text rather than HTML, and so are backslashes, #word and ::word, so that "\\xCD" or
    "#include" is text rather than a command or a link. Doxygen commands are written with @
    (@ref, @param, @note, ...) and are left for Doxygen to check.

With --check HEADER..., it prints every header that has no opening contract comment and exits
1 when there is one.
"""
import os
import re
import sys

COMMENT = re.compile(r"^(\s*)//(?!/)(.*)$")
TRAILING = re.compile(r"^(\s*[^/\s#}].*?[;,{])(\s+)//(?!/)\s?(.*)$")
NAMESPACE_OPEN = re.compile(r"^namespace\s+([\w:]+)\s*\{")
NAMESPACE_CLOSE = re.compile(r"^\}\s*//\s*namespace")
TYPE_OPEN = re.compile(r"^\s*(template\s*<.*>\s*)?(class|struct|union|enum|namespace)\b")
ACCESS = re.compile(r"^\s*(public|protected|private)\s*:")


LITERAL = re.compile(r'`[^`]*`|"[^"]*"')


def escape(text):
    """Makes plain text of what Doxygen would read as markup outside `code spans` and "quoted
    text" (which Doxygen keeps as written): HTML characters, backslashes (\\xCD is a byte, not
    a command), #word and ::word (not links)."""
    out = []
    position = 0
    for literal in list(LITERAL.finditer(text)) + [None]:
        end = literal.start() if literal else len(text)
        part = text[position:end].replace("\\", "\\\\")
        part = re.sub(r"([<>&])", r"\\\1", part)
        part = re.sub(r"#(?=\w)", r"\\#", part)
        part = re.sub(r"(^|[\s(])::", r"\1\\::", part)
        out.append(part)
        if literal:
            out.append(literal.group(0))
            position = literal.end()
    return "".join(out)


def leading_block(lines):
    end = 0
    while end < len(lines) and COMMENT.match(lines[end]):
        end += 1
    return end


def main_entity(lines, stem):
    """The qualified name of the class or struct the header is named after, or None."""
    namespaces = []
    definition = re.compile(r"^\s*(class|struct)\s+(ORVELPDU_API\s+)?" + re.escape(stem) +
                            r"\b(?!\s*;)")
    for line in lines:
        opened = NAMESPACE_OPEN.match(line)
        if opened:
            namespaces.append(opened.group(1))
            continue
        if NAMESPACE_CLOSE.match(line) and namespaces:
            namespaces.pop()
            continue
        if definition.match(line):
            return "::".join(namespaces + [stem])
    return None


def convert_run(run):
    """Turns a run of plain comment lines into Doxygen lines, one for one."""
    out = []
    bodies = []
    for line in run:
        indent, body = COMMENT.match(line).groups()
        bodies.append((indent, body[1:] if body.startswith(" ") else body))
    indented = re.compile(r"^\s{2,}\S")
    listed = re.compile(r"^\s*[-*]\s")
    i = 0
    while i < len(bodies):
        j = i
        while j < len(bodies) and indented.match(bodies[j][1]):
            j += 1
        # An indented group with no list item in it is a table or a layout: shown verbatim.
        if j > i and not any(listed.match(body) for _, body in bodies[i:j]):
            margin = min(len(body) - len(body.lstrip()) for _, body in bodies[i:j])
            for k in range(i, j):
                text = bodies[k][1][margin:]
                if k == i:
                    text = "@code{.unparsed}" + text
                else:
                    text = " " + text
                if k == j - 1:
                    text += " @endcode"
                out.append(bodies[k][0] + "///" + text)
            i = j
            continue
        for indent, body in bodies[i:max(j, i + 1)]:
            text = re.sub(r"^REQUIRES:\s*", "@pre ", escape(body))
            out.append(indent + "/// " + text if text else indent + "///")
        i = max(j, i + 1)
    return out


def filter_header(path):
    with open(path, encoding="utf-8") as source:
        lines = source.read().split("\n")
    stem = os.path.splitext(os.path.basename(path))[0]
    out = list(lines)

    # The opening comment, attached by a structural command that takes the place of the
    # include guard's #ifndef (and the matching #endif), so no line moves.
    head = leading_block(lines)
    if head:
        entity = main_entity(lines, stem)
        command = "@class " + entity if entity else "@file"
        guard = head if head < len(lines) and lines[head].startswith("#ifndef") else None
        last_endif = max((i for i, l in enumerate(lines) if l.startswith("#endif")), default=None)
        if guard is not None and last_endif is not None:
            out[:head] = convert_run(lines[:head])
            out[guard] = "/// " + command
            out[last_endif] = ""
            # The guard's #define would otherwise be listed as a macro of the header.
            if guard + 1 < len(lines) and lines[guard + 1].startswith("#define"):
                out[guard + 1] = ""
        else:
            out[:head] = convert_run(lines[:head])
            out[0] = "/// " + command + "\n" + out[0]

    # Comments inside an inline function's body explain its code, not its contract: they stay
    # plain. A body opens on a line with a parameter list's ")" and a "{" (not a class,
    # struct, enum or namespace) and ends at its matching "}".
    body_depth = 0
    i = head
    while i < len(lines):
        if COMMENT.match(lines[i]):
            j = i
            while j < len(lines) and COMMENT.match(lines[j]):
                j += 1
            following = lines[j] if j < len(lines) else ""
            documents = following.strip() and not following.lstrip().startswith(("#", "}")) \
                and not ACCESS.match(following) and not NAMESPACE_OPEN.match(following)
            if documents and body_depth == 0:
                out[i:j] = convert_run(lines[i:j])
            i = j
            continue
        code = lines[i].split("//", 1)[0]
        opens, closes = code.count("{"), code.count("}")
        trailing = TRAILING.match(lines[i])
        if trailing and body_depth == 0 and not trailing.group(3).startswith("NOLINT") and \
                not NAMESPACE_CLOSE.match(lines[i]):
            out[i] = trailing.group(1) + trailing.group(2) + "///< " + escape(trailing.group(3))
        if body_depth > 0:
            body_depth = max(0, body_depth + opens - closes)
        elif ")" in code and opens > closes and not TYPE_OPEN.match(code):
            body_depth = opens - closes
        i += 1
    sys.stdout.write("\n".join(out))


def check(paths):
    missing = [p for p in paths if not leading_block(open(p, encoding="utf-8").read().split("\n"))]
    for path in missing:
        print(f"{path}:1: error: the header has no opening comment stating its contract")
    return 1 if missing else 0


if __name__ == "__main__":
    if len(sys.argv) > 1 and sys.argv[1] == "--check":
        sys.exit(check(sys.argv[2:]))
    filter_header(sys.argv[1])
