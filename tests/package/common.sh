# What the package's tests share; sourced by each.

# ctest counts this status as skipped.
skip()
{
    echo "SKIPPED: $*"
    exit 77
}

fail()
{
    echo "FAILED: $*" >&2
    exit 1
}

# wait_for FILE PATTERN [SECONDS]: until a line of FILE matches PATTERN.
wait_for()
{
    local file=$1 pattern=$2 seconds=${3:-20}
    local end=$((SECONDS + seconds))
    until grep -q -- "$pattern" "$file" 2>/dev/null; do
        [ $SECONDS -lt $end ] || {
            echo "--- $file:" >&2
            tail -n 30 "$file" >&2
            fail "no line '$pattern' in $file within $seconds s"
        }
        sleep 0.1
    done
}

# as USER COMMAND...: runs the command as USER (or as oneself for an empty
# USER), in the private folders of a test: HOME, settings, runtime folder.
as()
{
    local user=$1
    shift
    local env=(env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home/run"
        BE_DISPLAY=headless PATH="$PATH")
    if [ -n "$user" ]; then
        runuser -u "$user" -- "${env[@]}" "$@"
    else
        "${env[@]}" "$@"
    fi
}

# private_home USER: a HOME with a runtime folder, owned by USER (or oneself).
private_home()
{
    home=$(mktemp -d "$tmp/home.XXXXXX")
    mkdir -p "$home/run" "$home/.config"
    chmod 700 "$home/run"
    chmod 755 "$home"
    [ -z "$1" ] || chown -R "$1" "$home"
}
