#!/usr/bin/env bash
# Runs one simulated safety domain on this machine, after the default build:
# starts the host simulator for the domain (own object namespace, socket and
# storage directory), checks the domain from a second process, runs both
# programs, downloads "kel_para.saf" anew and has the firmware unlock it (the
# domain then restarts on it), and stops the host, checking that nothing is
# left behind.
#
#   scripts/run-domain.sh [BUILD-DIR]      (default build/default)
#   SCM_RUN_SDN=N scripts/run-domain.sh    (domain number, default 1)
#   SCM_PROGRAM_SUFFIX=-alt scripts/run-domain.sh build/alt   (a build variant's program names)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/default}
sdn=${SCM_RUN_SDN:-1}
scmhost=$build/sim/host/scmhost
scmhostctl=$build/sim/host/scmhostctl
scmchecker=$build/checker/core/scmchecker${SCM_PROGRAM_SUFFIX:-}
scmfirmware=$build/firmware/platform/scmfirmware${SCM_PROGRAM_SUFFIX:-}
scmgen=$build/sim/gen/scmgen
description=${SCM_RUN_DESCRIPTION:-sim/gen/demo-domain.toml}
seconds=${SCM_RUN_SECONDS:-3}

# Everything of this run carries one unique name, so parallel runs never meet.
run_id="scmrun$$"
work=$(mktemp -d "/tmp/$run_id.XXXXXX")
export SCM_SIM_NAMESPACE=$run_id
export SCM_SIM_HOST_SOCKET=$work/host.sock
export SafetyDomainNumber=$sdn
storage=$work/storage
files=$work/generated
word=0x5A5AA5C3
host_pid=""

log() { printf '[run-domain] %s\n' "$*"; }
fail() { printf '[run-domain] FAILED: %s\n' "$*" >&2; exit 1; }

# Shared-memory objects of this run's namespace that still exist.
leftover_objects() { find /dev/shm -maxdepth 1 -name "scmsim.$run_id.*" 2>/dev/null; }

