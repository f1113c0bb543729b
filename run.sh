#!/usr/bin/env bash
# Installs what is missing, builds the program, starts the embedded database server and runs the
# program. ./test.sh builds the tests.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/deps.sh"
"$top/scripts/build.sh" pos

# The embedded default server: a private MariaDB run as this user, its data in the user's data
# folder, on 127.0.0.1 and a free port; reused when already running.
data_home=${XDG_DATA_HOME:-$HOME/.local/share}
server_dir="$data_home/pos/mariadb"
port=$("$top/scripts/dbserver.sh" start "$server_dir")

# Store the connection settings for it when none are stored yet. The file holds the password:
# its folder and the file are the user's only, also when an older one was readable by others.
config_home=${XDG_CONFIG_HOME:-$HOME/.config}
registry="$config_home/pos/registry.ini"
old_umask=$(umask)
umask 077
[ -d "$config_home/pos" ] || mkdir -p "$config_home/pos"
if [ -f "$registry" ]; then chmod 600 "$registry"; fi
if ! grep -qs '^pos\\db\\User_name=.' "$registry"; then
  python3 - "$registry" "$server_dir/password" "$port" <<'PY'
import configparser, os, sys
path, password_file, port = sys.argv[1:4]
with open(password_file) as f:
    password = f.read().strip()
cfg = configparser.RawConfigParser()
cfg.optionxform = str
cfg.read(path)
section = "Software"
if not cfg.has_section(section):
    cfg.add_section(section)
for k, v in (("pos\\db\\User_name", "root"), ("pos\\db\\password", password),
             ("pos\\db\\server", "127.0.0.1"), ("pos\\db\\port", port)):
    cfg.set(section, k, v)
fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
os.fchmod(fd, 0o600)
with os.fdopen(fd, "w") as f:
    cfg.write(f, space_around_delimiters=False)
PY
fi
umask "$old_umask"

cd "$top"
exec "$top/build/pos"
