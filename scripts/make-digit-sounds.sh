#!/usr/bin/env bash
# Records the ten spoken digits again into assets/sounds/0.wav ... 9.wav with
# espeak-ng's Mandarin voice. The committed WAVs are what the client is built
# with; run this only to change the voice. Needs espeak-ng and sox.
# All ten are 16-bit mono PCM at 22050 Hz, trimmed of silence at both ends and
# cut to 0.55 s, so a digit is over before the next one of a read-out starts.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/assets/sounds"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

words=(零 一 二 三 四 五 六 七 八 九)
for d in "${!words[@]}"; do
    espeak-ng -v cmn -s 190 -w "$work/$d.wav" "${words[$d]}"
    sox "$work/$d.wav" -r 22050 -b 16 -c 1 -e signed-integer "$work/t$d.wav" \
        silence 1 0.01 0.5% reverse silence 1 0.01 0.5% reverse
    cut=()
    if awk -v t="$(soxi -D "$work/t$d.wav")" 'BEGIN { exit !(t > 0.55) }'; then
        cut=(trim 0 0.55)
    fi
    # A short fade-out so a cut recording does not end with a click.
    sox "$work/t$d.wav" "$out/$d.wav" "${cut[@]}" reverse fade t 0.02 reverse
done
