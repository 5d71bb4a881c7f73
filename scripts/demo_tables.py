#!/usr/bin/env python3
"""Turns the scenario driver's records into the tables that scripts/demo shows.

    demo_tables.py before SNAPSHOT [COMPANION_LOG...]
    demo_tables.py changes OLD NEW [COMPANION_LOG...]
    demo_tables.py transcript TRANSCRIPT
    demo_tables.py lists LIST_BEFORE LIST_AFTER

"before" lists what of the product a snapshot shows on the machine;
"changes" sorts what differs between two snapshots into what was renamed,
deleted, queued, removed, reset and added; "transcript" shows a run's
message boxes, answers and progress lines; "lists" sets the list of
installed programs after a run beside the one before it (the lines of
Wine's "uninstaller --list", "KEY|||DISPLAY NAME"). A companion log is the record
of one companion window, named after it (fnkey.log and so on).

Snapshots are the driver's text (see e2e/driver/snapshot_step.cpp): registry keys
as "[PATH]" or "[PATH] missing" followed by their value lines, directory
listings as "<PATH>" followed by "NAME SIZE" lines.
"""
import os
import re
import sys

QUEUE_KEY = "HKLM\\SOFTWARE\\QELVORA\\Cleanup\\RemoveFiles"
COUNTER_KEY = "HKLM\\SOFTWARE\\QELVORA\\Cleanup"
RUN_KEY = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"
RUN_VALUES = ("Qwtray", "QvCleanup")
SETTINGS = (
    ("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\PowerCfg", "DiskSpinDownMin"),
    ("HKLM\\SYSTEM\\CurrentControlSet\\Services\\Fdc\\Parameters", "MaskDmaAtWakingUp"),
)
PENDING = ("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager", "PendingFileRenameOperations")
QUOTED = re.compile(r'"([^"]*)"')
VALUE_LINE = re.compile(r'^(?:"((?:[^"\\]|\\.)*)"|(@)) (.*)$')
PRODUCT_FILE = re.compile(r"^(QW|Qv)|\.qel$")
COMPANIONS = {
    "fnkey": "function-key program (QWFnkey)",
    "icon": "power-icon program (QwIcon)",
    "clkicon": "speed-icon program (QwClkIcon)",
    "devwatch": "device-detection program (Qwdevwatch)",
    "tray": "tray program (QwTray)",
}


class Snapshot:
    """One snapshot: keys that exist, their values, and directory files."""

    def __init__(self):
        self.keys = set()
        self.values = {}  # (key, name) -> (type, data)
        self.files = {}  # (directory, name) -> size

    @classmethod
    def read(cls, path):
        snap = cls()
        key = directory = None
        with open(path, encoding="utf-8", errors="replace") as text:
            for line in text.read().splitlines():
                if line.startswith("["):
                    key, _, rest = line[1:].partition("]")
                    directory = None
                    if rest.strip() != "missing":
                        snap.keys.add(key)
                elif line.startswith("<"):
                    key, directory = None, line[1:line.rindex(">")]
                elif directory is not None:
                    snap._take_file(directory, line)
                elif key is not None:
                    snap._take_value(key, line)
        return snap

    def _take_file(self, directory, line):
        name, _, size = line.rpartition(" ")
        if PRODUCT_FILE.search(name):
            self.files[(directory, name)] = int(size)

    def _take_value(self, key, line):
        match = VALUE_LINE.match(line)
        if match and match.group(3) != "missing":
            name = match.group(1) if match.group(2) is None else ""
            kind, _, data = match.group(3).partition(" ")
            self.values[(key, name)] = (re.sub(r"\(\d+\)$", "", kind), data)


def value_name(name):
    return "(default)" if name == "" else name


def shown(kind_data):
    kind, data = kind_data
    return f"{data}  ({kind})"


def table(rows, indent="  ", empty="(none)"):
    """Aligned columns; the last column is left ragged."""
    if not rows:
        return [indent + empty]
    widths = [max(len(row[i]) for row in rows) for i in range(len(rows[0]) - 1)]
    lines = []
    for row in rows:
        cells = [cell.ljust(width) for cell, width in zip(row, widths)] + [row[-1]]
        lines.append((indent + "  ".join(cells)).rstrip())
    return lines


def section(title, lines):
    return [title] + lines + [""]


def under(path, parent):
    return path.lower().startswith(parent.lower() + "\\")


def top_keys(paths):
    """The keys of a set that are not below another key of it."""
    ordered = sorted(paths, key=str.lower)
    return [p for p in ordered if not any(under(p, q) for q in ordered if q != p)]


