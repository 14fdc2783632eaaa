# What every script that needs a virtual display shares (the demo, the idle benchmark, the SDK and
# package tests): waiting for a condition, and starting Xvfb on a display it picks itself.
# Source it; it defines functions only.

# wait_for SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds; fails after SECONDS.
wait_for() {
  local seconds="$1"
  shift
  for _ in $(seq 1 $((seconds * 10))); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# start_x_server FOLDER: starts Xvfb (1280x1024, 24 bits) on a free display that it names itself
# (-displayfd: the number is written once it accepts clients), exports DISPLAY and sets xvfb_pid
# for the caller's clean-up. Xvfb's own messages go to FOLDER/Xvfb.log; when it ends or does not
# answer within 30 s, they are shown on standard error and the function fails.
start_x_server() {
  local folder="$1"
  Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1280x1024x24 \
    3>"$folder/display" 2>"$folder/Xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 1 300); do
    if [ -s "$folder/display" ]; then
      export DISPLAY=":$(cat "$folder/display")"
      return 0
    fi
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "Xvfb did not name its display within 30 s:" >&2
  else
    echo "Xvfb did not start:" >&2
  fi
  cat "$folder/Xvfb.log" >&2
  return 1
}
