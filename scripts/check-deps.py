#!/usr/bin/env python3
"""Checks scripts/install-deps' package list against what the project needs.

Called as `scripts/install-deps --check`, after the packages are installed. It fails,
naming the package, when
  - a group of the Debian package's Depends (cmake/Packaging.cmake) has no member in the list;
  - a QML module the views, view tests or tools import comes from a package that is neither
    in the list nor pulled in by one;
  - a command the build, the tests or the scripts run (install-deps' `commands`) is missing
    or comes from such a package.
So a package installed by hand on one machine cannot keep CI green while a fresh machine
fails.
"""
import argparse
import os
import re
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
QML_ROOTS = ["/usr/lib/x86_64-linux-gnu/qt6/qml", "/usr/lib/aarch64-linux-gnu/qt6/qml"]
COMMAND_DIRS = ["/usr/sbin", "/usr/bin", "/sbin", "/bin", "/usr/lib/qt6/bin"]


def dpkg_owner(path):
    """The package that installed `path` (or the file it links to), or None."""
    paths = [path, os.path.realpath(path)]
    # With the merged /usr, dpkg may know /usr/bin/ip as /bin/ip and the other way round.
    paths += [p[4:] if p.startswith("/usr/") else "/usr" + p for p in list(paths)]
    for candidate in dict.fromkeys(paths):
        out = subprocess.run(["dpkg-query", "-S", candidate], capture_output=True, text=True)
        if out.returncode == 0 and out.stdout:
            return out.stdout.split(":", 1)[0].split(",")[0].strip()
    return None


def depends_of(package):
    out = subprocess.run(["dpkg-query", "-W", "-f=${Depends},${Pre-Depends}", package],
                         capture_output=True, text=True)
    names = set()
    for group in out.stdout.split(","):
        for alternative in group.split("|"):
            name = re.sub(r"\(.*?\)", "", alternative).strip().split(":")[0]
            if name:
                names.add(name)
    return names


def closure(packages):
    """The listed packages and everything they depend on, as installed here."""
    seen, todo = set(), list(packages)
    while todo:
        package = todo.pop()
        if package in seen:
            continue
        seen.add(package)
        todo.extend(depends_of(package) - seen)
    return seen


def deb_depends():
    text = (ROOT / "cmake/Packaging.cmake").read_text()
    match = re.search(r'CPACK_DEBIAN_PACKAGE_DEPENDS\s+"(.*?)"\)', text, re.S)
    if not match:
        sys.exit("check-deps: cannot find the package's Depends in cmake/Packaging.cmake")
    body = match.group(1).replace("\\\n", " ")
    groups = []
    for group in body.split(","):
        names = [re.sub(r"\(.*?\)", "", a).strip() for a in group.split("|")]
        names = [n for n in names if n]
        if names:
            groups.append(names)
    return groups


def qml_imports():
    modules = set()
    for folder in ("src/ui", "tests/ui", "tools"):
        for path in (ROOT / folder).rglob("*.qml"):
            for line in path.read_text(errors="replace").splitlines():
                match = re.match(r"\s*import\s+([A-Za-z][\w.]*)", line)
                if match and not match.group(1).startswith("Veloxa"):
                    modules.add(match.group(1))
    return sorted(modules)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--packages", required=True)
    parser.add_argument("--commands", required=True)
    args = parser.parse_args()
    listed = set(args.packages.split())
    provided = closure(listed)
    problems = []

    for group in deb_depends():
        if not any(name in listed for name in group):
            problems.append(f"the .deb depends on {' | '.join(group)}, which install-deps "
                            "does not install")

    for module in qml_imports():
        relative = module.replace(".", "/")
        qmldir = next((f"{root}/{relative}/qmldir" for root in QML_ROOTS
                       if os.path.exists(f"{root}/{relative}/qmldir")), None)
        owner = dpkg_owner(qmldir) if qmldir else None
        if not owner:
            problems.append(f"QML module {module} is imported but no installed package has it")
        elif owner not in provided:
            problems.append(f"QML module {module} comes from {owner}, which install-deps "
                            "does not install")

    for command in args.commands.split():
        path = next((f"{d}/{command}" for d in COMMAND_DIRS if os.path.exists(f"{d}/{command}")),
                    None)
        owner = dpkg_owner(path) if path else None
        if not owner:
            problems.append(f"command {command} is used but no installed package has it")
        elif owner not in provided:
            problems.append(f"command {command} comes from {owner}, which install-deps "
                            "does not install")

    for problem in problems:
        print(f"check-deps: {problem}", file=sys.stderr)
    if problems:
        return 1
    print(f"check-deps: {len(listed)} packages cover the .deb's Depends, "
          f"{len(qml_imports())} QML modules and {len(args.commands.split())} commands")
    return 0


if __name__ == "__main__":
    sys.exit(main())