cleanup() {
  if [ -n "$host_pid" ] && kill -0 "$host_pid" 2>/dev/null; then
    kill "$host_pid" 2>/dev/null || true
    wait "$host_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

check_built() {
  for tool in "$scmhost" "$scmhostctl" "$scmchecker" "$scmfirmware" "$scmgen"; do
    [ -x "$tool" ] || fail "$tool is missing: build first (cmake --preset default && cmake --build --preset default)"
  done
}

start_host() {
  log "starting the host simulator for domain $sdn (namespace $run_id)"
  mkdir -p "$storage"
  "$scmhost" --sdn "$sdn" --socket "$SCM_SIM_HOST_SOCKET" --storage "$storage" \
    --namespace "$run_id" >"$work/host.log" 2>&1 &
  host_pid=$!
  for _ in $(seq 1 200); do
    if "$scmhostctl" status >/dev/null 2>&1; then
      log "host: $("$scmhostctl" status)"
      return 0
    fi
    kill -0 "$host_pid" 2>/dev/null || { cat "$work/host.log" >&2; fail "the host simulator ended at start"; }
    sleep 0.05
  done
  fail "the host simulator did not answer"
}

probe_domain() {
  log "opening the domain's queues and semaphores by name from a second process"
  if ! "$scmhostctl" probe --sdn "$sdn" --timeout 10 | sed 's/^/  /'; then
    fail "the domain is incomplete"
  fi
}

# The parameter and key files the firmware loads at start-up, generated from
# the domain description and put on the host's storage, installed and
# acknowledged: the checker's copies beside them and the key medium's identity
# also in the controller's flash area 16.
put_files() {
  log "storage: files generated from $description"
  mkdir -p "$files"
  "$scmgen" --installed "$description" "$files" >/dev/null || fail "the generator refused $description"
  "$scmhostctl" flash "$(od -An -tx1 "$files/corvane.uid" | tr -d ' \n')" >/dev/null || fail "cannot set flash area 16"
  local f
  for f in "$files"/*; do
    "$scmhostctl" put "$(basename "$f")" "@$f" >/dev/null || fail "cannot put $(basename "$f")"
    log "  $(basename "$f") ($(stat -c %s "$f") bytes)"
  done
}

# One event record (11 bytes hex): level, code, information0, information1.
show_event() {
  local h=${1//[^0-9a-fA-F]/}
  [ ${#h} -eq 22 ] || { printf '  event (%s)\n' "$1"; return; }
  local level=$((16#${h:0:2}))
  local code=${h:8:2}${h:6:2}${h:4:2}${h:2:2}
  local info0=${h:12:2}${h:10:2}
  local info1=${h:20:2}${h:18:2}${h:16:2}${h:14:2}
  printf '  event level %d code 0x%s information0 0x%s information1 0x%s\n' "$level" "$code" "$info0" "$info1"
}

# Starts the checker and the firmware under the host, lets the domain run, and
# reports the handshake, the programs' state and every event that reached the host.
run_programs() {
  log "starting scmchecker and scmfirmware for domain $sdn"
  "$scmhostctl" start "$(realpath "$scmchecker")" >/dev/null
  "$scmhostctl" start "$(realpath "$scmfirmware")" >/dev/null
  sleep "$seconds"
  local c1 c2
  c1=$("$scmhostctl" cond 1 || true)
  c2=$("$scmhostctl" cond 2 || true)
  log "condition 1 (checker ident word): $c1"
  log "condition 2 (firmware ident word): $c2"
  log "programs after ${seconds} s:"
  "$scmhostctl" programs | sed 's/^/  /'
  log "events on the host \"event\" queue:"
  local any=0 line
  while read -r line; do
    [ -n "$line" ] || continue
    any=1
    show_event "$line"
  done < <("$scmhostctl" collect-all event 2>/dev/null || true)
  [ "$any" -eq 1 ] || log "  (none)"
  "$scmhostctl" programs | grep -q 'exited' && fail "a program of the domain ended"
  [ "$c1" = "$c2" ] || fail "the checker and the firmware did not accept each other"
  log "checker and firmware accepted each other and keep cycling"
}

# The operator's download: the file locked with a word and its companion go on
# the storage, an unlock request names both; the firmware answers, writes the
# file back unlocked, empties the companion and resets the domain 5 s later.
download_and_unlock() {
  log "download: kel_para.saf locked with word $word, and its companion kel_para.saf.swp"
  "$scmhostctl" download kel_para.saf "@$files/kel_para.saf" "$word" >/dev/null || fail "download refused"
  "$scmhostctl" unlock 7 kel_para.saf "$word" >/dev/null || fail "unlock request not sent"
  local answer=""
  for _ in $(seq 1 100); do
    answer=$("$scmhostctl" unlock-response 2>/dev/null) && break
    sleep 0.05
  done
  log "unlock response (identifier, result): $answer"
  [ "$answer" = "7 0" ] || fail "the firmware did not unlock the file"
  "$scmhostctl" get-file kel_para.saf "$work/unlocked.saf" || fail "cannot read kel_para.saf back"
  cmp -s "$work/unlocked.saf" "$files/kel_para.saf" || fail "kel_para.saf is not the downloaded file"
  [ "$("$scmhostctl" get kel_para.saf.swp)" = "-" ] || fail "the companion is not empty"
  log "kel_para.saf stands unlocked, its companion is empty"
  local resets=""
  for _ in $(seq 1 200); do
    resets=$("$scmhostctl" resets)
    case $resets in *"domain-requests=1 "*"done=1"*) break ;; esac
    sleep 0.05
  done
  log "resets: $resets"
  case $resets in *"domain-requests=1 plc-requests=0 "*"done=1"*) ;; *) fail "no single domain reset after the unlock" ;; esac
  sleep "$seconds"
  local c1 c2
  c1=$("$scmhostctl" cond 1 || true)
  c2=$("$scmhostctl" cond 2 || true)
  "$scmhostctl" programs | sed 's/^/  /'
  "$scmhostctl" programs | grep -q 'ended' && fail "a program of the domain is not running after the reset"
  [ -n "$c1" ] && [ "$c1" = "$c2" ] || fail "the restarted programs did not accept each other"
  log "both programs restarted on the unlocked file and accepted each other again"
}

stop_host() {
  log "stopping the host simulator"
  "$scmhostctl" shutdown >/dev/null
  local status=0
  wait "$host_pid" || status=$?
  host_pid=""
  [ "$status" -eq 0 ] || { cat "$work/host.log" >&2; fail "the host simulator ended with status $status"; }
}

check_clean() {
  local objects
  objects=$(leftover_objects)
  [ -z "$objects" ] || fail "shared-memory objects left behind: $objects"
  [ ! -e "$SCM_SIM_HOST_SOCKET" ] || fail "socket left behind: $SCM_SIM_HOST_SOCKET"
  log "nothing left behind (no shared-memory objects, no socket)"
}

check_built
start_host
probe_domain
put_files
run_programs
download_and_unlock
stop_host
check_clean
log "domain $sdn: done"
