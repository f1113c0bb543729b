#!/usr/bin/env bash
# Installs what is missing, builds, starts the embedded database server and runs the program.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/deps.sh"
"$top/scripts/build.sh"

# The embedded default server: a private MariaDB run as this user, its data in the user's data
# folder, on 127.0.0.1 and a free port; reused when already running.
data_home=${XDG_DATA_HOME:-$HOME/.local/share}
server_dir="$data_home/pos/mariadb"
port=$("$top/scripts/dbserver.sh" start "$server_dir")

# Store the connection settings for it when none are stored yet.
config_home=${XDG_CONFIG_HOME:-$HOME/.config}
registry="$config_home/pos/registry.ini"
if ! grep -qs '^pos\\db\\User_name=.' "$registry"; then
  mkdir -p "$(dirname "$registry")"
  umask 077
  python3 - "$registry" "$(cat "$server_dir/password")" "$port" <<'PY'
import configparser, sys
path, password, port = sys.argv[1:4]
cfg = configparser.RawConfigParser()
cfg.optionxform = str
cfg.read(path)
section = "Software"
if not cfg.has_section(section):
    cfg.add_section(section)
for k, v in (("pos\\db\\User_name", "root"), ("pos\\db\\password", password),
             ("pos\\db\\server", "127.0.0.1"), ("pos\\db\\port", port)):
    cfg.set(section, k, v)
with open(path, "w") as f:
    cfg.write(f, space_around_delimiters=False)
PY
fi

cd "$top"
exec "$top/build/pos"
