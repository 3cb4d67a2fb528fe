#!/usr/bin/env bash
# Writes the seed inputs of every fuzz target into fuzz/seeds/<target>/ (or OUT/<target>/): small files
# cut from media made by zorv-gen, plus a few hand-made records. Rerun after a change to the generator:
#   fuzz/make_seeds.sh BUILD_DIR [OUT]      (BUILD_DIR holds a built zorv-gen and zorv)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:?usage: fuzz/make_seeds.sh BUILD_DIR [OUT]}"
out="${2:-fuzz/seeds}"
gen="$build/tests/gen/zorv-gen"
zorv="$build/src/cli/zorv"
[ -x "$gen" ] && [ -x "$zorv" ] || { echo "make_seeds: build zorv-gen and zorv in $build first" >&2; exit 2; }

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# Source media: one-frame DV in every container, short HDV and small-picture AVCHD streams.
"$gen" clip "$tmp/ntsc.dv" --system ntsc --frames 1 --container rawdv --audio tone >/dev/null
"$gen" clip "$tmp/pal.dv" --system pal --frames 1 --container rawdv --audio tone --bits 12 --rate 32000 >/dev/null
"$gen" clip "$tmp/damaged.dv" --system ntsc --frames 1 --container rawdv --audio tone --damage 0:a:0.6,0:f:0.01@0.9 \
    --audio-errors 0:2:30 >/dev/null
"$gen" clip "$tmp/t1.avi" --system ntsc --frames 1 --container avi1 --index idx1-movi --df >/dev/null
"$gen" clip "$tmp/t2.avi" --system ntsc --frames 1 --container avi2 --index odml --audio tone >/dev/null
"$gen" clip "$tmp/t2f.avi" --system ntsc --frames 1 --container avi2 --index idx1-file --audio tone --rate 44100 >/dev/null
cp "$tmp/t1.avi" "$tmp/t1tdat.avi"
"$zorv" fix-premiere "$tmp/t1tdat.avi" >/dev/null 2>&1 || true
"$gen" hdv "$tmp/hdv.m2t" --frames 2 --reel Tape1 >/dev/null
"$gen" hdv "$tmp/hdv720.m2t" --frames 2 --720 --ntsc --packet 192 >/dev/null
"$gen" avchd "$tmp/avchd.m2ts" --frames 3 --size 64x64 --gps-track >/dev/null
"$gen" avchd "$tmp/avchd188.m2ts" --frames 2 --size 64x64 --packet 188 --fps 30 --lfe >/dev/null
# The AVC reader opens files of 48 KiB and more: enough small pictures for the burn-in source.
"$gen" avchd "$tmp/avchd-long.m2ts" --frames 25 --size 64x64 --gps-track >/dev/null
"$gen" avchd "$tmp/avchd188-long.m2ts" --frames 35 --size 64x64 --packet 188 --fps 30 --lfe >/dev/null

head_of() { head -c "$2" "$1"; }
# put TARGET NAME: stdin becomes OUT/TARGET/NAME
put() {
  mkdir -p "$out/$1"
  cat >"$out/$1/$2"
}
rm -rf "${out:?}"/fuzz_*

# Whole files, for the targets that open files.
put fuzz_recognize t1.avi <"$tmp/t1.avi"
put fuzz_recognize ntsc.dv <"$tmp/ntsc.dv"
put fuzz_avi_index t1.avi <"$tmp/t1.avi"
put fuzz_avi_index t2.avi <"$tmp/t2.avi"
put fuzz_avi_chunks t1tdat.avi <"$tmp/t1tdat.avi"
put fuzz_avi_chunks t2.avi <"$tmp/t2.avi"
put fuzz_dv_frame_source t2f.avi <"$tmp/t2f.avi"
head_of "$tmp/hdv.m2t" 16384 | put fuzz_recognize hdv.m2t
put fuzz_recognize avchd.m2ts <"$tmp/avchd.m2ts"
# The burn-in source's first byte: 1 HDV, 2 sound, 4 the decoder's frames.
{ printf '\x02'; cat "$tmp/avchd-long.m2ts"; } | put fuzz_ts_burn_source avchd-sound.m2ts
{ printf '\x04'; cat "$tmp/avchd188-long.m2ts"; } | put fuzz_ts_burn_source avchd188-frames.m2ts
{ printf '\x03'; cat "$tmp/hdv.m2t"; } | put fuzz_ts_burn_source hdv-sound.m2t
# The modifier's first byte picks its settings.
{ printf '\x07'; cat "$tmp/t1tdat.avi"; } | put fuzz_modify t1tdat.avi
# Raw DV: the index target repeats its input to a quarter megabyte, so one DIF sequence will do.
head_of "$tmp/ntsc.dv" 12000 | put fuzz_rawdv_index ntsc-seq
head_of "$tmp/pal.dv" 12000 | put fuzz_rawdv_index pal-seq
{ printf '\xAA'; head_of "$tmp/pal.dv" 60000; } | put fuzz_rawdv_index pal-short

