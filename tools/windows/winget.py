#!/usr/bin/python3
"""The winget manifests of the installer, filled in from packaging/winget/ and checked.

  winget.py fill VERSION INSTALLER URL OUT   writes OUT/manifests/s/sonavel/sonavel/VERSION/*.yaml
  winget.py check FOLDER                     checks the three manifests in FOLDER

The check holds each manifest to what schema 1.6.0 of winget's manifests requires of the fields
written here: the required fields, their types, enumerations and patterns, one version, one
identifier and one locale across the three files, and no field the schema does not know. Each
fault is one line; the exit status is 1 when there is any.
"""
import hashlib
import pathlib
import re
import sys

import yaml

IDENTIFIER = "sonavel.sonavel"
MANIFEST_VERSION = "1.6.0"
TEMPLATES = pathlib.Path(__file__).resolve().parents[2] / "packaging" / "winget"

# The schema's patterns for the fields written here.
IDENTIFIER_PATTERN = r'^[^.\s\\/:*?"<>|\x01-\x1f]{1,32}(\.[^.\s\\/:*?"<>|\x01-\x1f]{1,32}){1,7}$'
VERSION_PATTERN = r'^[^\\/:*?"<>|\x01-\x1f]+$'
LOCALE_PATTERN = r"^([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*$"
URL_PATTERN = r"^([Hh][Tt][Tt][Pp][Ss]?)://.+$"
SHA256_PATTERN = r"^[A-Fa-f0-9]{64}$"
OS_PART = r"(0|[1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5])"
OS_VERSION_PATTERN = rf"^{OS_PART}(\.{OS_PART}){{0,3}}$"
MANIFEST_VERSION_PATTERN = rf"^{OS_PART}(\.{OS_PART}){{2}}$"
EXTENSION_PATTERN = r'^[^\\/:*?"<>|\x01-\x1f.]+$'  # the schema's, and no dot: winget wants "wav"

# field: (required, check); a check returns a fault or None.
def text(pattern=None, least=1, most=None):
    def check(value):
        if not isinstance(value, str):
            return f"is {type(value).__name__}, not a string"
        if len(value) < least or (most is not None and len(value) > most):
            return f"is {len(value)} characters long, not {least} to {most}"
        if pattern is not None and re.match(pattern, value) is None:
            return f"'{value}' does not match {pattern}"
        return None
    return check


def one_of(*allowed):
    return lambda value: None if value in allowed else f"'{value}' is none of {', '.join(allowed)}"


def items(check, most):
    def each(value):
        if not isinstance(value, list) or not value:
            return "is no list, or an empty one"
        if len(value) > most or len(set(map(str, value))) != len(value):
            return f"has more than {most} items, or one twice"
        faults = [fault for fault in map(check, value) if fault]
        return faults[0] if faults else None
    return each


def fields(schema):
    def check(value):
        if not isinstance(value, dict):
            return "is no mapping"
        faults = check_fields(value, schema)
        return "; ".join(faults) if faults else None
    return check


