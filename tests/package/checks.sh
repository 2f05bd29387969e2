# Sourced by the package tests: named checks and the closing count.
passed=0
failed=0

# check NAME COMMAND...: runs COMMAND; a non-zero status is a failure named NAME.
check() {
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL: $name"
    fi
}

# same NAME EXPECTED ACTUAL
same() {
    if [ "$2" = "$3" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAIL: %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
    fi
}

# contains NAME TEXT NEEDLE
contains() {
    case "$2" in
        *"$3"*) passed=$((passed + 1)) ;;
        *)
            failed=$((failed + 1))
            printf 'FAIL: %s\n  looked for: %s\n  in: %s\n' "$1" "$3" "$2"
            ;;
    esac
}

finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}
