#!/usr/bin/env bash
# Writes a music-like stereo WAV for demos and benchmarks: a kick at 120 beats
# a minute under a held chord, the chord's notes apart left and right, and a
# hi-hat on the off-beats.
# Usage: tools/make-song.sh OUT.wav SECONDS
set -euo pipefail
kick='0.5*sin(2*PI*(50+90*exp(-30*mod(t\,0.5)))*t)*exp(-7*mod(t\,0.5))'
hat='0.12*(random(0)*2-1)*exp(-40*mod(t+0.25\,0.5))'
ffmpeg -nostdin -v error -y -f lavfi -i "aevalsrc=\
$kick+0.14*sin(2*PI*220*t)+0.08*sin(2*PI*660*t)+$hat|\
$kick+0.14*sin(2*PI*330*t)+0.08*sin(2*PI*990*t)+0.6*$hat:s=44100:d=$2" -c:a pcm_s16le "$1"
