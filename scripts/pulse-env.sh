# Sourced by the scripts that play through a real sound server. pulse_start starts a private
# pulseaudio with one null sink ("nullsink", its monitor "nullsink.monitor") and points Wine at
# a prefix of its own, with Wine's server stopped so that the next one started sees this sound
# server (Wine looks for sound devices when its server starts). It sets $work, a scratch folder
# removed at exit, and $recorder, empty until the caller starts a recorder (killed at exit).
# The caller defines skip() (exit 77 with a reason) and has sourced wine-env.sh.
#   pulse_start NAME PREFIX [SINK_OPTIONS]
pulse_cleanup() {
  [ -n "${recorder:-}" ] && kill "$recorder" 2>/dev/null
  wineserver -k 2>/dev/null
  pulseaudio -k 2>/dev/null
  rm -rf "$work"
}

pulse_start() {
  local name=$1 prefix=$2 sink="module-null-sink sink_name=nullsink${3:+ $3}"
  command -v pulseaudio >/dev/null || skip "pulseaudio is not installed"
  command -v parec >/dev/null || skip "parec (pulseaudio-utils) is not installed"
  work=$(mktemp -d)
  export XDG_RUNTIME_DIR=$work/run
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  export WINEPREFIX=$prefix
  recorder=
  trap pulse_cleanup EXIT

  pulseaudio -n --daemonize=yes --exit-idle-time=-1 --log-target=file:"$work/pulse.log" \
    --load="$sink" --load=module-native-protocol-unix 2>/dev/null ||
    skip "pulseaudio did not start: $(tail -n 3 "$work/pulse.log" 2>/dev/null)"
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl info >/dev/null 2>&1 || skip "pulseaudio does not answer"

  wineserver -k 2>/dev/null
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "$name: creating the prefix $WINEPREFIX (about 10 s)"
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
}
