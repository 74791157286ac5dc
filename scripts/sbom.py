#!/usr/bin/env python3
"""Writes the SPDX 2.3 bill of materials of a deliverable: every shipped file with its hashes, and the
packages the files come from with version, source and licence.

  sbom.py deb DEB OUTPUT                    the Debian package and the Debian packages it depends on
  sbom.py windows DIST SDK VERSION OUTPUT   dist/ordovant: ordovant, Qt with the libraries it bundles,
                                            SQLite and the mingw-w64 runtime, as recorded in the SDK

The output depends on nothing but its inputs and SOURCE_DATE_EPOCH, so that two builds of one commit
give the same bill."""
import hashlib
import io
import json
import os
import re
import subprocess
import sys
import tarfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
DEBIAN_POOL = "https://deb.debian.org/debian/pool/main"
OURS = "LicenseRef-ordovant-proprietary"


def fail(message):
    sys.exit(f"sbom.py: {message}")


def spdx_id(text):
    return "SPDXRef-" + re.sub(r"[^A-Za-z0-9.-]", "-", text)


def debian_source(source, version):
    """Where Debian keeps a source package of this version (the epoch is not part of the file name)."""
    prefix = source[:4] if source.startswith("lib") else source[0]
    # No epoch, and no rebuild suffix (+b1) of a binary package: the source's own version.
    upstream = re.sub(r"\+b[0-9]+$", "", version.split(":", 1)[-1])
    return f"{DEBIAN_POOL}/{prefix}/{source}/{source}_{upstream}.dsc"


def package(name, version, download, licence, supplier="NOASSERTION", copyright_text="NOASSERTION",
            comment=None):
    entry = {
        "SPDXID": spdx_id(f"Package-{name}"),
        "name": name,
        "versionInfo": version,
        "supplier": supplier,
        "downloadLocation": download,
        "filesAnalyzed": False,
        "licenseConcluded": licence,
        "licenseDeclared": licence,
        "copyrightText": copyright_text,
    }
    if comment:
        entry["comment"] = comment
    return entry


def ordovant_package(version):
    return package("ordovant", version, "NOASSERTION", OURS, "Organization: ordovant developers",
                   "2026 ordovant developers")


def file_entry(name, data):
    return {
        "fileName": "./" + name,
        "SPDXID": spdx_id("File-" + name),
        "checksums": [
            {"algorithm": "SHA1", "checksumValue": hashlib.sha1(data).hexdigest()},
            {"algorithm": "SHA256", "checksumValue": hashlib.sha256(data).hexdigest()},
        ],
        "licenseConcluded": "NOASSERTION",
        "copyrightText": "NOASSERTION",
    }


def document(name, packages, files, owners, relations):
    """owners maps each file's name to the name of the package it comes from."""
    by_name = {entry["name"]: entry["SPDXID"] for entry in packages}
    relationships = [{"spdxElementId": "SPDXRef-DOCUMENT", "relationshipType": "DESCRIBES",
                      "relatedSpdxElement": by_name["ordovant"]}]
    for entry in files:
        relationships.append({"spdxElementId": by_name[owners[entry["fileName"][2:]]],
                              "relationshipType": "CONTAINS", "relatedSpdxElement": entry["SPDXID"]})
    for left, kind, right in relations:
        relationships.append({"spdxElementId": by_name[left], "relationshipType": kind,
                              "relatedSpdxElement": by_name[right]})
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "0"))
    body = {
        "spdxVersion": "SPDX-2.3",
        "dataLicense": "CC0-1.0",
        "SPDXID": "SPDXRef-DOCUMENT",
        "name": name,
        "creationInfo": {"created": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(epoch)),
                         "creators": ["Organization: ordovant developers", "Tool: ordovant-sbom.py"]},
        "packages": packages,
        "files": files,
        "relationships": relationships,
        "hasExtractedLicensingInfos": [{
            "licenseId": OURS,
            "name": "ordovant proprietary licence",
            "extractedText": (ROOT / "doc/copyright").read_text(encoding="utf-8"),
        }],
    }
    # A namespace unique to this content, yet the same for the same content.
    digest = hashlib.sha256(json.dumps(body, sort_keys=True).encode()).hexdigest()
    body["documentNamespace"] = f"https://ordovant.example.org/spdx/{name}-{digest}"
    return body


def write(path, body):
    temporary = Path(str(path) + ".tmp")
    with open(temporary, "w", encoding="utf-8") as out:
        json.dump(body, out, indent=1, ensure_ascii=False)
        out.write("\n")
        out.flush()
        os.fsync(out.fileno())
    os.replace(temporary, path)


def dpkg_query(fmt, name):
    result = subprocess.run(["dpkg-query", "-W", "-f", fmt, name], capture_output=True, text=True)
    if result.returncode != 0 or not result.stdout:
        fail(f"the Debian package {name} is not installed here, so its version is unknown")
    return result.stdout


def from_deb(deb, output):
    control = subprocess.run(["dpkg-deb", "-f", deb, "Version", "Depends"], capture_output=True,
                             text=True, check=True).stdout
    fields = dict(line.split(": ", 1) for line in control.splitlines() if ": " in line)
    packages = [ordovant_package(fields["Version"])]
    relations = []
    for alternatives in fields.get("Depends", "").split(","):
        name = re.sub(r"[ (].*", "", alternatives.split("|")[0].strip())
        source, source_version, version = dpkg_query(
            "${source:Package} ${source:Version} ${Version}", name).split()
        packages.append(package(name, version, debian_source(source, source_version), "NOASSERTION",
                                "Organization: Debian", comment=f"Debian source package {source}"))
        relations.append(("ordovant", "DEPENDS_ON", name))

    tar = subprocess.run(["dpkg-deb", "--fsys-tarfile", deb], capture_output=True, check=True).stdout
    files = []
    with tarfile.open(fileobj=io.BytesIO(tar)) as archive:
        for member in archive:
            if member.isfile():
                files.append(file_entry(member.name.removeprefix("./"), archive.extractfile(member).read()))
    files.sort(key=lambda entry: entry["fileName"])
    owners = {entry["fileName"][2:]: "ordovant" for entry in files}
    write(output, document(Path(output).name.removesuffix(".spdx.json"), packages, files, owners, relations))