def companion_rows(logs):
    rows = []
    for log in logs:
        name = os.path.splitext(os.path.basename(log))[0]
        with open(log, encoding="utf-8", errors="replace") as text:
            events = text.read().split()
        if "closed" in events:
            state = "asked to close (WM_CLOSE), closed"
        elif "WM_CLOSE" in events:
            state = "asked to close (WM_CLOSE), still running"
        elif "ready" in events:
            state = "running"
        else:
            state = "did not start"
        rows.append((COMPANIONS.get(name, name), state))
    return rows


def is_setting(key):
    return any(key.lower() == k.lower() for k, _ in SETTINGS)


def before_report(snap, logs):
    out = []
    files = sorted(snap.files.items(), key=lambda item: item[0][1].lower())
    directories = sorted({directory for directory, _ in snap.files})
    out += section(f"Files in {', '.join(directories) or 'the system directory'}",
                   table([(name, f"{size} bytes") for (_, name), size in files]))

    keys = []
    for key in sorted(snap.keys, key=str.lower):
        if in_queue(key) or key.lower() in (RUN_KEY.lower(), PENDING[0].lower()) or is_setting(key):
            continue
        values = sorted((n, v) for (k, n), v in snap.values.items() if k == key)
        keys.append("  " + key)
        keys += table([(value_name(n), shown(v)) for n, v in values], indent="      ", empty="(no values)")
    out += section("Registry keys that the uninstaller deletes or edits", keys)

    out += section(f"Run values ({RUN_KEY})",
                   table([(n, shown(snap.values[(RUN_KEY, n)]) if (RUN_KEY, n) in snap.values else "(not set)")
                          for n in RUN_VALUES]))
    out += section("System settings the product changed",
                   table([(k, n, shown(snap.values[(k, n)]) if (k, n) in snap.values else "(not set)")
                          for k, n in SETTINGS]))
    queue = [(value_name(n), shown(v)) for (k, n), v in sorted(snap.values.items(), key=lambda i: queue_order(i[0][1]))
             if in_queue(k)]
    out += section(f"Deferred-removal queue ({COUNTER_KEY})", table(queue, empty="(no queue)"))
    if logs:
        out += section("Companion programs", table(companion_rows(logs)))
    return out


def pending_deletions(snap):
    """Files that the next restart deletes: the renames with an empty target."""
    value = snap.values.get(PENDING)
    if value is None:
        return set()
    texts = QUOTED.findall(value[1])
    return {source.replace("\\??\\", "", 1) for source, target in zip(texts[0::2], texts[1::2]) if target == ""}


def file_changes(old, new):
    gone = {name: d for (d, name) in old.files if (d, name) not in new.files}
    came = {name: d for (d, name) in new.files if (d, name) not in old.files}
    renamed, deleted = [], []
    for name in sorted(gone, key=str.lower):
        target = os.path.splitext(name)[0] + ".qel"
        if target in came:
            renamed.append((name, "->", target))
            del came[target]
        else:
            deleted.append((name, gone[name]))
    added = [(name, f"{new.files[(d, name)]} bytes") for name, d in sorted(came.items(), key=lambda i: i[0].lower())]
    return renamed, deleted, added


def value_changes(old, new, skip):
    removed, reset, added = [], [], []
    for (key, name), value in sorted(old.values.items()):
        if skip(key):
            continue
        if (key, name) not in new.values:
            if key in new.keys:
                removed.append((key, value_name(name), shown(value)))
        elif new.values[(key, name)] != value:
            reset.append((key, value_name(name), f"{shown(value)}  ->  {shown(new.values[(key, name)])}"))
    for (key, name), value in sorted(new.values.items()):
        if not skip(key) and (key, name) not in old.values:
            added.append((key, value_name(name), shown(value)))
    return removed, reset, added


def grouped(rows):
    """(key, name, text) rows as each key followed by its values."""
    lines = []
    for key in sorted({row[0] for row in rows}, key=str.lower):
        lines.append("  " + key)
        lines += table([(name, text) for k, name, text in rows if k == key], indent="      ")
    return lines


def changes_report(old, new, logs):
    """The sections of what changed; a section with nothing in it is left out."""
    renamed, deleted, added_files = file_changes(old, new)
    queue_old = queue_entries(old)
    queue_new = queue_entries(new)
    by_number = lambda item: queue_order(item[0])
    queued = [(n, v) for n, v in sorted(queue_new.items(), key=by_number) if queue_old.get(n) != v]
    taken_off = [(n, v) for n, v in sorted(queue_old.items(), key=by_number) if n not in queue_new]
    gone_keys = top_keys([k for k in old.keys if k not in new.keys])
    new_keys = top_keys([k for k in new.keys
                         if k not in old.keys and not in_queue(k) and k.lower() != PENDING[0].lower()])
    removed, reset, added = value_changes(old, new, lambda key: in_queue(key) or key.lower() == PENDING[0].lower())
    at_restart = sorted(pending_deletions(new) - pending_deletions(old), key=str.lower)

    parts = [
        ("Files renamed to .qel (they stay until the cleanup helper deletes them)", table(renamed)),
        ("Files deleted", table([(name,) for name, _ in deleted])),
        ("Files added", table(added_files)),
        (f"Queued for the cleanup helper ({QUEUE_KEY})", table(queued)),
        ("Taken off the queue", table(taken_off)),
        ("Queue counters", table(counter_changes(old, new))),
        ("Registry keys deleted, with all their subkeys", table([(k,) for k in gone_keys])),
        ("Registry values deleted", grouped(removed)),
        ("Settings reset", grouped(reset)),
        ("Registry values added", grouped(added)),
        ("Registry keys added", table([(k,) for k in new_keys])),
        ("Files to be deleted at the next restart (PendingFileRenameOperations)", table([(f,) for f in at_restart])),
    ]
    out = []
    for title, lines in parts:
        if lines and lines != table([]):
            out += section(title, lines)
    if not out:
        out += section("Nothing of the product changed.", [])
    if logs:
        out += section("Companion programs", table(companion_rows(logs)))
    return out


