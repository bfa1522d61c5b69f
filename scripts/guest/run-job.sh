#!/usr/bin/env bash
# Runs JOBDIR/job.sh inside the 32-bit guest (built first when missing) and
# exits with its exit status. The job writes its results into JOBDIR; its
# output is JOBDIR/job.log. Nothing the job does stays in the image.
# Usage: run-job.sh JOBDIR [TIMEOUT_SECONDS]
set -u
here=$(cd "$(dirname "$0")" && pwd)
job=$(cd "$1" && pwd)
limit=${2:-900}
cache=${KIT_GUEST_CACHE:-/var/cache/vmkit-guest}

"$here/build-image.sh" || { echo "guest: no guest image" >&2; exit 1; }
rm -f "$job/job.rc" "$job/job.log"
[ -f "$job/job.sh" ] || { echo "guest: $job has no job.sh" >&2; exit 1; }
"$here/boot.sh" "$cache" "$job" "$limit" > "$job/console.log" 2>&1
boot=$?
if [ ! -f "$job/job.rc" ]; then
  echo "guest: the job did not finish (boot status $boot); console:" >&2
  tail -20 "$job/console.log" >&2
  [ -f "$job/job.log" ] && { echo "--- job.log:" >&2; tail -40 "$job/job.log" >&2; }
  exit 1
fi
exit "$(cat "$job/job.rc")"
