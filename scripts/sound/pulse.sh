# shellcheck shell=bash
# Source this file for a private PulseAudio server with one null sink, so
# that the program's sound can be recorded on a machine without a sound card:
#
#   . scripts/sound/pulse.sh
#   pulse_start "$dir/pulse"        # exports PULSE_SERVER, PULSE_SINK, PULSE_PID
#   pulse_record_start "$dir/rec.raw"   # parec of the sink's monitor, PAREC_PID
#   ... play something through PULSE_SERVER ...
#   pulse_record_stop
#   pulse_raw_to_wav "$dir/rec.raw" out.wav
#   pulse_stop                      # safe to call twice
#
# The server reads no system or user configuration (-n, and every path it
# could look in points into the given folder), loads exactly two modules (the
# null sink and a unix socket) and never exits on its own; everything runs
# under `timeout`, so nothing outlives a run that forgets to stop it.
#
# The sink runs at the clips' own format (16-bit mono, 22050 Hz), so a clip
# played at that format reaches the recording without resampling. norewinds=1
# keeps the sink from rewriting audio it has already rendered, which would
# otherwise show in the monitor as clicks and repeated fragments.

PULSE_RATE="${PULSE_RATE:-22050}"
PULSE_SINK_NAME="${PULSE_SINK_NAME:-sylspeak_null}"
# The longest any one server or recorder may live.
PULSE_LIFETIME_S="${PULSE_LIFETIME_S:-900}"

# pulse_poll PID TRIES INTERVAL COMMAND...: runs COMMAND (its output
# discarded) up to TRIES times, INTERVAL seconds apart, until it succeeds.
# Returns 0 once it has, 1 when it never did or the process PID ended first.
pulse_poll() {
  local pid=$1 tries=$2 interval=$3 _
  shift 3
  for _ in $(seq "$tries"); do
    if "$@" >/dev/null 2>&1; then
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || return 1
    sleep "$interval"
  done
  return 1
}

# pulse_start DIR: starts the server with its socket and state in DIR and
# waits until it answers.
pulse_start() {
  local dir=$1
  mkdir -p "$dir/runtime" "$dir/state" "$dir/config" "$dir/home"
  dir="$(cd "$dir" && pwd)"
  PULSE_DIR=$dir
  # Clients started from here (Wine, parec, pactl) talk to this server only
  # and never try to spawn one of their own.
  printf 'autospawn = no\n' >"$dir/client.conf"
  export PULSE_SERVER="unix:$dir/native"
  export PULSE_CLIENTCONFIG="$dir/client.conf"
  export PULSE_SINK="$PULSE_SINK_NAME"
  export PULSE_DIR

  # No D-Bus and no X11 for the server itself: it would otherwise try to
  # start a session bus through the display and leave it behind.
  env -u DISPLAY \
    HOME="$dir/home" XDG_CONFIG_HOME="$dir/config" XDG_RUNTIME_DIR="$dir/runtime" \
    PULSE_RUNTIME_PATH="$dir/runtime" PULSE_STATE_PATH="$dir/state" \
    PULSE_CONFIG_PATH="$dir/config" \
    DBUS_SESSION_BUS_ADDRESS=disabled: DBUS_SYSTEM_BUS_ADDRESS=disabled: \
    timeout "$PULSE_LIFETIME_S" pulseaudio -n --daemonize=no --system=no \
    --use-pid-file=no --exit-idle-time=-1 --log-target=stderr \
    -L "module-null-sink sink_name=$PULSE_SINK_NAME rate=$PULSE_RATE channels=1 format=s16le norewinds=1" \
    -L "module-native-protocol-unix socket=$dir/native auth-anonymous=1" \
    </dev/null >"$dir/server.log" 2>&1 &
  PULSE_PID=$!
  export PULSE_PID

  if pulse_poll "$PULSE_PID" 100 0.1 timeout 5 pactl info; then
    return 0
  fi
  echo "pulse_start: the PulseAudio server did not answer on $PULSE_SERVER; its log:" >&2
  sed 's/^/  /' "$dir/server.log" >&2
  pulse_stop
  return 1
}

# pulse_record_start FILE: records the null sink's monitor as raw 16-bit mono
# samples at PULSE_RATE into FILE until pulse_record_stop. Returns once the
# first samples have arrived, so that nothing played afterwards is missed.
pulse_record_start() {
  local file=$1
  : >"$file"
  timeout "$PULSE_LIFETIME_S" parec -d "$PULSE_SINK_NAME.monitor" --raw \
    --format=s16le --rate="$PULSE_RATE" --channels=1 --latency-msec=20 \
    >"$file" 2>"$file.log" </dev/null &
  PAREC_PID=$!
  export PAREC_PID
  if pulse_poll "$PAREC_PID" 100 0.05 test -s "$file"; then
    return 0
  fi
  echo "pulse_record_start: parec delivered nothing within 5 s" >&2
  sed 's/^/  /' "$file.log" >&2
  return 1
}

pulse_record_stop() {
  if [ -n "${PAREC_PID:-}" ]; then
    kill "$PAREC_PID" 2>/dev/null || true
    wait "$PAREC_PID" 2>/dev/null || true
    unset PAREC_PID
  fi
}

# pulse_raw_to_wav RAW WAV: wraps the raw recording in a WAV header.
pulse_raw_to_wav() {
  sox -q -t raw -r "$PULSE_RATE" -e signed-integer -b 16 -c 1 "$1" "$2"
}

pulse_stop() {
  pulse_record_stop
  if [ -n "${PULSE_PID:-}" ]; then
    kill "$PULSE_PID" 2>/dev/null || true
    wait "$PULSE_PID" 2>/dev/null || true
    unset PULSE_PID
  fi
}