# One DV frame for the frame-level targets.
put fuzz_dv_packs ntsc.dv <"$tmp/ntsc.dv"
{ printf '\x01\x0a\x20\x05'; cat "$tmp/ntsc.dv"; } | put fuzz_split_decision ntsc-tc
# The damage target's first byte picks the frame size: 0 525/60.
{ printf '\x00'; cat "$tmp/damaged.dv"; } | put fuzz_dv_damage ntsc-damaged
# The capture target delivers one frame per 37 bytes or so, filled by repeating its input: a few
# hundred bytes of a frame's start make a capture of a dozen frames.
{ printf '\x00\x03\x01\x41'; head_of "$tmp/ntsc.dv" 480; } | put fuzz_capture_frames ntsc-vcr
# The audio target repeats its input to a frame: the first byte picks the system and rate.
{ printf '\x00'; head_of "$tmp/ntsc.dv" 12000; } | put fuzz_dv_audio ntsc-48k
{ printf '\x05'; head_of "$tmp/pal.dv" 12000; } | put fuzz_dv_audio pal-12bit

# Transport streams: the packet target takes at most 8 KiB.
head_of "$tmp/hdv.m2t" 8192 | put fuzz_ts_packets hdv
head_of "$tmp/hdv720.m2t" 8192 | put fuzz_ts_packets hdv720
put fuzz_ts_packets avchd <"$tmp/avchd.m2ts"
head_of "$tmp/hdv.m2t" 65536 | put fuzz_hdv_aux hdv
put fuzz_avc_reader avchd.m2ts <"$tmp/avchd.m2ts"
put fuzz_avc_reader avchd188.m2ts <"$tmp/avchd188.m2ts"
put fuzz_h264_sps avchd.m2ts <"$tmp/avchd.m2ts"
put fuzz_ac3_header avchd.m2ts <"$tmp/avchd.m2ts"
put fuzz_ac3_header avchd188.m2ts <"$tmp/avchd188.m2ts"

# The SEI carrying MDPM: from its start code to past its tags.
mdpm=$(grep -boa -m1 MDPM "$tmp/avchd.m2ts" | head -n1 | cut -d: -f1)
if [ -n "$mdpm" ]; then
  tail -c +"$((mdpm - 22))" "$tmp/avchd.m2ts" | head -c 200 | put fuzz_sei_mdpm sei
fi

# The Premiere timecode list as written by fix-premiere, and its body alone.
tdat=$(grep -boa -m1 Tdat "$tmp/t1tdat.avi" | head -n1 | cut -d: -f1)
if [ -n "$tdat" ]; then
  tail -c +"$((tdat + 5))" "$tmp/t1tdat.avi" | head -c 144 | put fuzz_tdat tdat-body
fi
printf 'tc_O\x0c\x00\x00\x0001:02:03;04\x00rn_O\x08\x00\x00\x00Tape 1\x00\x00' | put fuzz_tdat hand

# Export rows: ten bytes of settings and frame number, then 5-byte packs (timecode, date, time,
# camera and exposure packs).
printf '\x01\x02\x00\x10\x00\x00\x00\x00\x00\x00\x13\x45\x23\x12\x01\x62\xff\x15\x06\x11\x63\xff\x30\x45\x10\x70\x00\x20\xff\xff\x71\xff\x7f\x0f\x04\x61\x03\x00\x08\x10' | put fuzz_export_row camera
printf '[General]\nLanguage=1\nLastFolder="/home/a b/\\"x\\""\n[Burn]\nPositions=1,2;3,4\n; note\n' | put fuzz_settings_ini general.ini
printf '{6B29FC40-CA47-1067-B31D-00DD010662DA}' | put fuzz_settings_ini guid

# Batch results lines (one done with outputs and a non-UTF-8 byte escaped, one torn) and a file list.
printf '{"path":"/in/Tape 1\\udc80.avi","operation":"export","outcome":"done","message":"Metadata export complete","done_earlier":true,"outputs":[{"path":"/out/Tape 1.csv","size":5120}],"frames":250,"seconds":0.042}' | put fuzz_batch_results done
printf '{"path":"/in/b.avi","operation":"avi1","outcome":"failed","message":"ERROR: File does not exist","outputs":[],"frames":null,"sec' | put fuzz_batch_results torn
printf '# box 12\n\n -dash.avi\r\n./#x.avi\nB\xc3\xa4nd.avi\n' | put fuzz_batch_results list
