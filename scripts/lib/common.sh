# Shared by the project's scripts: installing missing Debian packages and
# finding the repository. Source it; it defines functions only.

repo_root() { cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd; }

# ensure_packages PKG...: installs the packages that are not installed yet.
# As root it uses apt-get; otherwise it says what is missing and fails.
ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing Debian packages: ${missing[*]} (run as root, or install them)" >&2
    return 1
  fi
  echo "installing: ${missing[*]}"
  local apt=(apt-get -o DPkg::Lock::Timeout=600 -q -y)
  if ! DEBIAN_FRONTEND=noninteractive "${apt[@]}" install --no-install-recommends "${missing[@]}" >/tmp/lumivane-apt.log 2>&1; then
    DEBIAN_FRONTEND=noninteractive "${apt[@]}" update >/dev/null 2>&1 || true
    DEBIAN_FRONTEND=noninteractive "${apt[@]}" install --no-install-recommends "${missing[@]}" || return 1
  fi
}
