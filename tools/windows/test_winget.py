#!/usr/bin/python3
"""The winget manifests as filled in from packaging/winget/, and the faults the check must catch."""
import hashlib
import pathlib
import sys
import tempfile
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import winget  # noqa: E402

import yaml  # noqa: E402

URL = "https://example.org/sonavel-0.1.0-windows-x64-setup.exe"


class Manifests(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.addCleanup(self.scratch.cleanup)
        self.installer = pathlib.Path(self.scratch.name) / "setup.exe"
        self.installer.write_bytes(b"MZ an installer")
        self.folder = winget.fill("0.1.0", self.installer, URL, self.scratch.name)

    def load(self, kind):
        return yaml.safe_load((self.folder / f"sonavel.sonavel{kind}.yaml").read_text())

    def change(self, kind, edit):
        path = self.folder / f"sonavel.sonavel{kind}.yaml"
        manifest = yaml.safe_load(path.read_text())
        edit(manifest)
        path.write_text(yaml.safe_dump(manifest))

    def test_the_filled_manifests_pass_with_the_installer_its_url_and_version(self):
        self.assertEqual(winget.check(self.folder), [])
        self.assertEqual(self.folder.relative_to(self.scratch.name).as_posix(), "manifests/s/sonavel/sonavel/0.1.0")
        installer = self.load(".installer")["Installers"][0]
        self.assertEqual(installer["InstallerSha256"], hashlib.sha256(b"MZ an installer").hexdigest().upper())
        self.assertEqual(installer["InstallerUrl"], URL)
        self.assertEqual({self.load(kind)["PackageVersion"] for kind in ("", ".installer", ".locale.en-US")}, {"0.1.0"})
        # The installer's file associations, as winget lists them.
        self.assertEqual(self.load(".installer")["FileExtensions"], ["flac", "mp3", "ogg", "opus", "wav"])

    def test_each_fault_is_named(self):
        def drop(name, inner=None):
            def edit(manifest):
                del (manifest["Installers"][0] if inner else manifest)[name]
            return edit

        def put(name, value, inner=False):
            def edit(manifest):
                (manifest["Installers"][0] if inner else manifest)[name] = value
            return edit

        cases = [
            (".installer", drop("InstallerSha256", inner=True), "InstallerSha256 is missing"),
            (".installer", put("InstallerSha256", "12ab", inner=True), "InstallerSha256 '12ab' does not match"),
            (".installer", put("InstallerUrl", "ftp://example.org/a.exe", inner=True), "InstallerUrl 'ftp:"),
            (".installer", put("Architecture", "amd64", inner=True), "Architecture 'amd64' is none of"),
            (".installer", put("FileExtensions", [".wav"]), "FileExtensions '.wav' does not match"),
            (".installer", put("FileExtensions", ["wav", "wav"]), "FileExtensions has more than 512 items, or one twice"),
            (".installer", put("InstallerType", "nsis"), "InstallerType 'nsis' is none of"),
            (".installer", put("InstallerSwitches", {"Quiet": "/S"}), "InstallerSwitches Quiet is no field"),
            (".installer", put("Installers", []), "Installers is no list, or an empty one"),
            (".installer", put("PackageVersion", "0.2.0"), "the manifests differ in PackageVersion"),
            (".installer", put("ManifestVersion", "1.6"), "ManifestVersion '1.6' does not match"),
            ("", put("PackageIdentifier", "sonavel"), "PackageIdentifier 'sonavel' does not match"),
            ("", put("DefaultLocale", "de-DE"), "DefaultLocale is not the default-locale manifest's PackageLocale"),
            ("", put("Publisher", "x"), "Publisher is no field of the schema"),
            (".locale.en-US", drop("License"), "License is missing"),
            (".locale.en-US", put("ManifestType", "locale"), "ManifestType is none of"),
            (".locale.en-US", put("Tags", ["two words"]), "Tags 'two words' does not match"),
        ]
        for kind, edit, fault in cases:
            with self.subTest(fault=fault):
                self.setUp()
                self.change(kind, edit)
                faults = winget.check(self.folder)
                self.assertTrue(any(fault in line for line in faults), faults)

    def test_a_missing_manifest_and_a_file_that_is_not_yaml(self):
        (self.folder / "sonavel.sonavel.yaml").unlink()
        (self.folder / "broken.yaml").write_text("PackageIdentifier: [unclosed\n")
        faults = winget.check(self.folder)
        self.assertIn("no version manifest", faults)
        self.assertTrue(any(line.startswith("broken.yaml: not YAML") for line in faults), faults)


if __name__ == "__main__":
    unittest.main()
