#!/bin/bash
# Live reloading under Xvfb: with --watch, saving the warehouse's shader
# script changes the picture; a script that does not compile keeps the last
# good version, shows its error over the picture and goes on running; saving
# a good one again takes the error away.
. "$VANTOR_TEST_SUPPORT/preamble.sh"
source "$VANTOR_TEST_SUPPORT/xvfb.sh"

[ -f "$VANTOR_CONTENT/scripts/radiosity_dark.vsl" ] || fail "the content is not built"
data="$PWD/watch_data"
rm -rf "$data"
cp -rs "$VANTOR_CONTENT" "$data" || fail "could not link the content"
# A real copy of the file edited: writing through the link would edit the build.
script="$data/scripts/radiosity_dark.vsl"
rm -f "$script"
cp "$VANTOR_CONTENT/scripts/radiosity_dark.vsl" "$script" || fail "could not copy the script"
original=$(cat "$script")

start_xvfb 800x600x24
# The first robot dances in the warehouse there.
start_app --windowed --watch --data "$data" --from 40000
win=$(wait_window) || exit 1
wait_frame "$win"
xdotool windowfocus "$win" 2>/dev/null
# Paused, the picture holds still between the edits.
xdotool key space
sleep 2
eval "$(xdotool getwindowgeometry --shell "$win")"

# Brightest grey value in the window's area (x, y, w, h).
brightest() {
    ffmpeg -v error -f x11grab -video_size 800x600 -i "$DISPLAY+$X,$Y" -frames:v 1 \
        -vf "crop=$3:$4:$1:$2,format=gray" -f rawvideo - 2>/dev/null |
        od -An -v -tu1 | tr -s ' ' '\n' | grep -v '^$' | sort -n | tail -n 1
}
# Near-white pixels in the picture between the letterbox bars.
white_in_picture() { window_bright "$win" 0 120 800 360; }
banner_dark() { [ "$(brightest 0 0 800 40)" -le 8 ]; }
banner_shown() { [ "$(brightest 0 0 800 40)" -ge 100 ]; }
running() { kill -0 "$APP_PID" 2>/dev/null || fail "the program ended"; }

grep -q 'Reload \[.* folders\] Watching !' report.htm || fail "the report does not say the content is watched"
before=$(white_in_picture)
banner_dark || fail "the top of the window is not dark before any edit"

# Every lit surface of the warehouse white.
printf '%s\n' "$original" | sed 's/gl_FragColor = vec4(lit \* fade, gl_Color.a \* texel.a);/gl_FragColor = vec4(1.0);/' \
    >"$script.new"
grep -q 'gl_FragColor = vec4(1.0);' "$script.new" || fail "the script's last line changed; update the test"
mv "$script.new" "$script"
whiter() { running && [ "$(white_in_picture)" -gt $((before + 5000)) ]; }
wait_until 60 whiter || fail "the picture did not change after the script was saved ($before, now $(white_in_picture))"
echo "white pixels: before $before, after the edit $(white_in_picture)"
grep -q 'Shader \["radiosity_dark.vsl" .*reloaded' report.htm || fail "the report does not say the script reloaded"

# A syntax error: the white version stays on screen, the error over it.
printf '%s\n' "$original" | sed 's/float fade = 1.0 /float fade = 1.0 + /' >"$script.new"
grep -q 'float fade = 1.0 + /' "$script.new" || fail "the script's fade line changed; update the test"
mv "$script.new" "$script"
wait_until 60 banner_shown || fail "no error banner after a broken script was saved"
running
grep -q 'radiosity_dark.vsl:[0-9]*:' report.htm || fail "the report lacks the script's error line"
grep -q 'Not Loaded, the last good version stays in use' report.htm || fail "the report does not say the old version stays"
[ "$(white_in_picture)" -gt $((before + 5000)) ] || fail "the last good version is not in use"

