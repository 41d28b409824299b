#!/usr/bin/env python3
"""Fails when a file of src/ includes a project header its target cannot use: one of a target it
neither links nor reaches through the PUBLIC/INTERFACE links of what it links (a PRIVATE link of a
library is that library's own business, as CMake treats it). Fails too when a target links one of a
folder that is not on a lower layer than its own, or when a folder of src/ has no layer. The
targets, their files and their links are read from the folders' CMakeLists.txt; the layers from the
```layers block of docs/ARCHITECTURE.md, one line per layer from the ground up. Needs no build.

    python3 scripts/check-layering.py [SRC_DIR [LAYERS_FILE]]
"""
import os
import re
import sys

VISIBILITY = {"PUBLIC", "PRIVATE", "INTERFACE"}
LIBRARY_KINDS = {"STATIC", "SHARED", "MODULE", "OBJECT", "INTERFACE", "EXCLUDE_FROM_ALL"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]', re.MULTILINE)
COMMAND = re.compile(r"\b(add_library|add_executable|target_sources|target_link_libraries)\s*\(", re.IGNORECASE)


def strip_comments(text):
    lines = []
    for line in text.splitlines():
        quoted = False
        for i, ch in enumerate(line):
            if ch == '"':
                quoted = not quoted
            elif ch == "#" and not quoted:
                line = line[:i]
                break
        lines.append(line)
    return "\n".join(lines)


def commands(text):
    """Yields (name, arguments) of the commands the check reads, whatever their line breaks."""
    text = strip_comments(text)
    for match in COMMAND.finditer(text):
        depth, end = 1, match.end()
        while end < len(text) and depth:
            depth += {"(": 1, ")": -1}.get(text[end], 0)
            end += 1
        args = [a.strip('"') for a in text[match.end():end - 1].split()]
        yield match.group(1).lower(), args


def read_layers(path):
    """Folder -> its layer's number (0 at the bottom), from the file's ```layers block."""
    with open(path, encoding="utf-8") as f:
        block = re.search(r"^```layers\n(.*?)^```", f.read(), re.MULTILINE | re.DOTALL)
    if not block:
        raise SystemExit(f"{path}: no ```layers block")
    layers = {}
    for number, line in enumerate(l for l in block.group(1).splitlines() if l.strip()):
        for folder in line.split():
            layers[folder] = number
    return layers


class Project:
    def __init__(self, src):
        self.src = os.path.realpath(src)
        self.root = os.path.dirname(self.src)
        self.files = {}      # target -> set of files (relative to src/)
        self.links = {}      # target -> list of (visibility, target or other item)
        self.owners = {}     # file -> set of targets listing it
        self.first = {}      # folder -> its first library, owner of what no target lists
        self.folder = {}     # target -> the folder whose CMakeLists.txt makes it
        for folder in sorted(os.listdir(self.src)):
            cmake = os.path.join(self.src, folder, "CMakeLists.txt")
            if os.path.isfile(cmake):
                with open(cmake, encoding="utf-8") as f:
                    self.read(folder, f.read())
        for target, files in self.files.items():
            for path in files:
                self.owners.setdefault(path, set()).add(target)

    def source(self, folder, item):
        """The listed file relative to src/, or None for a generated one."""
        item = item.replace("${PROJECT_SOURCE_DIR}", self.root).replace("${CMAKE_SOURCE_DIR}", self.root)
        item = item.replace("${CMAKE_CURRENT_SOURCE_DIR}", os.path.join(self.src, folder))
        if "${" in item or "$<" in item:
            return None
        path = os.path.realpath(os.path.join(self.src, folder, item))
        return os.path.relpath(path, self.src) if path.startswith(self.src + os.sep) else None

    def read(self, folder, text):
        for name, args in commands(text):
            if not args:
                continue
            target, rest = args[0], args[1:]
            if name in ("add_library", "add_executable"):
                if "ALIAS" in rest or "IMPORTED" in rest:
                    continue
                if name == "add_library":
                    self.first.setdefault(folder, target)
                self.folder[target] = folder
                rest = [a for a in rest if a not in LIBRARY_KINDS and a not in ("WIN32", "MACOSX_BUNDLE")]
                self.files.setdefault(target, set())
                self.links.setdefault(target, [])
            if name in ("add_library", "add_executable", "target_sources"):
                for item in rest:
                    path = None if item in VISIBILITY else self.source(folder, item)
                    if path:
                        self.files.setdefault(target, set()).add(path)
            elif name == "target_link_libraries":
                # The plain signature (no keyword) passes its links on, as PUBLIC does.
                visibility = "PUBLIC"
                for item in rest:
                    if item in VISIBILITY:
                        visibility = item
                    else:
                        self.links.setdefault(target, []).append((visibility, item))

    def passed_on(self, target, seen):
        """The target and what its PUBLIC/INTERFACE links pass on to whoever links it."""
        if target in seen or target not in self.links:
            return
        seen.add(target)
        for visibility, dep in self.links[target]:
            if visibility != "PRIVATE":
                self.passed_on(dep, seen)

    def usable(self, target):
        seen = {target}
        for _, dep in self.links.get(target, []):
            self.passed_on(dep, seen)
        return seen

    def targets_of(self, path):
        owners = self.owners.get(path)
        if owners:
            return owners
        first = self.first.get(path.split(os.sep)[0])
        return {first} if first else set()