SWITCH = text(most=512)
INSTALLER = {
    "Architecture": (True, one_of("x86", "x64", "arm", "arm64", "neutral")),
    "InstallerUrl": (True, text(URL_PATTERN, most=2048)),
    "InstallerSha256": (True, text(SHA256_PATTERN)),
}
COMMON = {
    "PackageIdentifier": (True, text(IDENTIFIER_PATTERN, most=128)),
    "PackageVersion": (True, text(VERSION_PATTERN, most=128)),
    "ManifestVersion": (True, text(MANIFEST_VERSION_PATTERN)),
}
SCHEMAS = {
    "version": {**COMMON, "DefaultLocale": (True, text(LOCALE_PATTERN, most=20)),
                "ManifestType": (True, one_of("version"))},
    "installer": {
        **COMMON,
        "ManifestType": (True, one_of("installer")),
        "MinimumOSVersion": (False, text(OS_VERSION_PATTERN)),
        "InstallerType": (True, one_of("msix", "msi", "appx", "exe", "zip", "inno", "nullsoft", "wix", "burn",
                                       "pwa", "portable")),
        "Scope": (False, one_of("user", "machine")),
        "InstallModes": (False, items(one_of("interactive", "silent", "silentWithProgress"), 3)),
        "InstallerSwitches": (False, fields({name: (False, SWITCH) for name in (
            "Silent", "SilentWithProgress", "Interactive", "InstallLocation", "Log", "Upgrade", "Custom")})),
        "UpgradeBehavior": (False, one_of("install", "uninstallPrevious")),
        "ElevationRequirement": (False, one_of("elevationRequired", "elevationProhibited", "elevatesSelf")),
        "FileExtensions": (False, items(text(EXTENSION_PATTERN, most=64), 512)),
        "Installers": (True, items(fields(INSTALLER), 1024)),
    },
    "defaultLocale": {
        **COMMON,
        "ManifestType": (True, one_of("defaultLocale")),
        "PackageLocale": (True, text(LOCALE_PATTERN, most=20)),
        "Publisher": (True, text(least=2, most=256)),
        "PackageName": (True, text(least=2, most=256)),
        "License": (True, text(least=3, most=512)),
        "Copyright": (False, text(least=3, most=512)),
        "ShortDescription": (True, text(least=3, most=256)),
        "Description": (False, text(least=3, most=10000)),
        "Moniker": (False, text(r"^\S+$", most=40)),
        "Tags": (False, items(text(r"^\S+$", most=40), 16)),
    },
}


def check_fields(manifest, schema):
    faults = [f"{name} is missing" for name, (required, _) in schema.items() if required and name not in manifest]
    for name, value in manifest.items():
        if name not in schema:
            faults.append(f"{name} is no field of the schema")
        elif (fault := schema[name][1](value)) is not None:
            faults.append(f"{name} {fault}")
    return faults


def check(folder):
    folder = pathlib.Path(folder)
    faults = []
    manifests = {}
    for path in sorted(folder.glob("*.yaml")):
        try:
            manifest = yaml.safe_load(path.read_text(encoding="utf-8"))
        except yaml.YAMLError as error:
            faults.append(f"{path.name}: not YAML: {str(error).splitlines()[0]}")
            continue
        kind = manifest.get("ManifestType") if isinstance(manifest, dict) else None
        if kind not in SCHEMAS:
            faults.append(f"{path.name}: ManifestType is none of {', '.join(SCHEMAS)}")
            continue
        if kind in manifests:
            faults.append(f"{path.name}: a second {kind} manifest")
        manifests[kind] = manifest
        faults += [f"{path.name}: {fault}" for fault in check_fields(manifest, SCHEMAS[kind])]
    faults += [f"no {kind} manifest" for kind in SCHEMAS if kind not in manifests]
    for name in COMMON:
        values = {str(m.get(name)) for m in manifests.values()}
        if len(values) > 1:
            faults.append(f"the manifests differ in {name}: {', '.join(sorted(values))}")
    if "version" in manifests and "defaultLocale" in manifests:
        if manifests["version"].get("DefaultLocale") != manifests["defaultLocale"].get("PackageLocale"):
            faults.append("DefaultLocale is not the default-locale manifest's PackageLocale")
    return faults


def fill(version, installer, url, out):
    digest = hashlib.sha256(pathlib.Path(installer).read_bytes()).hexdigest().upper()
    folder = pathlib.Path(out) / "manifests" / IDENTIFIER[0] / IDENTIFIER.replace(".", "/") / version
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.glob("*.yaml"):
        old.unlink()
    for template in sorted(TEMPLATES.glob("*.yaml.in")):
        filled = (template.read_text(encoding="utf-8").replace("@VERSION@", version).replace("@INSTALLER_URL@", url)
                  .replace("@INSTALLER_SHA256@", digest))
        (folder / template.name.removesuffix(".in")).write_text(filled, encoding="utf-8")
    return folder


def main(argv):
    if len(argv) == 5 and argv[0] == "fill":
        folder = fill(*argv[1:])
    elif len(argv) == 2 and argv[0] == "check":
        folder = argv[1]
    else:
        print("sonavel: usage: winget.py fill VERSION INSTALLER URL OUT | check FOLDER", file=sys.stderr)
        return 2
    faults = check(folder)
    for fault in faults:
        print(f"sonavel: winget manifest: {fault}", file=sys.stderr)
    if argv[0] == "fill" and not faults:
        print(folder)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
