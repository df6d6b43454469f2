#!/usr/bin/env bash
# Makes the packages and checks them the way a user meets them:
#   Linux: the two Debian packages are installed with apt-get (the launcher first, alone), the
#   installed /usr/bin/tarnwick_desktop runs under Xvfb, starts the stand-in daemon it finds on PATH,
#   shows its page in the "Tarnwick" window and ends with 0 when the window is closed; the desktop
#   entry and the AppStream metainfo validate; the packages are removed again, also on failure, and
#   those that were installed before the run are put back as they were.
#   Windows: the zip holds the launcher, the stand-in daemon in a folder of its own and the read-me,
#   and the programs import system DLLs only.
#
#   scripts/package-tests.sh [--linux-build DIR] [--windows-build DIR] [--screenshot FILE]
#
# --screenshot keeps the picture of the launcher's window, taken while it shows the daemon's page.
# Needs root (apt-get) and the two builds made (scripts/test.sh makes build/linux and build/windows).
# The launcher runs in a test sandbox (build/linux/tests/test_sandbox): the daemon it starts has the
# port and process list of its own, never meets a daemon of the user's and ends with the run.
set -uo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
linux_build="$top/build/linux"
windows_build="$top/build/windows"
screenshot=""
while [ $# -gt 0 ]; do
  case "$1" in
    --linux-build) linux_build="$(realpath "$2")"; shift 2 ;;
    --windows-build) windows_build="$(realpath "$2")"; shift 2 ;;
    --screenshot) screenshot="$(realpath -m "$2")"; shift 2 ;;
    --run-launcher) shift; run_launcher_only=1; work="$1"; x_tool="$2"; shift 2 ;;
    *) echo "usage: $0 [--linux-build DIR] [--windows-build DIR] [--screenshot FILE]" >&2; exit 2 ;;
  esac
done

launcher_package=tarnwick-desktop
standin_package=tarnwickd-standin
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }
# Runs the command quietly; shows its output when it fails.
check() {
  local what="$1" output
  shift
  if output="$("$@" 2>&1)"; then
    pass "$what"
  else
    fail "$what"
    [ -z "$output" ] || echo "$output"
  fi
}

# The pids of running processes whose executable is the file.
pids_of() {
  local link pid
  for link in /proc/[0-9]*/exe; do
    [ "$(readlink "$link" 2>/dev/null)" = "$1" ] || continue
    pid="${link#/proc/}"
    echo "${pid%/exe}"
  done
}
# The pids of the daemons this run's launcher started (they report to its log).
our_daemons() {
  local pid
  for pid in $(pids_of /usr/bin/tarnwickd); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "TARNWICKD_LOG=$work/requests.log" && echo "$pid"
  done
}

