#!/bin/bash
# A capture to .mp4 plays in ffprobe: a video stream and an audio stream, both
# as long as the captured range, and the sound is the music of that range.
. "$VANTOR_TEST_SUPPORT/preamble.sh"
need_content fps7.ogg
command -v ffprobe >/dev/null || fail "ffprobe missing (Debian package ffmpeg)"

rm -f clip.mp4
"$VANTOR_BIN" --data "$VANTOR_CONTENT" --capture clip.mp4 --fps 10 --size 320x240 --from 30000 --to 32000 \
    >run.out 2>run.err
status=$?
[ "$status" = 0 ] || fail "exit status $status"
[ -s clip.mp4 ] || fail "no clip.mp4"

streams=$(ffprobe -v error -show_entries stream=codec_type,duration,nb_frames,width,height \
    -of compact=p=0:nk=0 clip.mp4)
echo "$streams"
video=$(echo "$streams" | grep 'codec_type=video') || fail "no video stream"
audio=$(echo "$streams" | grep 'codec_type=audio') || fail "no audio stream"
field() { echo "$1" | tr '|' '\n' | sed -n "s/^$2=//p"; }
[ "$(field "$video" nb_frames)" = 20 ] || fail "video has $(field "$video" nb_frames) frames, not 20"
[ "$(field "$video" width)x$(field "$video" height)" = 320x240 ] || fail "video size"
# Both 2 s long, within a frame for the picture and an AAC frame for the sound.
awk -v v="$(field "$video" duration)" -v a="$(field "$audio" duration)" \
    'BEGIN { exit !(v > 1.95 && v < 2.05 && a > 1.9 && a < 2.1) }' ||
    fail "durations: video $(field "$video" duration), audio $(field "$audio" duration)"

# Loudness of the muxed sound against the music at 30-32 s, and against the
# quiet intro, which it must not be.
mean_volume() { ffmpeg -hide_banner -nostdin "$@" -af volumedetect -f null - 2>&1 | sed -n 's/.*mean_volume: \(.*\) dB/\1/p'; }
clip=$(mean_volume -i clip.mp4 -map 0:a)
music=$(mean_volume -ss 30 -t 2 -i "$VANTOR_CONTENT/fps7.ogg")
intro=$(mean_volume -ss 0 -t 2 -i "$VANTOR_CONTENT/fps7.ogg")
echo "mean volume: clip $clip dB, music at 30 s $music dB, intro $intro dB"
awk -v c="$clip" -v m="$music" -v i="$intro" 'BEGIN { d = c - m; if (d < 0) d = -d; e = c - i; if (e < 0) e = -e; exit !(d < 1.5 && e > 3) }' ||
    fail "the sound is not the music of the captured range"

# Output that cannot be written is a failure, not a success: a video in a
# missing folder (ffmpeg gives up), frames under a plain file.
rm -rf missing plain
"$VANTOR_BIN" --data "$VANTOR_CONTENT" --capture missing/clip.mp4 --fps 10 --size 64x48 --from 30000 --to 31000 \
    >run.out 2>run.err
status=$?
[ "$status" = 1 ] || fail "unwritable video: exit status $status"
grep -q 'ffmpeg could not make "missing/clip.mp4"' run.err || fail "unwritable video: no reason given"
grep -q 'ffmpeg could not make' report.htm || fail "unwritable video: not in the report"
touch plain
"$VANTOR_BIN" --data "$VANTOR_CONTENT" --capture plain/frames --fps 10 --size 64x48 --from 30000 --to 31000 \
    >run.out 2>run.err
status=$?
[ "$status" = 1 ] || fail "unwritable frames: exit status $status"
grep -q 'cannot make the frame folder "plain/frames"' run.err || fail "unwritable frames: no reason given"
echo ok
