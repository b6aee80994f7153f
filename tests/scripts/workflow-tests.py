#!/usr/bin/env python3
"""Checks the Windows workflow as far as a Linux machine can: it is valid YAML,
and every preset its commands name, for each row of its matrix, is a preset of
that kind in CMakePresets.json, with a toolchain file that exists."""
import itertools
import json
import pathlib
import re
import sys

import yaml

root = pathlib.Path(__file__).resolve().parents[2]
workflow = yaml.safe_load((root / ".github/workflows/windows.yml").read_text())
presets = json.loads((root / "CMakePresets.json").read_text())
kinds = {"configure": "configurePresets", "build": "buildPresets", "test": "testPresets"}
known = {kind: {p["name"]: p for p in presets.get(key, [])} for kind, key in kinds.items()}
problems = []


def toolchain(name):
    # The toolchain file of a configure preset or of one it inherits from.
    preset = known["configure"][name]
    if "toolchainFile" in preset:
        return preset["toolchainFile"]
    inherits = preset.get("inherits", [])
    for parent in [inherits] if isinstance(inherits, str) else inherits:
        if found := toolchain(parent):
            return found
    return None


for job_name, job in workflow["jobs"].items():
    if not str(job.get("runs-on", "")).startswith("windows-"):
        problems.append(f"job {job_name} does not run on Windows")
    rows = job.get("strategy", {}).get("matrix", {}).get("include", [{}])
    for row, step in itertools.product(rows, job["steps"]):
        command = re.sub(r"\$\{\{\s*matrix\.(\w+)\s*\}\}", lambda m: str(row.get(m.group(1), "?")), step.get("run", ""))
        for tool, build, name in re.findall(r"\b(cmake|ctest)\s+(--build\s+)?--preset\s+([\w.?-]+)", command):
            kind = "test" if tool == "ctest" else "build" if build else "configure"
            if name not in known[kind] or known[kind][name].get("hidden"):
                problems.append(f"job {job_name}: {tool} names no {kind} preset {name}")
            elif kind == "configure" and (file := toolchain(name)) and "$env{" not in file:
                if not pathlib.Path(file.replace("${sourceDir}", str(root))).is_file():
                    problems.append(f"configure preset {name}: no toolchain file {file}")

for problem in problems:
    print("FAILED:", problem)
print(f"{len(problems)} problems in .github/workflows/windows.yml")
sys.exit(1 if problems else 0)
