#!/usr/bin/env bash
# The readers keep no state of their own and read none of the process's:
# no object of theirs lies in writable data, and none refers to a global
# variable defined anywhere in the project (the load's context carries what
# they need).
#   check_reader_state.sh READER_OBJECTS... -- OTHER_OBJECTS_AND_LIBRARIES...
set -euo pipefail
readers=() others=()
while (($#)) && [[ $1 != -- ]]; do readers+=("$1"); shift; done
shift
others=("$@")

writable='^\.(data|bss|tdata|tbss)(\.|$)'
status=0
# objdump -t: "<value> <flags> <section> <size> <name>"; objects have flag O.
own=$(objdump -t "${readers[@]}" | awk -v w="$writable" '
  / O / && $(NF-2) ~ w && $(NF-2) !~ /^\.data\.rel\.ro/ && $NF !~ /^DW\.ref\./ { print $NF }' | sort -u)
if [[ -n $own ]]; then
  echo "reader objects in writable data:"; c++filt <<<"$own"; status=1
fi
globals=$(objdump -t "${readers[@]}" "${others[@]}" | awk -v w="$writable" '
  / O / && $2 == "g" && $(NF-2) ~ w { print $NF }' | sort -u)
used=$(nm -u "${readers[@]}" | awk 'NF == 2 && $1 == "U" { print $2 }' | sort -u)
read_globals=$(comm -12 <(echo "$globals") <(echo "$used"))
if [[ -n $read_globals ]]; then
  echo "readers refer to process-wide variables:"; c++filt <<<"$read_globals"; status=1
fi
exit $status
