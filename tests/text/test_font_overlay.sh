#!/bin/bash
# The frame-rate overlay under Xvfb: holding A shows white text in the
# top-left corner (over the upper letterbox bar), without A that corner
# stays near black; a change of the audio delay shows there for a moment.
. "$VANTOR_TEST_SUPPORT/preamble.sh"
source "$VANTOR_TEST_SUPPORT/xvfb.sh"

# Content: the built demo content with a glyph sheet whose every cell holds
# a solid 8 x 8 block, so any text leaves plainly white pixels.
[ -f "$VANTOR_CONTENT/scripts/vertexprofiles.vsl" ] || fail "the content is not built"
data="$PWD/overlay_data"
rm -rf "$data"
cp -rs "$VANTOR_CONTENT" "$data" || fail "could not link the content"
rm -f "$data/fnt_04b08.png"
ffmpeg -v error -y -f lavfi -i "color=white:s=256x256,format=rgba" \
    -vf "geq=r=255:g=255:b=255:a='if(between(mod(X\,16)\,4\,11)*between(mod(Y\,16)\,4\,11)\,255\,0)'" \
    -frames:v 1 -pix_fmt rgba "$data/fnt_04b08.png" || fail "could not make the glyph sheet"

start_xvfb 800x600x24
start_app --windowed --data "$data"
win=$(wait_window)
sleep 1
xdotool windowfocus "$win" 2>/dev/null
eval "$(xdotool getwindowgeometry --shell "$win")"

# Brightest grey value in the window's area (x, y, w, h).
brightest() {
    ffmpeg -v error -f x11grab -video_size 800x600 -i "$DISPLAY+$X,$Y" -frames:v 1 \
        -vf "crop=$3:$4:$1:$2,format=gray" -f rawvideo - 2>/dev/null |
        od -An -v -tu1 | tr -s ' ' '\n' | grep -v '^$' | sort -n | tail -n 1
}

without=$(brightest 0 0 300 40)
[ -n "$without" ] || fail "no screenshot"
[ "$without" -le 8 ] || fail "top-left corner is not dark without A (brightest $without)"

xdotool keydown a
sleep 1
held=$(brightest 0 0 300 40)
below=$(brightest 0 60 300 20)
xdotool keyup a
sleep 1
released=$(brightest 0 0 300 40)

[ "$held" -ge 240 ] || fail "no overlay while A is held (brightest $held)"
[ "$below" -le 8 ] || fail "overlay reaches below its two text rows (brightest $below)"
[ "$released" -le 8 ] || fail "overlay stays after A is released (brightest $released)"
echo "overlay: without A $without, held $held, released $released"

# Ctrl and + makes the audio delay 10 ms longer: shown below the overlay's
# row for a moment, then gone; the report says so.
xdotool key ctrl+equal
sleep 0.7
shown=$(brightest 0 24 300 16)
sleep 2.5
gone=$(brightest 0 0 300 40)
[ "$shown" -ge 240 ] || fail "the audio delay is not shown after Ctrl and + (brightest $shown)"
[ "$gone" -le 8 ] || fail "the audio delay stays on screen (brightest $gone)"
grep -q 'Playback \[Audio delay 10 ms at [0-9]* ms\]' report.htm || fail "the report does not say the audio delay"

xdotool key Escape
wait_exit 10 || fail "Escape did not end the program"
[ "$APP_STATUS" = 0 ] || fail "exit status $APP_STATUS"
grep -q 'Texture Loader \["fnt_04b08.png" 256x256x4\] Loaded !' report.htm ||
    fail "the glyph sheet was not loaded"
echo ok
