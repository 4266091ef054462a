#!/usr/bin/env bash
# Builds the Debian package and checks it as a parent's machine would meet it: lintian, its
# contents, then (as root) install, a parent's settings kept across an upgrade, remove, purge.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/package.sh
deb=$(realpath build-package/harbinel_*.deb)
fail() { echo "FAIL: $*" >&2; exit 1; }

contents=$(dpkg-deb --contents "$deb")
for file in ./usr/bin/harbinel ./usr/bin/harbinel-lists ./usr/bin/harbinel-session \
  ./etc/harbinel/data.plist ./usr/share/harbinel/dmn ./usr/share/harbinel/dmnsame \
  ./usr/share/harbinel/MainMenu.ui ./usr/share/harbinel/HistoryView.ui \
  ./usr/share/locale/de/LC_MESSAGES/harbinel.mo ./usr/share/applications/net.harbinel.Harbinel.desktop \
  ./usr/share/metainfo/net.harbinel.Harbinel.metainfo.xml ./usr/share/xsessions/harbinel-session.desktop \
  ./usr/share/icons/hicolor/scalable/apps/net.harbinel.Harbinel.svg \
  ./usr/share/man/man1/harbinel.1.gz ./usr/share/doc/harbinel/copyright; do
  grep -q " $file\$" <<<"$contents" || grep -q " $file -> " <<<"$contents" || fail "the package lacks $file"
done
grep -q ' ./usr/share/harbinel/data.plist -> /etc/harbinel/data.plist$' <<<"$contents" ||
  fail "the resource folder's settings file is not a link to /etc/harbinel/data.plist"
grep -q '^/etc/harbinel/data.plist$' <(dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles) ||
  fail "the settings file is not a configuration file of the package"
dpkg-deb --field "$deb" Depends | grep -q 'libwebkitgtk-6.0' || fail "Depends lacks WebKitGTK"
echo "package contents and dependencies: ok"

if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null; then
  echo "not root: the package is not installed here"
  exit 0
fi
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -q "$deb" >/dev/null
[ "$(stat -c '%U:%G %a' /etc/harbinel)" = "root:harbinel 2770" ] || fail "/etc/harbinel ownership"
[ "$(stat -c '%U:%G %a' /etc/harbinel/data.plist)" = "root:harbinel 660" ] || fail "settings ownership"
harbinel-lists /usr/share/harbinel/dmn >/dev/null 2>&1 || fail "harbinel-lists does not run"

# A parent's settings survive an upgrade (here: the same package installed again).
python3 - <<'PY'
import plistlib
with open("/etc/harbinel/data.plist", "rb") as f: settings = plistlib.load(f)
settings["PD"] = "kept across upgrades"
with open("/etc/harbinel/data.plist", "wb") as f: plistlib.dump(settings, f)
PY
apt-get install -y -q --reinstall "$deb" >/dev/null
python3 -c 'import plistlib,sys; sys.exit(plistlib.load(open("/etc/harbinel/data.plist","rb"))["PD"] != "kept across upgrades")' ||
  fail "an upgrade replaced the parent's settings"

apt-get remove -y -q harbinel >/dev/null
[ ! -e /usr/bin/harbinel ] || fail "remove left the program"
[ -e /etc/harbinel/data.plist ] || fail "remove took the parent's settings (only purge may)"
apt-get purge -y -q harbinel >/dev/null
[ ! -e /etc/harbinel ] || fail "purge left /etc/harbinel"
echo "package install, upgrade, remove and purge: ok"

# The example playbook sets this machine up as a kiosk, as a school's administrator would.
for tool in ansible-core python3-apt; do
  dpkg-query -W -f='${Status}' "$tool" 2>/dev/null | grep -q 'install ok installed' ||
    apt-get install -y -q --no-install-recommends "$tool" >/dev/null
done
ANSIBLE_NOCOLOR=1 ansible-playbook -c local -i localhost, deploy/ansible/site.yml \
  -e harbinel_deb="$deb" -e harbinel_install_lightdm=false | tail -n 3
[ "$(stat -c '%U:%G %a' /etc/harbinel/managed.plist)" = "root:harbinel 640" ] ||
  fail "managed.plist ownership: $(stat -c '%U:%G %a' /etc/harbinel/managed.plist)"
python3 -c 'import plistlib,sys; s=plistlib.load(open("/etc/harbinel/managed.plist","rb")); sys.exit(s.get("BW1") != "chat.example" or s.get("WS") != "ON")' ||
  fail "managed.plist does not hold the playbook's settings"
[ -f /etc/harbinel/lists.d/school.list ] || fail "the school's list is not in lists.d"
id -nG kiosk | grep -qw harbinel || fail "the kiosk account is not in the group harbinel"
grep -qx 'autologin-session=harbinel-session' /etc/lightdm/lightdm.conf.d/50-harbinel.conf ||
  fail "LightDM does not start the kiosk session"
checked=$(harbinel-lists check http://www.blocked-by-school.example/ || true)
grep -q "refused by /etc/harbinel/lists.d/school.list line 1" <<<"$checked" ||
  fail "harbinel-lists check does not refuse a host of the school's list: $checked"
apt-get purge -y -q harbinel >/dev/null
userdel -r kiosk 2>/dev/null || true
rm -f /etc/lightdm/lightdm.conf.d/50-harbinel.conf /var/cache/harbinel.deb
echo "example playbook: ok"