# The launcher run, inside the Xvfb display (this script calls itself under xvfb-run). The daemon
# that the launcher starts writes each request it serves to requests.log.
run_launcher() {
  local log="$work/requests.log" err="$work/launcher.err" id size wm_class pid status waited
  env PATH=/usr/bin:/bin TARNWICKD_LOG="$log" NO_AT_BRIDGE=1 /usr/bin/tarnwick_desktop 2>"$err" &
  pid=$!
  if ! id="$("$x_tool" wait-title Tarnwick 30)"; then
    fail "the Tarnwick window appears"
    cat "$err"
    kill "$pid" 2>/dev/null
    wait "$pid"
    return
  fi
  pass "the Tarnwick window appears"
  size="$("$x_tool" size "$id")"
  [ "$size" = 1024x768 ] && pass "the window is 1024x768" || fail "the window is 1024x768 (it is $size)"
  # Desktops match the window to its menu entry through the entry's StartupWMClass.
  wm_class="$(sed -n 's/^StartupWMClass=//p' /usr/share/applications/tarnwick.desktop)"
  xprop -id "$id" WM_CLASS | grep -q "= \"$wm_class\"," && pass "the window's class is the desktop entry's" ||
    fail "the window's class is the desktop entry's: $(xprop -id "$id" WM_CLASS)"
  if [ -n "$(pids_of /usr/bin/tarnwickd)" ]; then
    pass "the launcher started /usr/bin/tarnwickd"
  else
    fail "the launcher started /usr/bin/tarnwickd"
    cat "$err"
    grep -H tarnwickd /proc/[0-9]*/comm 2>/dev/null
  fi
  waited=0
  until grep -qx "GET /" "$log" 2>/dev/null || [ $waited -ge 100 ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  check "the window loads the daemon's page" grep -qx "GET /" "$log"
  # The page asks for /loaded once its load event has fired.
  waited=0
  until grep -qx "GET /loaded" "$log" 2>/dev/null || [ $waited -ge 50 ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  check "the window shows the page" "$x_tool" wait-drawn "$id" 15
  # Text and layout settle a moment after the first paint.
  sleep 2
  check "a screenshot of the window" import -window "$id" "$work/screenshot.png"

  "$x_tool" close "$id"
  waited=0
  while kill -0 "$pid" 2>/dev/null && [ $waited -lt 150 ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  if kill -0 "$pid" 2>/dev/null; then
    fail "the launcher ends when its window is closed"
    kill -9 "$pid"
  fi
  wait "$pid"
  status=$?
  [ $status -eq 0 ] && pass "the launcher ends with 0" || { fail "the launcher ends with 0 (it ended with $status)"; cat "$err"; }
}

if [ "${run_launcher_only:-0}" = 1 ]; then
  run_launcher
  exit $((failures > 0))
fi

work="$(mktemp -d /tmp/tarnwick-package-XXXXXX)"
# apt reads the local packages as its own user.
chmod 755 "$work"
installed=0
cleanup() {
  if [ $installed = 1 ]; then
    apt-get purge -y -o DPkg::Lock::Timeout=300 "$launcher_package" "$standin_package" >/dev/null 2>&1 ||
      echo "could not remove the packages"
  fi
  restore_saved
  [ "${keep_work:-0}" = 1 ] || rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

apt_install() { DEBIAN_FRONTEND=noninteractive apt-get install -y -o DPkg::Lock::Timeout=300 "$@" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; false; }; }
is_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
# The field of a control file, from a package file.
field() { dpkg-deb -f "$1" "$2"; }

# A package of ours installed before the run, made into a package file again from what dpkg knows of
# it (its files, control fields, conffiles and maintainer scripts), so that the run can put it back.
save_installed() {
  local package="$1" root="$work/saved/$1" file script
  is_installed "$package" || return 0
  mkdir -p "$root/DEBIAN"
  while read -r file; do
    if [ -d "$file" ] && [ ! -L "$file" ]; then mkdir -p "$root$file"; elif [ -e "$file" ] || [ -L "$file" ]; then cp -a --parents "$file" "$root"; fi
  done < <(dpkg-query -L "$package")
  dpkg-query -s "$package" | awk '/^[^ ]/ { keep = $1 != "Status:" && $1 != "Conffiles:" } keep' >"$root/DEBIAN/control"
  dpkg-query -W -f='${Conffiles}\n' "$package" | awk 'NF { print $1 }' >"$root/DEBIAN/conffiles"
  [ -s "$root/DEBIAN/conffiles" ] || rm "$root/DEBIAN/conffiles"
  for script in preinst postinst prerm postrm; do
    [ -f "/var/lib/dpkg/info/$package.$script" ] && install -m 755 "/var/lib/dpkg/info/$package.$script" "$root/DEBIAN/$script"
  done
  dpkg-deb --root-owner-group --build "$root" "$work/saved/$package.deb" >/dev/null && rm -rf "$root" &&
    echo "$package $(dpkg-query -W -f='${Version}' "$package") is installed: saved, to be put back after the run"
}
restore_saved() {
  local saved
  saved=("$work"/saved/*.deb)
  [ -e "${saved[0]}" ] || return 0
  if DEBIAN_FRONTEND=noninteractive apt-get install -y --allow-downgrades -o DPkg::Lock::Timeout=300 "${saved[@]}" >"$work/apt-restore.log" 2>&1; then
    echo "put back: $(cd "$work/saved" && echo *.deb)"
    rm -f "${saved[@]}"
  else
    cat "$work/apt-restore.log"
    fail "putting back the packages installed before the run (kept in $work/saved)"
    keep_work=1
  fi
}

echo "--- Linux packages ($linux_build)"
for package in "$launcher_package" "$standin_package"; do save_installed "$package" || fail "saving the installed $package"; done
if ! (cd "$linux_build" && cpack -G DEB -B "$work/deb" >"$work/cpack.log" 2>&1); then
  cat "$work/cpack.log"
  exit 1
fi
launcher_deb="$(ls "$work"/deb/${launcher_package}_*_amd64.deb 2>/dev/null)"
standin_deb="$(ls "$work"/deb/${standin_package}_*_amd64.deb 2>/dev/null)"
if [ -z "$launcher_deb" ] || [ -z "$standin_deb" ]; then
  echo "cpack made no $launcher_package or $standin_package package:"
  ls "$work/deb"
  exit 1
fi

# Dependencies come from the binaries; none of them is the stand-in.
depends="$(field "$launcher_deb" Depends)"
for library in libc6 libgtk-3-0 libwebkit2gtk-4.1-0; do
  [[ "$depends" == *"$library"* ]] && pass "$launcher_package depends on $library" || fail "$launcher_package depends on $library: $depends"
done
[[ "$depends" != *"$standin_package"* ]] && pass "$launcher_package does not depend on the stand-in" || fail "$launcher_package depends on the stand-in"
[[ "$(field "$standin_deb" Depends)" == *libc6* ]] && pass "$standin_package has its dependencies" || fail "$standin_package has no dependencies"

# The launcher alone: no daemon comes along.
installed=1
check "apt-get installs $launcher_package" apt_install "$launcher_deb"
is_installed "$standin_package" && fail "installing the launcher installed the stand-in" || pass "installing the launcher installs no stand-in"
[ ! -e /usr/bin/tarnwickd ] && pass "no /usr/bin/tarnwickd with the launcher alone" || fail "/usr/bin/tarnwickd exists with the launcher alone"
check "apt-get installs $standin_package" apt_install "$standin_deb"
[ "$(dpkg -L "$standin_package" | grep -c '^/usr/bin/')" = 1 ] && dpkg -L "$standin_package" | grep -qx /usr/bin/tarnwickd &&
  pass "$standin_package holds /usr/bin/tarnwickd only" || fail "$standin_package holds /usr/bin/tarnwickd only"

check "/usr/bin/tarnwick_desktop is installed" test -x /usr/bin/tarnwick_desktop
desktop_file=/usr/share/applications/tarnwick.desktop
check "the desktop entry validates" desktop-file-validate "$desktop_file"
check "the desktop entry is in the Network category" grep -qx 'Categories=Network;' "$desktop_file"
check "the desktop entry starts the launcher" grep -qx 'Exec=tarnwick_desktop' "$desktop_file"
check "the desktop entry's Quit action ends the launcher" grep -qx 'Exec=tarnwick_desktop --quit' "$desktop_file"
check "the manual page is installed" sh -c 'gzip -dc /usr/share/man/man1/tarnwick_desktop.1.gz | grep -q minimized'
check "the German translation is installed" test -s /usr/share/locale/de/LC_MESSAGES/tarnwick.mo
metainfo="$(dpkg -L "$launcher_package" | grep '^/usr/share/metainfo/.*\.metainfo\.xml$')"
if [ -n "$metainfo" ]; then
  check "the AppStream metainfo validates" appstreamcli validate --no-net --strict "$metainfo"
  check "the metainfo launches the desktop entry" grep -q '<launchable type="desktop-id">tarnwick.desktop</launchable>' "$metainfo"
else
  fail "the launcher installs AppStream metainfo"
fi
icon_name="$(sed -n 's/^Icon=//p' "$desktop_file")"
check "the scalable icon is installed" test -s "/usr/share/icons/hicolor/scalable/apps/$icon_name.svg"
for size in 16 24 32 48 64 128 256; do
  png="/usr/share/icons/hicolor/${size}x${size}/apps/$icon_name.png"
  [ "$(identify -format '%wx%h' "$png" 2>/dev/null)" = "${size}x${size}" ] && pass "the ${size}px icon is installed" || fail "the ${size}px icon is installed"
done

"$linux_build/tests/test_sandbox" --require-isolation \
  xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" --run-launcher "$work" "$linux_build/tests/x_window_tool"
launcher_status=$?
case $launcher_status in
  0) ;;
  77) echo "skipped: the installed launcher's run (it needs a sandbox of its own)" ;;
  *) failures=$((failures + 1)) ;;
esac
if [ -n "$screenshot" ]; then
  if [ -s "$work/screenshot.png" ]; then
    mkdir -p "$(dirname "$screenshot")"
    cp "$work/screenshot.png" "$screenshot"
    echo "screenshot saved to $screenshot"
  else
    fail "no screenshot to save"
  fi
fi

[ -z "$(our_daemons)" ] && pass "the daemon the launcher started ended with its sandbox" || fail "the daemon the launcher started is left running"
check "apt-get removes the packages" apt-get purge -y -o DPkg::Lock::Timeout=300 "$launcher_package" "$standin_package"
installed=0
[ ! -e /usr/bin/tarnwick_desktop ] && [ ! -e "$desktop_file" ] && pass "nothing of the launcher is left" || fail "nothing of the launcher is left"
restore_saved

echo "--- Windows zip ($windows_build)"
if [ ! -f "$windows_build/CPackConfig.cmake" ]; then
  fail "no Windows build in $windows_build"
else
  if (cd "$windows_build" && cpack -G ZIP -B "$work/zip" >"$work/cpack-zip.log" 2>&1); then
    zip="$(ls "$work"/zip/tarnwick-desktop-*-windows-x64.zip)"
    mkdir -p "$work/unzipped"
    (cd "$work/unzipped" && cmake -E tar xf "$zip")
    root="$work/unzipped/$(basename "$zip" .zip)"
    expected=$'README.txt\nlocale/de/LC_MESSAGES/tarnwick.mo\nstandin-daemon/tarnwickd.exe\ntarnwick_desktop.exe'
    contents="$(cd "$root" 2>/dev/null && find . -type f | sed 's|^\./||' | LC_ALL=C sort)"
    [ "$contents" = "$expected" ] && pass "the zip holds the launcher, its translations, the stand-in in its folder and the read-me" ||
      fail "the zip's contents: $(echo $contents)"
    objdump=x86_64-w64-mingw32-objdump
    headers="$("$objdump" -p "$root/tarnwick_desktop.exe")"
    grep -q 'Subsystem.*(Windows GUI)' <<<"$headers" && pass "tarnwick_desktop.exe is a GUI program" ||
      fail "tarnwick_desktop.exe is a GUI program"
    # The resource types at the top of the resource tree: 0x0e icon group, 0x10 version, 0x18 manifest.
    types="$(sed -n '/The .rsrc Resource Directory section/,$p' <<<"$headers" | sed -n 's/^[0-9a-f]*   Entry: ID: 0x0000\(..\),.*/\1/p')"
    for type in "0e icon" "10 version information" "18 manifest"; do
      grep -qx "${type%% *}" <<<"$types" && pass "tarnwick_desktop.exe has its ${type#* }" || fail "tarnwick_desktop.exe has its ${type#* }"
    done
    # The MinGW runtime (libstdc++, libgcc, libwinpthread) is linked in: only Windows' own DLLs remain.
    system_dlls='^(kernel32|user32|advapi32|gdi32|ole32|oleaut32|shell32|shlwapi|comctl32|comdlg32|ws2_32|mswsock|msvcrt|ucrtbase|bcrypt|version|iphlpapi|api-ms-win-[a-z0-9-]+)\.dll$'
    for exe in tarnwick_desktop.exe standin-daemon/tarnwickd.exe; do
      dlls="$("$objdump" -p "$root/$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)"
      others="$(echo "$dlls" | grep -Ev "$system_dlls")"
      [ -n "$dlls" ] && [ -z "$others" ] && pass "$exe imports system DLLs only" || fail "$exe imports $(echo $others)"
    done
  else
    cat "$work/cpack-zip.log"
    fail "cpack makes the Windows zip"
  fi
fi

echo "package tests: $failures failed"
[ $failures -eq 0 ]
