#!/usr/bin/env bash
# Checks the resources of the built sizewalk.exe from outside Windows, with
# icoutils: exactly dialog 102, icon 128 (16 and 32 px in 16 colours, 48 px in
# 256), one version block, whose strings are the product's, and the
# application manifest, which must be well-formed XML saying what it should.
#   check-resources.sh PATH/TO/sizewalk.exe WORK_DIR
set -euo pipefail
exe=$1 work=$2
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

# Named resources, leaving out the icon images that belong to group 128.
wrestool --list "$exe" | grep -v -- '--type=3 ' | sed 's/ \[.*//' | sort > "$work/list"
cat > "$work/list.expected" <<'LIST'
--type=14 --name=128 --language=1033
--type=16 --name=1 --language=1033
--type=24 --name=1 --language=1033
--type=5 --name=102 --language=1033
LIST
diff -u "$work/list.expected" "$work/list" || fail "resource list differs"

wrestool --extract --type=14 --name=128 "$exe" > "$work/icon.ico"
icotool --list "$work/icon.ico" > "$work/icons"
cat > "$work/icons.expected" <<'ICONS'
--icon --index=1 --width=16 --height=16 --bit-depth=4 --palette-size=16
--icon --index=2 --width=32 --height=32 --bit-depth=4 --palette-size=16
--icon --index=3 --width=48 --height=48 --bit-depth=8 --palette-size=256
ICONS
diff -u "$work/icons.expected" "$work/icons" || fail "icon images differ"
# The images must also come out as pictures, not only as headers.
icotool --extract --output="$work" "$work/icon.ico"
[ "$(ls "$work"/icon_*.png | wc -l)" -eq 3 ] || fail "icon images do not extract"

# Strings are UTF-16 in the file: decode, then cut at everything unprintable
# (lengths, types, padding) so that each string stands on a line of its own.
export LC_ALL=C
strings16() { iconv -f UTF-16LE -t UTF-8 -c | tr -c '[:print:]' '\n' | grep -v '^$' || true; }
wrestool --extract --raw --type=16 "$exe" | strings16 > "$work/version"
for expected in StringFileInfo 040904b0 VarFileInfo Translation \
                FileVersion ProductVersion "1, 0, 0, 1" \
                InternalName SIZEWALK OriginalFilename SIZEWALK.EXE \
                ProductName "SIZEWALK Application" FileDescription "SIZEWALK MFC Application"; do
  grep -qxF "$expected" "$work/version" || fail "version block lacks the string \"$expected\""
done

# The dialog's caption and control texts, in template order.
wrestool --extract --raw --type=5 --name=102 "$exe" | strings16 | grep -xiE 'Sizewalk|MS Sans Serif|OK|Cancel|SysTreeView32|Tree1|Start from:|Show Files|Display|MB|KB|Bytes' \
  | tr '\n' '|' > "$work/dialog"
[ "$(cat "$work/dialog")" = "Sizewalk|MS Sans Serif|OK|Cancel|SYSTREEVIEW32|Tree1|Start from:|Show Files|Display|MB|KB|Bytes|" ] \
  || fail "dialog texts differ: $(cat "$work/dialog")"
wrestool --extract --raw --type=24 --name=1 "$exe" > "$work/manifest.xml"
python3 - "$work/manifest.xml" <<'PY' || fail "manifest differs"
import sys
import xml.etree.ElementTree as ET
asm1, asm3 = "urn:schemas-microsoft-com:asm.v1", "urn:schemas-microsoft-com:asm.v3"
root = ET.parse(sys.argv[1]).getroot()
assert root.tag == "{%s}assembly" % asm1, root.tag
dep = root.find("{%s}dependency/{%s}dependentAssembly/{%s}assemblyIdentity" % (asm1, asm1, asm1))
assert dep is not None and dep.get("name") == "Microsoft.Windows.Common-Controls", dep
assert dep.get("version") == "6.0.0.0" and dep.get("publicKeyToken") == "6595b64144ccf1df", dep.attrib
ids = [e.get("Id") for e in root.iter("{urn:schemas-microsoft-com:compatibility.v1}supportedOS")]
assert ids == ["{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"], ids
settings = root.find("{%s}application/{%s}windowsSettings" % (asm3, asm3))
s2005, s2016 = "http://schemas.microsoft.com/SMI/2005/WindowsSettings", "http://schemas.microsoft.com/SMI/2016/WindowsSettings"
assert settings.find("{%s}dpiAware" % s2005).text == "true/pm"
assert settings.find("{%s}dpiAwareness" % s2016).text == "PerMonitorV2, PerMonitor"
assert settings.find("{%s}longPathAware" % s2016).text == "true"
level = root.find("{%s}trustInfo/{%s}security/{%s}requestedPrivileges/{%s}requestedExecutionLevel" % ((asm3,) * 4))
assert level.get("level") == "asInvoker", level.attrib
PY

echo "resources of $exe: dialog 102, icon 128, version block, manifest as expected"
