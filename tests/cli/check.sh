# Shared by the CLI test scripts (sourced): a scratch folder removed on exit
# and check NAME EXPECTED ACTUAL, which counts failures.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

check() {  # name expected actual
  if [[ "$2" != "$3" ]]; then
    echo "FAIL $1: expected [$2] got [$3]"
    failures=$((failures + 1))
  fi
}
