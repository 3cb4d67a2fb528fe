#!/bin/sh
# Runs zorv-pro under a virtual X server and saves pictures of the main window (video, metadata panel,
# controls).
#   scripts/screenshot.sh BUILD_DIR [OUT.png] [FILE]   one picture of FILE (default: a generated DV clip)
#   scripts/screenshot.sh BUILD_DIR --set              DV, HDV and AVCHD with GPS, each with the window
#                                                      540, 648 and 1600 pixels wide and at scale 2,
#                                                      into BUILD_DIR/screenshots/KIND-WIDTH.png and
#                                                      KIND-648-x2.png, then the --damage pictures
#   scripts/screenshot.sh BUILD_DIR --damage           a damaged DV clip: its damage strip
#                                                      (screenshots/damage-strip.png) and the outline of
#                                                      the damaged blocks of its first frame
#                                                      (screenshots/damage-blocks.png and -x2.png)
# BUILD_DIR holds src/app/zorv-pro and tests/gen/zorv-gen (a build configured with the app).
# ZORV_SCREENSHOT_WIDTH and QT_SCALE_FACTOR are passed on for the single picture.
set -eu
build=${1:?usage: screenshot.sh BUILD_DIR [OUT.png] [FILE] | BUILD_DIR --set}
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
app="$build/src/app/zorv-pro"
gen=$(find "$build" -name zorv-gen -type f -perm -u+x | head -n 1)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# shot OUT FILE [WIDTH] [SCALE]: one picture with a settings store of its own (first start: the
# built-in decoders are chosen; the user's window position and recent files stay untouched).
# With SHOW_BLOCKS=1 the store has View > Show Damaged Blocks on.
shot() {
    rm -rf "$tmp/config"
    if [ "${SHOW_BLOCKS:-0}" = 1 ]; then
        mkdir -p "$tmp/config/ZORV"
        printf '[Options]\nDmgBlocks=1\n' >"$tmp/config/ZORV/ZORV Pro 4.ini"
    fi
    env XDG_CONFIG_HOME="$tmp/config" ZORV_NO_AUDIO=1 ZORV_SCREENSHOT="$1" \
        ZORV_SCREENSHOT_DELAY="${ZORV_SCREENSHOT_DELAY:-4000}" \
        ${3:+ZORV_SCREENSHOT_WIDTH=$3} ${4:+QT_SCALE_FACTOR=$4} \
        xvfb-run -a -s "-screen 0 3400x1800x24" "$app" "$2"
    echo "saved $1"
}

# damage_shots OUT_DIR: a clip read badly in places, as a tape with dropouts and a clogged head gives:
# its first frame has concealed blocks and a few not concealed, later frames concealed stretches, errors
# nobody concealed, audio error samples and a dropped frame.
damage_shots() {
    "$gen" clip "$tmp/damaged.avi" --frames 250 --audio tone \
        --damage 0:a:0.3@0.05,0:f:0.04@0.55,30:a:0.1,31:a:0.1,32:a:0.12,33:2:0.2,80:f:0.02@0.3,150:a:0.6,151:a:0.6,152:a:0.6,153:a:0.6,154:a:0.6,155:a:0.6,156:a:0.6,157:a:0.6,158:e:0.6,200:7:0.1@0.7 \
        --audio-errors 110:1:40,111:1:40,112:2:12,230:1:8 --drop 215 >/dev/null
    shot "$1/damage-strip.png" "$tmp/damaged.avi" 648
    SHOW_BLOCKS=1 shot "$1/damage-blocks.png" "$tmp/damaged.avi" 648
    SHOW_BLOCKS=1 shot "$1/damage-blocks-x2.png" "$tmp/damaged.avi" 648 2
}

if [ "${2:-}" = "--damage" ]; then
    mkdir -p "$build/screenshots"
    damage_shots "$build/screenshots"
    exit 0
fi

if [ "${2:-}" = "--set" ]; then
    out="$build/screenshots"
    mkdir -p "$out"
    "$gen" sample "$tmp/dv.avi" >/dev/null
    "$gen" hdv "$tmp/hdv.m2t" >/dev/null
    "$gen" avchd "$tmp/avchd-gps.mts" --gps-track >/dev/null
    for kind in dv hdv avchd-gps; do
        file=$(ls "$tmp/$kind".*)
        for width in 540 648 1600; do
            shot "$out/$kind-$width.png" "$file" "$width"
        done
        shot "$out/$kind-648-x2.png" "$file" 648 2
    done
    damage_shots "$out"
    exit 0
fi

out=${2:-zorv-pro-screenshot.png}
file=${3:-}
if [ -z "$file" ]; then
    file="$tmp/sample.avi"
    "$gen" sample "$file"
fi
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
shot "$out" "$file" "${ZORV_SCREENSHOT_WIDTH:-}" "${QT_SCALE_FACTOR:-}"
