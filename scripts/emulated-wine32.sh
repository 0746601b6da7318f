# Sourced by scripts/setup (after scripts/arch.sh): the 32-bit Wine through QEMU's user-mode
# emulator, for machines that cannot run it natively. Nothing is installed through dpkg; everything
# lives in build/i386-wine/ and is reused by later runs:
#   apt-i386/, apt-qemu/  private apt configurations (their own sources, empty status file, indexes
#                         and downloads), so the machine's package state is neither read nor changed
#   root/                 the i386 packages unpacked: QEMU_LD_PREFIX, where QEMU opens files first
#   qemu/                 the static qemu-i386 of Debian 12's backports (10.x; 12's own 7.2 lacks
#                         MAP_FIXED_NOREPLACE, and Wine's start-up then loops in mmap for minutes)
#   ready                 written last, naming what was prepared
# Needs sudo_ and pt_debian_mirror from scripts/setup.

# Bump when what goes into the folder changes: a folder prepared before is then prepared again.
PT_EMU_LAYOUT=1

# The i386 packages beyond wine32 and its dependencies: what Wine loads at run time (fonts, the X
# extensions, TLS for https, Kerberos) and the resolver module for names under .localhost.
pt_emu_packages=(
  libfreetype6 libfontconfig1 libgnutls30 libkrb5-3 libgssapi-krb5-2 libnss-myhostname
  libxcursor1 libxi6 libxrandr2 libxinerama1 libxcomposite1 libxrender1 libxfixes3 libxxf86vm1
)

# A private apt configuration in $1 for architecture $2; its sources come on standard input.
pt_emu_apt_config() {
  local dir=$1 arch=$2
  mkdir -p "$dir/lists/partial" "$dir/archives/partial" "$dir/sources.list.d" "$dir/preferences.d"
  : >"$dir/status"
  cat >"$dir/sources.list"
  cat >"$dir/apt.conf" <<EOF
Dir::State "$dir";
Dir::State::lists "$dir/lists";
Dir::State::status "$dir/status";
Dir::Cache "$dir";
Dir::Cache::archives "$dir/archives";
Dir::Etc::sourcelist "$dir/sources.list";
Dir::Etc::sourceparts "$dir/sources.list.d";
Dir::Etc::preferences "$dir/preferences";
Dir::Etc::preferencesparts "$dir/preferences.d";
APT::Architecture "$arch";
APT::Architectures { "$arch"; };
APT::Sandbox::User "root";
Debug::NoLocking "true";
EOF
}

# apt-get with the private configuration in $1.
pt_emu_apt() {
  local dir=$1
  shift
  APT_CONFIG="$dir/apt.conf" apt-get -q -o Dpkg::Use-Pty=0 "$@"
}

# Fetches the indexes of the private configuration in $1, whose base suite is $2. A suite whose
# index fails (a mirror in the middle of a sync) is left out, said in one line: the packages then
# come from the suites that answered, which agree with one another.
pt_emu_update() {
  local dir=$1 base=$2 try
  for try in 1 2 3; do
    if pt_emu_apt "$dir" update >"$dir/update.log" 2>&1; then
      return 0
    fi
    if compgen -G "$dir/lists/*_dists_${base}_main_binary-*_Packages*" >/dev/null; then
      echo "setup: left out of the emulated Wine's packages, as its index failed to download:" \
        "$(sed -n 's/^E: Failed to fetch \([^ ]*\).*/\1/p' "$dir/update.log" | tr '\n' ' ')"
      return 0
    fi
    sleep $((try * 10))
  done
  cat "$dir/update.log" >&2
  echo "setup: the package index of $base could not be fetched for the emulated Wine" >&2
  return 1
}