def upward_links(project, layers):
    """A link to a target of the same or a higher layer's folder, and a folder without a layer."""
    faults = [f"src/{folder}: no layer in the layers block" for folder in sorted(set(project.folder.values()))
              if folder not in layers]
    for target, links in sorted(project.links.items()):
        mine = project.folder.get(target)
        for _, dep in links:
            theirs = project.folder.get(dep)
            if mine in layers and theirs in layers and theirs != mine and layers[theirs] >= layers[mine]:
                faults.append(f"src/{mine}/CMakeLists.txt: {target} links {dep} of {theirs}/, "
                              f"which is not below {mine}/")
    return faults


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
    project = Project(src)
    layers_file = sys.argv[2] if len(sys.argv) > 2 else os.path.join(project.root, "docs", "ARCHITECTURE.md")
    folders = {f for f in os.listdir(project.src) if os.path.isdir(os.path.join(project.src, f))}
    usable = {target: project.usable(target) for target in project.links}
    faults = upward_links(project, read_layers(layers_file))
    for folder in sorted(folders):
        for directory, _, names in os.walk(os.path.join(project.src, folder)):
            for name in sorted(names):
                if not name.endswith((".h", ".hpp", ".cpp", ".cc")):
                    continue  # generated sources (.cpp.in) are checked in the build, not here
                full = os.path.join(directory, name)
                path = os.path.relpath(full, project.src)
                with open(full, encoding="utf-8", errors="replace") as f:
                    text = f.read()
                for match in INCLUDE.finditer(text):
                    line = text.count("\n", 0, match.start()) + 1
                    include = match.group(2)
                    header = os.path.normpath(include)
                    if not os.path.isfile(os.path.join(project.src, header)):
                        beside = os.path.relpath(os.path.normpath(os.path.join(directory, include)), project.src)
                        if match.group(1) == '"' and os.path.isfile(os.path.join(project.src, beside)):
                            header = beside
                        elif match.group(1) == '"' and header.split(os.sep)[0] in folders:
                            faults.append(f"src/{path}:{line}: #include \"{include}\": no such header in src/")
                            continue
                        else:
                            continue  # system, Qt, Firebird
                    owners = project.targets_of(header)
                    for target in sorted(project.targets_of(path)):
                        if not owners & usable.get(target, {target}):
                            owner = " or ".join(sorted(owners)) or "a library (no target lists the header)"
                            faults.append(f"src/{path}:{line}: #include \"{include}\": {target} does not link {owner}")
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} fault(s) of layering", file=sys.stderr)
        return 1
    print(f"layering clean: {len(project.links)} targets on {len(set(project.folder.values()))} folders")
    return 0


if __name__ == "__main__":
    sys.exit(main())
