# Sourced by the server scripts. find_bin NAME...: the path of the first of the programs found,
# on the PATH or in the folders Debian keeps server programs in (not always on a user's PATH).
find_bin() {
  for b in "$@"; do
    if command -v "$b" >/dev/null 2>&1; then command -v "$b"; return 0; fi
    for d in /usr/sbin /usr/bin /usr/local/bin /usr/local/sbin; do
      if [ -x "$d/$b" ]; then echo "$d/$b"; return 0; fi
    done
  done
  return 1
}