def in_queue(key):
    return key.lower() in (QUEUE_KEY.lower(), COUNTER_KEY.lower())


def queue_entries(snap):
    """The queue's File entries: name -> the path it names."""
    return {n: v[1].strip('"') for (k, n), v in snap.values.items()
            if k.lower() == QUEUE_KEY.lower() and n.startswith("File")}


def counter_changes(old, new):
    rows = []
    for key, name in ((COUNTER_KEY, "RefNum"), (QUEUE_KEY, "NextNumber")):
        before, after = old.values.get((key, name)), new.values.get((key, name))
        if before != after:
            rows.append((name, f"{shown(before) if before else 'none'}  ->  {shown(after) if after else 'gone'}"))
    return rows


def queue_order(name):
    """File2 before File10."""
    digits = re.sub(r"\D", "", name)
    return (name.rstrip("0123456789"), int(digits) if digits else 0)


def transcript_report(path):
    rows = []
    with open(path, encoding="utf-8", errors="replace") as text:
        lines = text.read().splitlines()
    box = None
    started = False
    for line in lines:
        tag, _, rest = line.partition(": ")
        if tag == "started":
            started = True
            rows.append(("started by the list", rest))
        elif tag == "box":
            box = {"text": rest.replace("\\n", " "), "buttons": "", "answer": "by the user at the display"}
            rows.append(("message box", box))
        elif tag == "buttons" and box is not None:
            box["buttons"] = rest
        elif tag == "answer" and box is not None:
            box["answer"] = rest
        elif tag == "dialog":
            rows.append(("progress dialog", rest))
        elif tag == "status":
            rows.append(("  status lines", " | ".join(part.strip() or "-" for part in rest.split("|"))))
        elif tag == "exit" and " " in rest:
            program, _, code = rest.rpartition(" ")
            rows.append((f"{program} ended, exit code", code))
        elif tag == "exit":
            rows.append(("the list ended, exit code" if started else "ended, exit code", rest))
        elif line == "timeout":
            rows.append(("ended", "still running after ten minutes; the driver ended it"))
    flat = []
    for what, detail in rows:
        if isinstance(detail, dict):
            flat.append((what, f"\"{detail['text']}\"  [{detail['buttons']}]  answer: {detail['answer']}"))
        else:
            flat.append((what, detail))
    return table(flat)


def list_entries(path):
    """The list's entries in its order, as (key, display name)."""
    with open(path, encoding="utf-8", errors="replace") as text:
        lines = [line.rstrip("\r") for line in text.read().splitlines()]
    return [tuple(line.split("|||", 1)) for line in lines if "|||" in line]


def lists_report(before_path, after_path):
    before = list_entries(before_path)
    after = list_entries(after_path)
    rows = [(name, key, "still listed" if (key, name) in after else "gone") for key, name in before]
    rows += [(name, key, "new") for key, name in after if (key, name) not in before]
    width = max([len(name) for name, _, _ in rows] + [0])
    key_width = max([len(key) for _, key, _ in rows] + [0])
    return [f"  {name:<{width}}  {key:<{key_width}}  {state}" for name, key, state in rows] or ["  (none)"]


def main(argv):
    if len(argv) >= 3 and argv[1] == "before":
        lines = before_report(Snapshot.read(argv[2]), argv[3:])
    elif len(argv) >= 4 and argv[1] == "changes":
        lines = changes_report(Snapshot.read(argv[2]), Snapshot.read(argv[3]), argv[4:])
    elif len(argv) == 3 and argv[1] == "transcript":
        lines = transcript_report(argv[2])
    elif len(argv) == 4 and argv[1] == "lists":
        lines = lists_report(argv[2], argv[3])
    else:
        print("\n".join(__doc__.strip().splitlines()[2:6]), file=sys.stderr)
        return 2
    print("\n".join(lines).rstrip("\n"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
