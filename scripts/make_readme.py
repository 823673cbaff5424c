#!/usr/bin/env python3
"""Writes the shipped readme.txt: packaging/readme.txt with its line @MAKING_THEMES@ replaced by
the theme guide docs/themes.md as plain text, so the guide has one source and the two never drift.

    python3 scripts/make_readme.py TEMPLATE GUIDE OUTPUT
    python3 scripts/make_readme.py --self-test REPOSITORY


Only the Markdown the guide uses is understood: headings, paragraphs, "- " lists, tables, code
blocks indented by four spaces, `code`, **strong**, *emphasis*, [links](...) and pictures
(![...](...), left out: the text stands without them). Text is wrapped at 72 columns, as the rest of
readme.txt is.
"""
import re
import sys
import textwrap

WIDTH = 72
PLACEHOLDER = "@MAKING_THEMES@"
TERM_COLUMN = 20  # where a table row's description starts, as in the other sections


def inline(text):
    text = re.sub(r"!\[[^\]]*\]\([^)]*\)", "", text)
    text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", text)
    text = re.sub(r"\*\*([^*]+)\*\*", r"\1", text)
    text = re.sub(r"(?<![\w*])\*([^*\s][^*]*)\*(?![\w*])", r"\1", text)
    text = text.replace("`", "")
    return re.sub(r"\s+", " ", text).strip()


def wrap(text, indent="", hanging=None):
    return textwrap.wrap(text, WIDTH, initial_indent=indent,
                         subsequent_indent=indent if hanging is None else hanging,
                         break_long_words=False, break_on_hyphens=False) or [indent.rstrip()]


def table_rows(lines):
    rows = []
    for line in lines:
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if all(re.fullmatch(r":?-+:?", c) for c in cells):
            continue
        rows.append(cells)
    return rows[1:]  # the header row names the columns, which the layout shows


def table(lines):
    out = []
    for cells in table_rows(lines):
        term, text = inline(cells[0]), inline(" ".join(cells[1:]))
        if not text:
            out.extend(wrap(term, "  "))
        elif len(term) + 2 < TERM_COLUMN - 1:
            out.extend(wrap(text, "  " + term.ljust(TERM_COLUMN - 2), " " * TERM_COLUMN))
        else:
            out.extend(wrap(term, "  "))
            out.extend(wrap(text, " " * TERM_COLUMN))
    return out


def guide_text(markdown):
    lines = markdown.replace("\r\n", "\n").split("\n")
    out = []
    i = 0

    def blank():
        if out and out[-1] != "":
            out.append("")

    while i < len(lines):
        line = lines[i]
        if not line.strip():
            i += 1
            continue
        heading = re.match(r"(#+)\s+(.*)", line)
        if heading:
            title = inline(heading.group(2))
            blank()
            if len(heading.group(1)) == 1:  # the section of readme.txt
                out.extend([title, "-" * 70, ""])
            else:
                out.extend([title, ("=" if len(heading.group(1)) == 2 else "~") * len(title), ""])
            i += 1
        elif line.startswith("    "):
            while i < len(lines) and (lines[i].startswith("    ") or not lines[i].strip()):
                if lines[i].strip():
                    out.append("  " + lines[i][4:].rstrip())
                elif i + 1 < len(lines) and lines[i + 1].startswith("    "):
                    out.append("")
                i += 1
            out.append("")
        elif line.lstrip().startswith("|"):
            block = []
            while i < len(lines) and lines[i].lstrip().startswith("|"):
                block.append(lines[i])
                i += 1
            out.extend(table(block))
            out.append("")
        elif line.startswith("- "):
            while i < len(lines) and lines[i].startswith("- "):
                item = [lines[i][2:]]
                i += 1
                while i < len(lines) and lines[i].startswith("  ") and lines[i].strip():
                    item.append(lines[i])
                    i += 1
                out.extend(wrap(inline(" ".join(item)), "  - ", "    "))
            out.append("")
        else:
            para = []
            while i < len(lines) and lines[i].strip() and not re.match(r"(#+\s|- |\||    )", lines[i]):
                para.append(lines[i])
                i += 1
            text = inline(" ".join(para))
            if text:  # a paragraph holding only a picture leaves nothing
                out.extend(wrap(text))
                out.append("")
    while out and out[-1] == "":
        out.pop()
    return "\n".join(out) + "\n"


def self_test(repo):
    """Makes readme.txt from the repository's files and looks for what a faulty conversion leaves,
    and for a guide whose example no longer is the sample theme."""
    import os
    with open(os.path.join(repo, "packaging", "readme.txt"), encoding="utf-8") as f:
        template = f.read()
    with open(os.path.join(repo, "docs", "themes.md"), encoding="utf-8") as f:
        markdown = f.read()
    text = template.replace(PLACEHOLDER + "\n", guide_text(markdown))
    problems = []
    if PLACEHOLDER in text or "Making themes\n" + "-" * 70 not in text:
        problems.append("the guide did not replace the line %s" % PLACEHOLDER)
    guide = text[text.find("Making themes\n"):]
    for number, line in enumerate(guide.split("\n"), 1):
        if len(line) > WIDTH and not line.startswith("  velmora-tool") and not re.match(r"  [a-z_]+ [a-z]+:", line):
            problems.append("guide line %d is longer than %d columns: %s" % (number, WIDTH, line))
        for residue in ("`", "**", "](", "<!--"):
            if residue in line:
                problems.append("guide line %d keeps Markdown %r: %s" % (number, residue, line))
    # Every keyword and key the guide names in a table reaches the text.
    for row in re.findall(r"^\|\s*`([^`]+)`", markdown, re.M):
        for word in re.findall(r"[a-z_]+", row):
            if word not in guide:
                problems.append("%r of the guide's tables is missing from readme.txt" % word)
    # The guide's example is the sample theme's theme.txt, comments left out.
    with open(os.path.join(repo, "themes", "VMA_Snowy_Meadow", "theme.txt"), encoding="utf-8") as f:
        theme = [line for line in f.read().split("\n") if line.strip() and not line.startswith("#")]
    if not all("    " + line + "\n" in markdown for line in theme) or "    " + theme[0] + "\n    " + theme[1] not in markdown:
        problems.append("the example of docs/themes.md differs from themes/VMA_Snowy_Meadow/theme.txt")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--self-test":
        sys.exit(self_test(sys.argv[2]))
    if len(sys.argv) != 4:
        sys.exit("usage: make_readme.py TEMPLATE GUIDE OUTPUT")
    template_path, guide_path, output_path = sys.argv[1:]
    with open(template_path, encoding="utf-8") as f:
        template = f.read()
    with open(guide_path, encoding="utf-8") as f:
        guide = guide_text(f.read())
    if template.count(PLACEHOLDER + "\n") != 1:
        sys.exit("%s: needs the line %s once" % (template_path, PLACEHOLDER))
    text = template.replace(PLACEHOLDER + "\n", guide)
    with open(output_path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


if __name__ == "__main__":
    main()
