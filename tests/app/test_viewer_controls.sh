#!/bin/bash
# The scene viewer's controls under Xvfb, on SimpleSkin: Space freezes the
# animation, Right steps it, a drag orbits the view, the wheel zooms, held A
# shows the counts overlay, Escape quits. On a quad with one camera, C goes
# to the scene's camera and back to the orbit camera.
set -u
source "$VANTOR_TEST_SUPPORT/xvfb.sh"

[ -f "$VANTOR_CONTENT/scripts/view_skin.vsl" ] || fail "the content is not built"
import="$VANTOR_BUILD/tools/import/vantor-import"
[ -x "$import" ] || fail "vantor-import is not built"
command -v ffmpeg >/dev/null || exit 77
rm -rf skin && mkdir skin
"$import" "$VANTOR_TESTDATA/gltf/SimpleSkin/SimpleSkin.gltf" -o skin/SimpleSkin.vscene >import.log 2>&1 ||
    fail "import failed: $(cat import.log)"
"$import" "$VANTOR_TESTDATA/viewer/quad_camera.gltf" -o skin/quad.vscene >import.log 2>&1 ||
    fail "import failed: $(cat import.log)"

start_xvfb 800x600x24
start_app --data "$VANTOR_CONTENT" --view skin/SimpleSkin.vscene
win=$(wait_window) || exit 1
sleep 1
xdotool windowfocus "$win" 2>/dev/null
eval "$(xdotool getwindowgeometry --shell "$win")"

# A checksum of the window's picture, and the brightest grey of an area.
shot() {
    ffmpeg -v error -f x11grab -video_size 800x600 -i "$DISPLAY+$X,$Y" -frames:v 1 -f rawvideo - 2>/dev/null |
        md5sum | cut -d' ' -f1
}
brightest() {
    ffmpeg -v error -f x11grab -video_size 800x600 -i "$DISPLAY+$X,$Y" -frames:v 1 \
        -vf "crop=$3:$4:$1:$2,format=gray" -f rawvideo - 2>/dev/null |
        od -An -v -tu1 | tr -s ' ' '\n' | grep -v '^$' | sort -n | tail -n 1
}

xdotool key space
sleep 1
paused_1=$(shot)
sleep 1
paused_2=$(shot)
[ "$paused_1" = "$paused_2" ] || fail "the picture still moves after Space"

for i in $(seq 20); do xdotool key Right; done
sleep 1
stepped=$(shot)
[ "$stepped" != "$paused_2" ] || fail "Right did not step the animation"

xdotool mousemove --window "$win" 400 300 mousedown 1
for x in 430 460 490 520 550; do xdotool mousemove --window "$win" "$x" 320; sleep 0.2; done
xdotool mouseup 1
sleep 1
orbited=$(shot)
[ "$orbited" != "$stepped" ] || fail "dragging did not orbit the view"

xdotool click 4 click 4 click 4
sleep 1
zoomed=$(shot)
[ "$zoomed" != "$orbited" ] || fail "the wheel did not zoom"

without=$(brightest 0 0 200 60)
xdotool keydown a
sleep 1
held=$(brightest 0 0 200 60)
xdotool keyup a
[ "$without" -le 80 ] || fail "top-left corner is bright without A ($without)"
[ "$held" -ge 200 ] || fail "no overlay while A is held ($held)"

xdotool key Escape
wait_exit 10 || fail "Escape did not end the viewer"
[ "$APP_STATUS" = 0 ] || fail "exit status $APP_STATUS"

start_app --data "$VANTOR_CONTENT" --view skin/quad.vscene
win=$(wait_window) || exit 1
sleep 1
xdotool windowfocus "$win" 2>/dev/null
eval "$(xdotool getwindowgeometry --shell "$win")"
orbit=$(shot)
xdotool key c
sleep 1
camera=$(shot)
xdotool key c
sleep 1
back=$(shot)
[ "$camera" != "$orbit" ] || fail "C did not switch to the scene's camera"
[ "$back" = "$orbit" ] || fail "C did not come back to the orbit camera"
xdotool key Escape
wait_exit 10 || fail "Escape did not end the viewer"
echo ok
