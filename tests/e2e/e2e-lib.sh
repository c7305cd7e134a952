# Sourced by run-e2e and start-stop-cycles: a Wine prefix of their own with
# the jvm.dll bridge's Java home, the test application, packing, and waits.
# Needs: dist (build/dist), here (this folder), work (a folder of the run's).

contains() { grep -qF -- "$2" "$1" 2>/dev/null; }
show() { echo "--- $1:"; tr -d '\r' <"$1" 2>/dev/null | sed 's/^/    /' | tail -n "${2:-40}"; }

wait_for() {  # wait_for FILE TEXT SECONDS
  local deadline=$((SECONDS + $3))
  while ((SECONDS < deadline)); do
    contains "$1" "$2" && return 0
    sleep 0.1
  done
  return 1
}

# No process whose command line has TEXT, within SECONDS (zombies count as gone).
no_process_within() {
  command -v pgrep >/dev/null || { echo "pgrep is missing: install procps"; return 1; }
  local deadline=$((SECONDS + $2))
  while ((SECONDS < deadline)); do
    [ -z "$(pgrep -f -- "$1" | xargs -r ps -o stat= -p | grep -v Z)" ] && return 0
    sleep 0.2
  done
  pgrep -af -- "$1"
  return 1
}

stop_wineserver() { wineserver -k >/dev/null 2>&1 || true; }

# The prefix WORK/wineprefix with the bridge's Java home registered, its
# wineserver running with WINEDLLPATH, and the launcher's log switched on
# for every process, services too: they take their environment from the
# registry, read once when services.exe starts its first service, so a new
# value needs a new wineserver. On failure the reason is in WORK/setup.log.
prepare_prefix() {
  export WINEPREFIX=$work/wineprefix
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  unset WINEDLLPATH
  local line key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
  line=$("$dist/bridge/runvo-java-home" --quiet 2>"$work/setup.log") || return 1
  if ! wine reg.exe query "$key" /v RUNVO_LOG 2>/dev/null </dev/null | grep -q yes; then
    wine reg.exe add "$key" /v RUNVO_LOG /d yes /f >/dev/null 2>&1 </dev/null
    stop_wineserver
    wineserver -w
    line=$("$dist/bridge/runvo-java-home" --quiet 2>"$work/setup.log") || return 1
  fi
  export "$line"  # WINEDLLPATH=..., for the processes started from here
  logs=$WINEPREFIX/drive_c/users/$(whoami)/Temp
}
clear_logs() { rm -f "$logs"/ksx*; }
# The newest launcher log with a line holding TEXT.
log_with() { grep -l -F -- "$1" $(ls -t "$logs"/ksx* 2>/dev/null) /dev/null 2>/dev/null | head -1; }

# WORK/apps with the test application (e2e-app.jar), a data file and the
# probe's class folder.
build_apps() {
  apps=$work/apps
  rm -rf "$apps" && mkdir -p "$apps/classes" "$apps/data" "$apps/probe-classes"
  javac -d "$apps/classes" "$here"/app/e2eapp/*.java >"$work/javac.log" 2>&1 &&
    jar --create --file "$apps/e2e-app.jar" -C "$apps/classes" . &&
    javac -d "$apps/probe-classes" "$here/probe/JniProbe.java" >>"$work/javac.log" 2>&1 &&
    echo "hello from the payload" >"$apps/data/greeting.txt"
}

# apps/NAME.exe from the config CONFIG.
pack_config() {
  printf '%s\n' "$2" >"$apps/$1.toml"
  "$dist/runvo-pack" build "$apps/$1.toml" -o "$apps/$1.exe" >/dev/null
}

# apps/NAME.exe from a config whose [service], [app] and other tables are
# TABLES; the application's jar and data file are embedded in every one.
pack_app() {
  pack_config "$1" "$2

[[files]]
source = \"e2e-app.jar\"

[[files]]
source = \"data/greeting.txt\"
name = \"data/greeting.txt\""
}

# The jars of Debian's Jetty 9 (libjetty9-java) that an embedded server
# needs, with the servlet API they implement.
jetty_jars=(/usr/share/java/{jetty9-server,jetty9-http,jetty9-io,jetty9-util,servlet-api}.jar)

# apps/web-server.jar: the web server application of app/e2ejetty; shows
# what javac said when it fails.
build_web_server() {
  local classes=$work/web-server-classes class_path
  class_path=$(IFS=:; echo "${jetty_jars[*]}")
  rm -rf "$classes"
  javac -cp "$class_path" -d "$classes" "$here"/app/e2ejetty/*.java >"$work/javac-web.log" 2>&1 ||
    { show "$work/javac-web.log"; return 1; }
  jar --create --file "$apps/web-server.jar" -C "$classes" .
}

# The first port from FIRST on, of COUNT, where nothing answers on 127.0.0.1.
free_port() {
  local port
  for ((port = $1; port < $1 + $2; port++)); do
    # A refused connection ends with 1; one that is taken, or hangs, is no free port.
    timeout 2 bash -c 'exec 3<>"/dev/tcp/127.0.0.1/$0"' "$port" 2>/dev/null
    (($? == 1)) && { echo "$port"; return 0; }
  done
  return 1
}

# The test service NAME, writing its standard output to OUTPUT.
service_tables() {
  printf '%s\n' "[service]" "name = \"$1\"" "[app]" 'main_class = "e2eapp.ServiceApp"' \
    'arguments = ["alpha", "beta gamma"]' "[output]" "redirect_stdout = true" "stdout_file = \"$2\"" \
    "[jvm]" 'options = ["-De2e.option=set"]' 'search = ["Y"]'
}

windows_path() { wine winepath.exe -w "$1" 2>/dev/null </dev/null | tr -d '\r'; }
