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
        return 1
    fi
}

# same NAME EXPECTED ACTUAL
same() {
    check "$1" [ "$2" = "$3" ] || printf '  expected: %s\n  actual:   %s\n' "$2" "$3"
}

# contains NAME TEXT NEEDLE
contains() {
    case "$2" in
        *"$3"*) same "$1" "" "" ;;
        *) same "$1" "text holding: $3" "$2" ;;
    esac
}

finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}
