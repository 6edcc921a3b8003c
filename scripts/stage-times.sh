# Sourced by the test scripts: `stage NAME COMMAND...` runs one stage, prints
# its wall time as it ends (also when it fails), and the whole run ends with
# the table of every stage's time, so a slow stage shows in every CI log.
# Times go to standard error: a stage's standard output may be captured.
velix_stage_times=()

velix_print_stage_times() {
  [ ${#velix_stage_times[@]} -eq 0 ] && return
  echo "== stage times" >&2
  printf '   %s\n' "${velix_stage_times[@]}" >&2
}

stage() {
  local name=$1 started=$SECONDS status=0
  shift
  echo "== $name" >&2
  "$@" || status=$?
  local seconds=$((SECONDS - started))
  local line
  line=$(printf '%-52s %3dm %02ds' "$name" $((seconds / 60)) $((seconds % 60)))
  [ $status -eq 0 ] || line="$line  (failed, exit $status)"
  velix_stage_times+=("$line")
  echo "== $name: $((seconds / 60))m $((seconds % 60))s" >&2
  return $status
}

trap velix_print_stage_times EXIT
