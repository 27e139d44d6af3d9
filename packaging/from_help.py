#!/usr/bin/env python3
"""What the packages say about the programs, taken from their own --help.

Run at build time against the programs just built, so that the completion and
the manual pages offer the commands and options the programs take, no others.

    from_help.py completion OUT PROGRAM...   bash completion of the programs
    from_help.py commands OUT PROGRAM        a help2man section with every command's help
"""
import os
import re
import subprocess
import sys


def run_help(program, path):
    out = subprocess.run([program, *path, "--help"], check=True, capture_output=True, text=True,
                         env={**os.environ, "LC_ALL": "C.UTF-8"}).stdout
    return out.splitlines()


def sections(lines):
    """CLI11's help: 'Name:' headers, then two-space-indented entries; a long
    entry's description wraps onto a line indented further."""
    found = {}
    current = None
    for line in lines:
        if re.fullmatch(r"[A-Z][a-z]+:", line):
            current = found.setdefault(line[:-1], [])
        elif current is not None and line.startswith("  ") and not line.startswith("   "):
            current.append([line[2:], ""])
        elif current is not None and line.startswith("   ") and current:
            current[-1][1] += " " + line.strip()
    return found


def split_entry(text, extra):
    # Name (and type) end where two spaces start the description.
    head, _, desc = text.partition("  ")
    return head.strip(), (desc.strip() + extra).strip()


def value_kind(name, vtype, desc):
    """What an option's value is, from the few words its help gives: '' (no
    completion), '@file', '@dir', '@port', or the words it may be."""
    m = re.search(r"one of ((?:\d+, )+\d+)", desc)
    if m:
        return " ".join(m.group(1).split(", "))
    m = re.search(r"in \[(-?\d+) - (-?\d+)\]", vtype)
    if m and int(m.group(2)) - int(m.group(1)) <= 20:
        return " ".join(str(v) for v in range(int(m.group(1)), int(m.group(2)) + 1))
    # "460, 461, 462, or silent (...)", "...: 115200, 200000 or 2000000"
    sep = r", or |, | or "
    m = re.match(rf"([\w-]+(?:(?:{sep})[\w-]+)+)(?= \(|$)", desc) or \
        re.search(rf": (\d+(?:(?:{sep})\d+)+)$", desc)
    if m:
        return " ".join(re.split(sep, m.group(1)))
    if name == "--port":
        return "@port"
    if not vtype.startswith("TEXT"):
        return ""
    desc = re.sub(r"\(.*?\)", "", desc)  # a default or an example
    if "folder" in desc:
        return "@dir"
    if re.search(r"\b(file|FILE|files|image|here|path)\b", desc):
        return "@file"
    return ""


def positional_kind(name, vtype, desc):
    if name in ("FILE", "ARGS"):
        return "@file"
    if name == "DIR":
        return "@dir"
    if re.search(r"\bor all\b", desc):
        return "all"
    m = re.fullmatch(r"(\S) or (\S)", desc)
    if m:
        return f"{m.group(1)} {m.group(2)}"
    return value_kind(name, vtype, desc) if vtype.startswith("INT") else ""


def walk(program, name, path, tables):
    key = " ".join([name, *path])
    lines = run_help(program, path)
    found = sections(lines)
    options, subs = [], []
    for text, extra in found.get("Options", []):
        head, desc = split_entry(text, extra)
        names, _, vtype = head.partition(" ")
        for opt in names.split(","):
            options.append(opt)
            if vtype:
                tables["val"][f"{key} {opt}"] = value_kind(opt, vtype, desc)
    for i, (text, extra) in enumerate(found.get("Positionals", [])):
        head, desc = split_entry(text, extra)
        pname, _, vtype = head.partition(" ")
        kind = positional_kind(pname, vtype, desc)
        tables["pos"][f"{key}#{i}"] = kind
        if "..." in vtype.split():
            tables["pos"][f"{key}#+"] = kind
    for text, extra in found.get("Subcommands", []):
        sub, _ = split_entry(text, extra)
        subs.append(sub)
    tables["opt"][key] = " ".join(options)
    if subs:
        tables["sub"][key] = " ".join(subs)
    elif path:
        tables["leaves"].append((path, lines, found))
    for sub in subs:
        walk(program, name, [*path, sub], tables)


