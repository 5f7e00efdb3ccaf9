# SPDX-License-Identifier: GPL-3.0-or-later
"""The manual page lists exactly the options that --help lists, under the same headings, and
renders without a warning.

usage: manual_test.py SELVAR MANPAGE
"""

import os
import re
import subprocess
import sys

OPTION = re.compile(r"(?<![\w-])--?[a-z][\w-]*")


def help_options(selvar):
    """Option name -> heading, from the usage the program prints."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    text = subprocess.run([selvar, "--help"], capture_output=True, text=True, check=True,
                          env=env).stdout
    options, heading = {}, None
    for line in text.splitlines():
        if re.fullmatch(r"\S.*:", line):
            heading = line[:-1]
        elif heading and line.startswith("  -"):
            names = re.split(r" <|\s{2,}", line.strip())[0]
            options.update((name, heading) for name in OPTION.findall(names))
    return options


def roff_text(line):
    """A roff line as it reads: no font changes, quotes or escaped minus signs."""
    line = re.sub(r"\\f[BIRP]", "", line).replace("\\-", "-").replace('"', "")
    return re.sub(r"^\.[A-Z]+\s*", "", line)


def manual_options(path):
    """Option name -> subsection heading, from the tags of the OPTIONS section."""
    options, section, heading, tag_next = {}, None, None, False
    with open(path, encoding="utf-8") as page:
        for line in page:
            line = line.rstrip("\n")
            if line.startswith(".SH "):
                section = roff_text(line)
            elif section == "OPTIONS" and line.startswith(".SS "):
                heading = roff_text(line)
            elif section == "OPTIONS" and line == ".TP":
                tag_next = True
            elif tag_next:
                tag_next = False
                options.update((name, heading) for name in OPTION.findall(roff_text(line)))
    return options


def main():
    selvar, manpage = sys.argv[1:3]
    failures = []
    shown, documented = help_options(selvar), manual_options(manpage)
    if not shown:
        failures.append("--help lists no option at all")
    for name in sorted(set(shown) | set(documented)):
        if name not in documented:
            failures.append(f"{name}: in --help ({shown[name]}), not in the manual page")
        elif name not in shown:
            failures.append(f"{name}: in the manual page ({documented[name]}), not in --help")
        elif shown[name] != documented[name]:
            failures.append(f"{name}: under '{shown[name]}' in --help, "
                            f"'{documented[name]}' in the manual page")
    render = subprocess.run(["groff", "-t", "-man", "-Tutf8", "-ww", "-z", manpage],
                            capture_output=True, text=True, check=False)
    if render.returncode != 0 or render.stderr:
        failures.append(f"groff: status {render.returncode}: {render.stderr.strip()}")
    for failure in failures:
        print(failure)
    print(f"{len(shown)} options in --help, {len(documented)} in the manual page")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