# Fixed: the banner goes, the original look is back.
printf '%s\n' "$original" >"$script"
wait_until 60 banner_dark || fail "the error banner stayed after the script was fixed"
grep -q 'Loads Again' report.htm || fail "the report does not say the script loads again"
back() { running && [ "$(white_in_picture)" -lt $((before + 2500)) ]; }
wait_until 60 back || fail "the original look did not come back"

xdotool key Escape
wait_exit 30 || fail "Escape did not end the program"
[ "$APP_STATUS" = 0 ] || fail "the program ended with status $APP_STATUS"
check_report

# The viewer watches the file it shows, outside the content. Saved again,
# the skinned mesh must draw as before from the new records: wired to the
# freed ones, it would draw wrong or trip the sanitizers.
import="$VANTOR_BUILD/tools/import/vantor-import"
[ -x "$import" ] || fail "vantor-import is not built"
rm -rf skin && mkdir skin
"$import" "$VANTOR_TESTDATA/gltf/SimpleSkin/SimpleSkin.gltf" -o skin/SimpleSkin.vscene >import.log 2>&1 ||
    fail "import failed: $(cat import.log)"
# The viewer on $1 with --watch, paused, its window's place in X and Y.
start_viewer() {
    start_app --watch --data "$data" --view "$1"
    win=$(wait_window) || exit 1
    sleep 1
    xdotool windowfocus "$win" 2>/dev/null
    xdotool key space
    sleep 2
    eval "$(xdotool getwindowgeometry --shell "$win")"
}
# The ends of a viewer's run: Escape, and status 0.
end_viewer() {
    xdotool key Escape
    wait_exit 30 || fail "Escape did not end the viewer"
    [ "$APP_STATUS" = 0 ] || fail "the viewer ended with status $APP_STATUS"
}
start_viewer skin/SimpleSkin.vscene
shot() {
    ffmpeg -v error -f x11grab -video_size 800x600 -i "$DISPLAY+$X,$Y" -frames:v 1 -f rawvideo - 2>/dev/null |
        md5sum | cut -d' ' -f1
}
paused=$(shot)
"$import" "$VANTOR_TESTDATA/gltf/SimpleSkin/SimpleSkin.gltf" -o skin/SimpleSkin.vscene >import.log 2>&1 ||
    fail "import failed: $(cat import.log)"
reloaded() { running && grep -q 'VScene Model \["SimpleSkin.vscene".*Reloaded' report.htm; }
wait_until 60 reloaded || fail "the viewed scene was not loaded again after it was saved"
sleep 2
running
[ "$(shot)" = "$paused" ] || fail "the scene looks different after loading the same file again"

# A broken file keeps the scene on screen and says why.
head -c 100 skin/SimpleSkin.vscene >skin/broken && mv skin/broken skin/SimpleSkin.vscene
wait_until 60 banner_shown || fail "no error banner after a broken scene file was saved"
running
grep -q 'Reload \["[^"]*SimpleSkin.vscene"\] Not Loaded' report.htm || fail "the report lacks the scene's error"
end_viewer
# A glTF model shown directly is converted again when it is saved; a broken
# one keeps the last good picture and says why.
cp "$VANTOR_TESTDATA/gltf/SimpleSkin/SimpleSkin.gltf" skin/model.gltf
start_viewer skin/model.gltf
paused=$(shot)
cp "$VANTOR_TESTDATA/gltf/SimpleSkin/SimpleSkin.gltf" skin/model.gltf.new && mv skin/model.gltf.new skin/model.gltf
model_reloaded() { running && grep -q 'VScene Model \["model.gltf".*Reloaded' report.htm; }
wait_until 60 model_reloaded || fail "the viewed glTF model was not converted again after it was saved"
sleep 2
running
[ "$(shot)" = "$paused" ] || fail "the model looks different after converting the same file again"
echo '{"asset":' >skin/model.gltf
wait_until 60 banner_shown || fail "no error banner after a broken glTF model was saved"
running
grep -q 'Reload \["[^"]*model.gltf"\] Not Loaded' report.htm || fail "the report lacks the model's error"
end_viewer
echo "ok"