def bash_array(name, table):
    quote = lambda s: "'" + s.replace("'", "'\\''") + "'"
    rows = "".join(f"  [{quote(k)}]={quote(v)}\n" for k, v in sorted(table.items()))
    return f"declare -gA {name}=(\n{rows})\n"


FUNCTION = r'''
_korsync_values() {  # kind, current word
  case $1 in
    @file) compopt -o filenames 2>/dev/null; mapfile -t COMPREPLY < <(compgen -f -- "$2") ;;
    @dir) compopt -o filenames 2>/dev/null; mapfile -t COMPREPLY < <(compgen -d -- "$2") ;;
    @port) mapfile -t COMPREPLY < <(compgen -W "$(ls -d /dev/ttyUSB* /dev/ttyACM* /dev/ttyS* 2>/dev/null) COM1 COM2 COM3 COM4" -- "$2") ;;
    *) mapfile -t COMPREPLY < <(compgen -W "$1" -- "$2") ;;
  esac
}

# Options of a program come before its command, a command's after it.
_korsync_complete() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
  local path=${COMP_WORDS[0]##*/} i w npos=0 expect= opt=
  COMPREPLY=()
  for ((i = 1; i < COMP_CWORD; i++)); do
    w=${COMP_WORDS[i]}
    [[ $w == = ]] && continue
    if [[ -n $expect ]]; then expect=; continue; fi
    if [[ $w == -* ]]; then
      [[ -n ${_korsync_val["$path $w"]+x} ]] && expect=1
    elif [[ " ${_korsync_sub[$path]-} " == *" $w "* ]]; then
      path="$path $w"
      npos=0
    else
      ((npos++))
    fi
  done
  # --opt=value arrives as three words.
  if [[ $cur == = ]]; then
    cur= opt=$prev
  elif [[ $prev == = ]]; then
    opt=${COMP_WORDS[COMP_CWORD-2]}
  elif [[ $prev == -* ]]; then
    opt=$prev
  fi
  if [[ -n $opt && -n ${_korsync_val["$path $opt"]+x} ]]; then
    _korsync_values "${_korsync_val["$path $opt"]}" "$cur"
  elif [[ $cur == -* ]]; then
    _korsync_values "${_korsync_opt[$path]-}" "$cur"
  elif [[ -n ${_korsync_sub[$path]-} ]]; then
    _korsync_values "${_korsync_sub[$path]-}" "$cur"
  elif [[ -n ${_korsync_pos["$path#$npos"]+x} ]]; then
    _korsync_values "${_korsync_pos["$path#$npos"]}" "$cur"
  elif [[ -n ${_korsync_pos["$path#+"]+x} ]]; then
    _korsync_values "${_korsync_pos["$path#+"]}" "$cur"
  fi
}
'''


def roff(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text[:1] in (".", "'") else text


def commands_section(leaves):
    """Each command: its usage line, what it does, its arguments and options."""
    out = ["[COMMANDS]", "Each command's own \\fB\\-\\-help\\fR says the same."]
    for path, lines, found in leaves:
        usage = next(l for l in lines if l.startswith("Usage: "))[len("Usage: "):]
        out += [".TP", ".B " + roff(usage), roff(lines[0])]
        entries = found.get("Positionals", []) + [e for e in found.get("Options", []) if "--help" not in e[0]]
        if entries:
            out.append(".RS")
            for text, extra in entries:
                head, desc = split_entry(text, extra)
                out += [".TP", ".I " + roff(head), roff(desc)]
            out.append(".RE")
    return "\n".join(out) + "\n"


def main():
    mode, out, programs = sys.argv[1], sys.argv[2], sys.argv[3:]
    tables = {"sub": {}, "opt": {}, "val": {}, "pos": {}, "leaves": []}
    names = []
    for program in programs:
        name = os.path.basename(program)
        names.append(name)
        walk(program, name, [], tables)
    if mode == "commands":
        text = commands_section(tables["leaves"])
    else:
        text = "# bash completion for " + " and ".join(names) + ", made from their --help when they were built.\n"
        for t in ("sub", "opt", "val", "pos"):
            text += bash_array(f"_korsync_{t}", tables[t])
        text += FUNCTION + f"complete -F _korsync_complete {' '.join(names)}\n"
    with open(out, "w") as f:
        f.write(text)


if __name__ == "__main__":
    main()
