#!/usr/bin/env python3
"""Every environment variable the runtime reads is listed in docs/diagnostics.md, and
every read names its variable literally (so that this check sees it).

  check_environment_docs.py SOURCE_DIR"""
import pathlib
import re
import sys

# DiagnosticPath is the frame loop's reader of its diagnostics' variables: its callers name
# the variable, and its own body is the one read allowed to take a name it is given.
READ = re.compile(r"\b(?:GetEnvironmentVariable[AW]?|_?w?getenv(?:_s)?|_dupenv_s|DiagnosticPath)\s*\(")
NAMED = re.compile(r"\b(?:GetEnvironmentVariable[AW]?|_?w?getenv(?:_s)?|DiagnosticPath)\s*\(\s*L?\"([A-Za-z0-9_]+)\"")
WRAPPER = re.compile(r"GetEnvironmentVariableA\(variable,|std::string DiagnosticPath\(const char\* variable\)")


def main(root):
    root = pathlib.Path(root)
    docs = (root / "docs" / "diagnostics.md").read_text(encoding="utf-8")
    problems = []
    for path in sorted((root / "src").rglob("*")):
        if path.suffix not in (".cpp", ".h", ".cc", ".hpp"):
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
            if not READ.search(line) or WRAPPER.search(line):
                continue
            where = f"{path.relative_to(root)}:{number}"
            names = NAMED.findall(line)
            if not names:
                problems.append(f"{where}: an environment read without a literal name")
            for name in names:
                if not re.search(rf"`{name}[`=]", docs):
                    problems.append(f"{where}: {name} is not listed in docs/diagnostics.md")
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent))
