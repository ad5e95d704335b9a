#!/bin/sh
# One kelvara run split into SHARDS shards that GNU Parallel runs: on this machine's job slots,
# or on other machines that see the same folder (shared storage) when PARALLEL_SSHLOGIN names
# them, as GNU Parallel's --sshlogin takes them ("4/node1,4/node2" or ":" for this machine).
#
#   parallel.sh SHARDS ARGUMENT...      ARGUMENT: kelvara's (--set, settings files, files, 'PATTERNS')
#
# Shard K runs `kelvara --shard K/SHARDS ARGUMENT...` in the current folder and writes its own
# text report, kelvara.shard-K-of-SHARDS.trf. KELVARA names the program (default: kelvara on
# the PATH; on other machines it must be on their PATH). JOBS sets the job slots per machine
# (default: one per core). The exit status is the highest of the shards' (0, 1 or 3), 2 for a
# usage error.
set -eu
if [ $# -lt 2 ]; then
  echo "usage: parallel.sh SHARDS ARGUMENT..." >&2
  exit 2
fi
shards=$1
shift
kelvara=${KELVARA:-kelvara}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
where=""
[ -n "${PARALLEL_SSHLOGIN:-}" ] && where="--sshlogin $PARALLEL_SSHLOGIN --workdir ."
# -q quotes the command, so that patterns reach kelvara unexpanded; {} is the shard's number.
# shellcheck disable=SC2086
parallel --will-cite --jobs "${JOBS:-100%}" $where --joblog "$log" --halt never -q \
  "$kelvara" --shard "{}/$shards" "$@" ::: $(seq 0 $((shards - 1))) || true
# The joblog's seventh column is each shard's exit status.
worst=$(awk 'NR > 1 && $7 > worst { worst = $7 } END { print worst + 0 }' "$log")
count=$(awk 'NR > 1' "$log" | wc -l)
[ "$count" -eq "$shards" ] || worst=1
exit "$worst"