# Downloads and unpacks everything into $PT_EMU_DIR (see the top), unless a run before did so for
# the same Wine version. The host's wineserver serves the emulated Wine, so the versions must match.
pt_emu_prepare() {
  local wine_version qemu_deb deb stamp mirror security codename
  wine_version=$(dpkg-query -W -f='${Version}' wine64)
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  stamp="layout $PT_EMU_LAYOUT, wine32 $wine_version"
  if [ -x "$PT_EMU_DIR/qemu/i386-binfmt-P" ] && grep -qxF "$stamp" "$PT_EMU_DIR/ready" 2>/dev/null; then
    return 0
  fi
  echo "setup: preparing the emulated 32-bit Wine in build/i386-wine (i386 packages of $codename" \
    "unpacked there, qemu-i386 of $codename-backports; nothing goes through dpkg)"
  rm -rf "$PT_EMU_DIR"
  mkdir -p "$PT_EMU_DIR"
  mirror=$(pt_debian_mirror debian)
  security=$(pt_debian_mirror debian-security)
  local keys=/usr/share/keyrings/debian-archive-keyring.gpg
  pt_emu_apt_config "$PT_EMU_DIR/apt-i386" i386 <<EOF
deb [signed-by=$keys] $mirror $codename main
deb [signed-by=$keys] $mirror $codename-updates main
deb [signed-by=$keys] $security $codename-security main
EOF
  pt_emu_apt_config "$PT_EMU_DIR/apt-qemu" amd64 <<EOF
deb [signed-by=$keys] $mirror $codename-backports main
EOF
  pt_emu_update "$PT_EMU_DIR/apt-i386" "$codename"
  pt_emu_update "$PT_EMU_DIR/apt-qemu" "$codename-backports"

  echo "setup: downloading wine32 $wine_version (i386) and the libraries it needs"
  pt_emu_apt "$PT_EMU_DIR/apt-i386" install -d -y --no-install-recommends \
    "wine32=$wine_version" "libwine=$wine_version" "${pt_emu_packages[@]}" >/dev/null
  echo "setup: unpacking them into build/i386-wine/root"
  local root="$PT_EMU_DIR/root.partial"
  mkdir -p "$root"
  for deb in "$PT_EMU_DIR"/apt-i386/archives/*.deb; do
    dpkg-deb -x "$deb" "$root"
  done
  pt_emu_merge_usr "$root"
  pt_emu_mark_zlib "$root"
  # The machine's own font configuration and fonts (the CJK font among them), not the few the
  # packages brought: QEMU shows a folder of the root instead of the machine's one of that name.
  rm -rf "$root/etc/fonts" "$root/usr/share/fonts" "$root/usr/share/fontconfig" \
    "$root/usr/share/doc" "$root/usr/share/man"
  rm -f "$PT_EMU_DIR"/apt-i386/archives/*.deb
  mv "$root" "$PT_EMU_DIR/root"

  echo "setup: downloading qemu-user of $codename-backports for its static qemu-i386"
  (cd "$PT_EMU_DIR/apt-qemu/archives" && pt_emu_apt "$PT_EMU_DIR/apt-qemu" download "qemu-user/$codename-backports" >/dev/null)
  qemu_deb=$(ls "$PT_EMU_DIR"/apt-qemu/archives/qemu-user_*.deb)
  mkdir -p "$PT_EMU_DIR/qemu"
  dpkg-deb --fsys-tarfile "$qemu_deb" | tar -x -C "$PT_EMU_DIR/qemu" ./usr/bin/qemu-i386
  rm -f "$qemu_deb"
  # Named as Debian names it for binfmt_misc: "-binfmt-P" tells QEMU that the kernel passes the
  # program's own argv[0] (flag P) after its path.
  ln -sf usr/bin/qemu-i386 "$PT_EMU_DIR/qemu/i386-binfmt-P"
  "$PT_EMU_DIR/qemu/usr/bin/qemu-i386" --version | head -n1 | sed 's/^/setup: /'
  echo "$stamp" >"$PT_EMU_DIR/ready"
}

# QEMU redirects a program's file opens into the root, but not statx: the dynamic loader and Wine
# find files under /lib only where /lib is /usr/lib there as well (the merged-/usr layout).
pt_emu_merge_usr() {
  local root=$1 d
  for d in bin sbin lib lib32 lib64 libx32; do
    if [ -d "$root/$d" ] && [ ! -L "$root/$d" ]; then
      mkdir -p "$root/usr/$d"
      cp -a "$root/$d/." "$root/usr/$d/"
      rm -rf "${root:?}/$d"
    fi
    if [ -d "$root/usr/$d" ] && [ ! -e "$root/$d" ]; then
      ln -s "usr/$d" "$root/$d"
    fi
  done
}

# What libwine's install script does: zlib1.dll of MinGW's zlib, marked as a Wine builtin DLL
# (the text at offset 64), beside Wine's own DLLs. Without it user32 fails to load.
pt_emu_mark_zlib() {
  local root=$1
  local in="$root/usr/i686-w64-mingw32/lib/zlib1.dll"
  local out="$root/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll"
  rm -f "$out"
  { head -c 64 "$in"; printf 'Wine builtin DLL'; head -c 16 /dev/zero; tail -c +97 "$in"; } >"$out"
}

# Exit code 0 when binfmt_misc can take our entry: root (or sudo without a password) and the file
# system mounted (mounted here where it is not). Else one line says why the 32-bit suite cannot run.
pt_emu_binfmt_available() {
  local dir=/proc/sys/fs/binfmt_misc why=""
  pt_binfmt_enabled && return 0
  if [ "$(id -u)" -ne 0 ] && ! sudo -n true 2>/dev/null; then
    why="registering the emulator with binfmt_misc needs root (or sudo without a password)"
  elif [ ! -e "$dir/register" ]; then
    if ! grep -qw binfmt_misc /proc/filesystems && ! sudo_ modprobe binfmt_misc 2>/dev/null; then
      why="this kernel has no binfmt_misc"
    else
      echo "setup: mounting binfmt_misc on $dir"
      sudo_ mount -t binfmt_misc binfmt_misc "$dir" 2>/dev/null ||
        why="binfmt_misc cannot be mounted here (a container?)"
    fi
  fi
  [ -z "$why" ] && return 0
  echo "setup: the 32-bit programs cannot run here, natively or emulated: $why; the 32-bit suite will not run"
  return 1
}

# Hands 32-bit programs to the emulator through binfmt_misc (flags: O the kernel opens the program,
# P argv[0] kept, F the emulator opened now, so it is found from any mount namespace). The kernel
# forgets the entry at a reboot: the next run registers it again.
pt_emu_register() {
  local name
  name=$(basename "$PT_BINFMT_ENTRY")
  pt_binfmt_enabled && return 0
  if [ -e "$PT_BINFMT_ENTRY" ]; then
    echo "setup: enabling the binfmt_misc entry $name"
    echo 1 | sudo_ tee "$PT_BINFMT_ENTRY" >/dev/null
    return 0
  fi
  # The magic and mask of QEMU's own entry for i386 ELF programs.
  local magic='\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\xfc\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo "setup: registering build/i386-wine/qemu/i386-binfmt-P with binfmt_misc as $name:" \
    "every 32-bit program of this machine now runs through the emulator"
  printf ':%s:M::%s:%s:%s:OPF' "$name" "$magic" "$mask" "$PT_EMU_DIR/qemu/i386-binfmt-P" |
    sudo_ tee /proc/sys/fs/binfmt_misc/register >/dev/null
}

# Takes our entry away again, so that the kernel runs 32-bit programs itself.
pt_emu_unregister() {
  if [ -e "$PT_BINFMT_ENTRY" ]; then
    echo "setup: removing the binfmt_misc entry $(basename "$PT_BINFMT_ENTRY"): the 32-bit Wine runs natively now"
    echo -1 | sudo_ tee "$PT_BINFMT_ENTRY" >/dev/null
  fi
}
