#!/usr/bin/env bash
# A throw-away Tiny Tiny RSS server for the tests: PostgreSQL in <folder>/pg on a private
# socket, tt-rss's code copied to <folder>/www and served by "php -S" on 127.0.0.1.
#   ttrss-test-server.sh start <folder>   prints KEY=VALUE lines once the API answers
#   ttrss-test-server.sh stop <folder>    ends both servers and removes the folder
# "start" again restarts whatever is down and keeps the port while it is free.
set -euo pipefail

cmd=${1:-}
dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop <folder>" >&2; exit 2; }
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

www_src=/usr/share/tt-rss/www
schema=/usr/share/tt-rss/schema/ttrss_schema_pgsql.sql
pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
user=kolvani
password=kolvani-test
pgsock="$dir/pg/run"
log="$dir/server.log"

# postgres and tt-rss's updater refuse root: they run as an unprivileged user then.
if [ "$(id -u)" -eq 0 ]; then
  runas=(setpriv --reuid=postgres --regid=postgres --init-groups env -i PATH=/usr/bin:/bin)
  owner=postgres
else
  runas=(env)
  owner=$(id -un)
fi
as_owner() { (cd / && "${runas[@]}" "$@"); }

alive() { # pid: running and not a zombie
  local pid=$1 state
  [ -n "$pid" ] && [ -r "/proc/$pid/stat" ] || return 1
  state=$(sed 's/.*) //' "/proc/$pid/stat" | cut -d' ' -f1)
  [ "$state" != Z ] && [ "$state" != X ]
}

psql_cmd() { as_owner "$pgbin/psql" -X -q -v ON_ERROR_STOP=1 -h "$pgsock" -U ttrss "$@"; }

