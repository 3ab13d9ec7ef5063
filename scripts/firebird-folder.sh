# Shell functions shared by create-db.sh and grant-readonly.sh (sourced, not run): finding the
# Firebird installation and its isql, and filling a private Firebird folder the way the server
# fills HOME/.firebird, so a script and a running server share locks and configuration.

# The newest installation folder that holds the character-set module.
find_fbhome() {
  for candidate in $(ls -d /usr/lib/*/firebird/* /usr/lib64/firebird/* /usr/lib/firebird/* 2>/dev/null | sort -rV) \
                   /opt/firebird; do
    if [ -f "$candidate/intl/libfbintl.so" ]; then echo "$candidate"; return; fi
  done
}

# isql as a real program: Debian 13's isql-fb in PATH (and in the installation's bin) is a shell
# wrapper that points FIREBIRD at the installation, which would ignore the private folder.
find_isql() {
  local fbhome="${1:-}" version candidate
  version="$(basename "${fbhome:-none}")"
  for candidate in "${LIVREXA_FIREBIRD_BIN:+$LIVREXA_FIREBIRD_BIN/isql}" "/usr/lib/firebird/$version/bin/isql-fb" \
                   "$(command -v isql-fb 2>/dev/null)" "${fbhome:+$fbhome/bin/isql}"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then echo "$candidate"; return; fi
  done
}

# Real copies (never links: the engine checks a module's own path) of the installation's modules
# and messages: Firebird 4 loads its engine and authentication plugins from $FIREBIRD/plugins.
copy_if_different() {
  local from="$1" to="$2"
  [ -f "$from" ] || return 0
  mkdir -p "$(dirname "$to")"
  if ! cmp -s "$from" "$to"; then cp --dereference "$from" "$to.tmp$$" && mv "$to.tmp$$" "$to"; fi
}
fill_firebird_folder() {
  local fbdir="$1" fbhome="$2" file
  mkdir -p "$fbdir/lock" "$fbdir/tmp" "$fbdir/intl"
  [ -n "$fbhome" ] || return 0
  for file in libfbintl.so fbintl.conf; do copy_if_different "$fbhome/intl/$file" "$fbdir/intl/$file"; done
  if [ -d "$fbhome/plugins" ]; then
    (cd "$fbhome/plugins" && find -L . -type f) | while read -r file; do
      copy_if_different "$fbhome/plugins/$file" "$fbdir/plugins/$file"
    done
  fi
  for file in "$fbhome/firebird.msg" "/usr/share/firebird/$(basename "$fbhome")/firebird.msg"; do
    if [ -f "$file" ]; then copy_if_different "$file" "$fbdir/firebird.msg"; break; fi
  done
}
