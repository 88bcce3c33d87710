#!/usr/bin/env bash
# Runs one simulated safety domain on this machine, after the default build:
# starts the host simulator for the domain (own object namespace, socket and
# storage directory), checks the domain from a second process, and stops the
# host, checking that nothing is left behind.
#
#   scripts/run-domain.sh [BUILD-DIR]      (default build/default)
#   SCM_RUN_SDN=N scripts/run-domain.sh    (domain number, default 1)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/default}
sdn=${SCM_RUN_SDN:-1}
scmhost=$build/sim/host/scmhost
scmhostctl=$build/sim/host/scmhostctl

# Everything of this run carries one unique name, so parallel runs never meet.
run_id="scmrun$$"
work=$(mktemp -d "/tmp/$run_id.XXXXXX")
export SCM_SIM_NAMESPACE=$run_id
export SCM_SIM_HOST_SOCKET=$work/host.sock
export SafetyDomainNumber=$sdn
storage=$work/storage
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
  for tool in "$scmhost" "$scmhostctl"; do
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
stop_host
check_clean
log "domain $sdn: done"
