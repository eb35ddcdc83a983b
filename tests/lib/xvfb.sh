# Sourced by the end-to-end tests and the benchmarks: start_xvfb starts a
# virtual display of its own, waits until it is ready, exports DISPLAY and
# sets xvfb_pid (the server's own pid, so that it can be stopped).
start_xvfb() {
  local ready
  ready=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$ready" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 200); do [ -s "$ready" ] && break; sleep 0.05; done
  DISPLAY=":$(head -n 1 "$ready")"
  export DISPLAY
  rm -f "$ready"
}

# start_session_bus starts a session bus of its own (programs started
# afterwards find it through DBUS_SESSION_BUS_ADDRESS) and sets bus_pid:
# clients of parallel runs never meet, and none of them meets the
# developer's desktop.
start_session_bus() {
  local out config
  # No services to start on demand: nothing (a desktop portal, the
  # accessibility bus) outlives the test or mounts anything in its home.
  config=$(mktemp)
  cat >"$config" <<'XML'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
XML
  out=$(dbus-daemon --config-file="$config" --fork --nopidfile --print-address=1 --print-pid=1)
  rm -f "$config"
  DBUS_SESSION_BUS_ADDRESS=$(echo "$out" | head -n 1)
  bus_pid=$(echo "$out" | sed -n 2p)
  # Nor does the toolkit look for an accessibility bus there.
  export DBUS_SESSION_BUS_ADDRESS NO_AT_BRIDGE=1
}