# Nothing answers on the port (php -S then fails to bind if another took it meanwhile).
port_free() {
  ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

free_port() {
  local p
  for _ in $(seq 1 50); do
    p=$((20000 + RANDOM % 40000))
    port_free "$p" && { echo "$p"; return 0; }
  done
  return 1
}

start_postgres() {
  if [ ! -f "$dir/pg/data/PG_VERSION" ]; then
    mkdir -p "$dir/pg"
    chown "$owner" "$dir" "$dir/pg"
    as_owner "$pgbin/initdb" -D "$dir/pg/data" -U ttrss -A trust -E UTF8 --locale=C --no-sync >>"$log" 2>&1
  fi
  mkdir -p "$pgsock"
  chown "$owner" "$pgsock"
  chmod 0777 "$pgsock"
  if ! as_owner "$pgbin/pg_ctl" -D "$dir/pg/data" status >/dev/null 2>&1; then
    as_owner "$pgbin/pg_ctl" -D "$dir/pg/data" -w -l "$dir/pg/postgres.log" \
      -o "-c listen_addresses='' -k $pgsock -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
      start >>"$log" 2>&1
  fi
  if ! psql_cmd -d postgres -tAc "select 1 from pg_database where datname='ttrss'" | grep -q 1; then
    psql_cmd -d postgres -c "create database ttrss" >>"$log" 2>&1
    psql_cmd -d ttrss -f "$schema" >>"$log" 2>&1
    add_user "$user" "$password"
  fi
}

# add_user name password: a user with API access.
add_user() {
  local hash
  hash=$(printf '%s' "$2" | sha1sum | cut -d' ' -f1)
  psql_cmd -d ttrss >>"$log" 2>&1 <<SQL
insert into ttrss_users (login, pwd_hash, access_level, created) values ('$1', 'SHA1:$hash', 0, now());
insert into ttrss_user_prefs (owner_uid, pref_name, value)
  select id, 'ENABLE_API_ACCESS', 'true' from ttrss_users where login = '$1';
SQL
}

write_config() {
  [ -f "$dir/www/config.php" ] && return 0
  rm -rf "$dir/www"
  cp -r "$www_src" "$dir/www"
  # Relative links of the package do not survive the copy: point them back.
  find "$dir/www" -type l | while read -r link; do
    target=$(readlink "$link")
    case "$target" in
      /*) ;;
      *) ln -sfn "$(cd "$(dirname "$www_src/${link#"$dir/www/"}")" && realpath -m "$target")" "$link" ;;
    esac
  done
  rm -f "$dir/www/config.php"
  mkdir -p "$dir/cache/images" "$dir/cache/upload" "$dir/cache/export" "$dir/lock" "$dir/icons"
  chmod -R 0777 "$dir/cache" "$dir/lock" "$dir/icons"
  : >"$dir/feed_proxy"
  cat >"$dir/www/config.php" <<PHP
<?php
define('DB_TYPE', 'pgsql');
define('DB_HOST', '$pgsock');
define('DB_USER', 'ttrss');
define('DB_NAME', 'ttrss');
define('DB_PASS', '');
define('DB_PORT', '5432');
define('MYSQL_CHARSET', 'UTF8');
define('SELF_URL_PATH', 'http://127.0.0.1/');
define('SINGLE_USER_MODE', false);
define('SIMPLE_UPDATE_MODE', false);
define('PHP_EXECUTABLE', '/usr/bin/php');
define('LOCK_DIRECTORY', '$dir/lock');
define('CACHE_DIR', '$dir/cache');
define('ICONS_DIR', '$dir/icons');
define('ICONS_URL', 'icons');
define('AUTH_AUTO_CREATE', false);
define('AUTH_AUTO_LOGIN', false);
define('FORCE_ARTICLE_PURGE', 0);
define('ENABLE_REGISTRATION', false);
define('REG_NOTIFY_ADDRESS', 'noreply@localhost');
define('REG_MAX_USERS', 10);
define('SESSION_COOKIE_LIFETIME', 86400);
define('SMTP_FROM_NAME', 'Tiny Tiny RSS');
define('SMTP_FROM_ADDRESS', 'noreply@localhost');
define('DIGEST_SUBJECT', '[tt-rss] New headlines for last 24 hours');
define('CHECK_FOR_UPDATES', false);
define('ENABLE_GZIP_OUTPUT', false);
define('PLUGINS', 'auth_internal, note');
define('LOG_DESTINATION', '');
define('CONFIG_VERSION', 26);
// Feeds of the tests live on loopback, which tt-rss refuses: they come through this proxy.
\$proxy = @trim(@file_get_contents('$dir/feed_proxy'));
if (\$proxy) define('_HTTP_PROXY', \$proxy);
PHP
  mkdir -p "$dir/php"
  cat >"$dir/php/kolvani.ini" <<INI
max_execution_time=0
log_errors=On
display_errors=Off
error_log=$dir/php-errors.log
INI
  chmod 0666 "$dir/php-errors.log" 2>/dev/null || { : >"$dir/php-errors.log"; chmod 0666 "$dir/php-errors.log"; }
}

start_php() {
  local port pid
  pid=$(cat "$dir/php.pid" 2>/dev/null || true)
  port=$(cat "$dir/php.port" 2>/dev/null || true)
  if alive "$pid"; then
    kill -CONT -- "-$pid" 2>/dev/null || true
    return 0
  fi
  if [ -z "$port" ] || ! port_free "$port"; then
    port=$(free_port)
  fi
  echo "$port" >"$dir/php.port"
  chown "$owner" "$dir/www"
  (cd / && exec setsid "${runas[@]}" PHP_INI_SCAN_DIR=":$dir/php" PHP_CLI_SERVER_WORKERS=2 \
     /usr/bin/php -S "127.0.0.1:$port" -t "$dir/www" >>"$dir/php-server.log" 2>&1) &
  echo $! >"$dir/php.pid"
  for _ in $(seq 1 200); do
    if curl -s -o /dev/null -m 2 "http://127.0.0.1:$port/api/"; then
      return 0
    fi
    sleep 0.05
  done
  echo "php -S did not answer on port $port" >&2
  return 1
}

case "$cmd" in
  start)
    [ -d "$www_src" ] && [ -f "$schema" ] && [ -n "$pgbin" ] ||
      { echo "tt-rss or PostgreSQL is not installed (scripts/install-deps.sh)" >&2; exit 3; }
    start_postgres
    write_config
    start_php
    echo "TTRSS_API=http://127.0.0.1:$(cat "$dir/php.port")/api/"
    echo "TTRSS_USER=$user"
    echo "TTRSS_PASSWORD=$password"
    echo "TTRSS_FEED_PROXY_FILE=$dir/feed_proxy"
    echo "TTRSS_PSQL=$pgbin/psql -X -q -h $pgsock -U ttrss -d ttrss"
    echo "TTRSS_PHP_PID_FILE=$dir/php.pid"
    ;;
  adduser)
    add_user "$3" "$4"
    ;;
  stoppg)
    as_owner "$pgbin/pg_ctl" -D "$dir/pg/data" -m fast -w stop >>"$log" 2>&1 || true
    ;;
  stop)
    pid=$(cat "$dir/php.pid" 2>/dev/null || true)
    if [ -n "$pid" ]; then
      kill -CONT -- "-$pid" 2>/dev/null || true
      kill -TERM -- "-$pid" 2>/dev/null || true
    fi
    if [ -n "$pgbin" ] && [ -f "$dir/pg/data/PG_VERSION" ]; then
      as_owner "$pgbin/pg_ctl" -D "$dir/pg/data" -m fast -w stop >>"$log" 2>&1 || true
    fi
    rm -rf "$dir"
    ;;
  *)
    echo "usage: $0 start|stop <folder>" >&2
    exit 2
    ;;
esac