def attributions(sources):
    """The libraries of Qt's source tree that the SDK's Qt compiled or included, one entry each."""
    found = []
    for path in sorted((sources / "attribution").rglob("qt_attribution.json")):
        # Qt's files hold raw line breaks inside strings.
        data = json.loads(path.read_text(encoding="utf-8"), strict=False)
        for entry in data if isinstance(data, list) else [data]:
            found.append((str(path.relative_to(sources / "attribution").parent), entry))
    if not found:
        fail(f"{sources}/attribution holds no qt_attribution.json")
    return found


def licence_expression(text):
    """Qt's LicenseId as an SPDX expression; one that is none (a name, a URN) is not asserted."""
    if not text:
        return "NOASSERTION"
    expression = re.sub(r"\b(or|and|with)\b", lambda word: word.group(1).upper(), text)
    tokens = expression.replace("(", " ").replace(")", " ").split()
    # Licence identifiers and operators in turn, an identifier first and last.
    valid = len(tokens) % 2 == 1 and all(
        (token in ("OR", "AND", "WITH")) == (index % 2 == 1) and re.fullmatch(r"[A-Za-z0-9.+-]+", token)
        for index, token in enumerate(tokens))
    return expression if valid else "NOASSERTION"


def from_windows(dist, sdk, version, output):
    sources = Path(sdk) / "share/ordovant-sources"
    if not (sources / "versions").is_file():
        fail(f"the Windows SDK {sdk} does not record its sources ({sources}/versions): build it afresh "
             "with scripts/windows-sdk.sh")
    versions = dict(line.split("=", 1) for line in (sources / "versions").read_text().split())
    qt, sqlite = versions["qt6-base"], versions["sqlite3"]
    qt_upstream = qt.split("+")[0]
    packages = [
        ordovant_package(version),
        package("qt6-base", qt, debian_source("qt6-base", qt), "LGPL-3.0-only OR GPL-2.0-only OR GPL-3.0-only",
                "Organization: The Qt Company", "Copyright (C) The Qt Company Ltd. and other contributors",
                f"Qt {qt_upstream} qtbase, built from Debian's source package with its patches"),
        package("sqlite3", sqlite, debian_source("sqlite3", sqlite), "blessing",
                comment="built from Debian's source package into sqlite3.dll"),
        package("gcc-mingw-w64", versions["gcc-mingw-w64"], debian_source("gcc-mingw-w64", versions["gcc-mingw-w64"]),
                "GPL-3.0-or-later WITH GCC-exception-3.1", "Organization: Debian",
                comment="the C++ runtime libstdc++-6.dll and libgcc_s_seh-1.dll of Debian's cross compiler"),
        package("mingw-w64", versions["mingw-w64"], debian_source("mingw-w64", versions["mingw-w64"]),
                "MIT AND BSD-3-Clause", "Organization: Debian",
                comment="the thread library libwinpthread-1.dll (winpthreads)"),
    ]
    relations = [(name, "RUNTIME_DEPENDENCY_OF", "ordovant")
                 for name in ("qt6-base", "sqlite3", "gcc-mingw-w64", "mingw-w64")]
    for where, entry in attributions(sources):
        name = f"qt6-base-{entry.get('Id', Path(where).name)}"
        if any(known["name"] == name for known in packages):
            continue
        download = entry.get("DownloadLocation", "")
        bundled = package(name, entry.get("Version", "NOASSERTION"),
                          download if download.startswith(("http://", "https://")) else "NOASSERTION",
                          licence_expression(entry.get("LicenseId")),
                          copyright_text=entry.get("Copyright") or "NOASSERTION",
                          comment=f"{entry.get('Name', name)}, bundled into Qt from {where}; "
                                  f"licence as Qt names it: {entry.get('License', 'none named')}")
        if entry.get("Homepage", "").startswith(("http://", "https://")):
            bundled["homepage"] = entry["Homepage"]
        packages.append(bundled)
        relations.append(("qt6-base", "CONTAINS", name))

    files, owners = [], {}
    dist = Path(dist)
    for path in sorted(p for p in dist.rglob("*") if p.is_file()):
        name = path.relative_to(dist).as_posix()
        files.append(file_entry(name, path.read_bytes()))
        base = path.name.lower()
        if base in ("ordovant.exe", "ordovant-db.exe") or name.startswith("doc/"):
            owners[name] = "ordovant"
        elif base == "sqlite3.dll":
            owners[name] = "sqlite3"
        elif base in ("libstdc++-6.dll", "libgcc_s_seh-1.dll"):
            owners[name] = "gcc-mingw-w64"
        elif base == "libwinpthread-1.dll":
            owners[name] = "mingw-w64"
        elif base.endswith(".dll"):
            owners[name] = "qt6-base"
        else:
            fail(f"no package is known for {name}")
    write(output, document(Path(output).name.removesuffix(".spdx.json"), packages, files, owners, relations))


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "deb":
        from_deb(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 6 and sys.argv[1] == "windows":
        from_windows(*sys.argv[2:])
    else:
        sys.exit(__doc__)
