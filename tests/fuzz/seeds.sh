#!/usr/bin/env bash
# Writes the seed inputs of every fuzz target into corpus/<target>/seed-*: short
# captures from velkin-synth in each scope format, heads of the shipped examples,
# and commands for Orvane. Usage: seeds.sh <velkin-synth>
set -euo pipefail
synth="$1"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
corpus="$here/corpus"
examples="$here/../../examples"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# One packet of one byte with a few idle bits around it keeps every capture a few KB.
capture() {  # kind file [options]
    local kind="$1" file="$2"
    shift 2
    local traffic=(--packets 1 --bytes 1 --lead-idle 8 --gap-idle 8)
    case "$kind" in
    hs) "$synth" hs -o "$file" --rate 4e9 "${traffic[@]}" "$@" ;;
    fs) "$synth" fs -o "$file" --rate 2e8 "${traffic[@]}" "$@" ;;
    ls) "$synth" ls -o "$file" --rate 2.4e7 "${traffic[@]}" "$@" ;;
    inrush) "$synth" inrush -o "$file" --rate 2e4 --after 0.01 "$@" ;;
    esac >/dev/null
}

# Readers: each format in a folder of its own, since a .Wfm.bin's description is a .bin.
declare -A target=([csv]=csv [tsv]=tsv [bin]=bin [wfm]=wfm [trc]=trc [Wfm.bin]=wfmbin)
for ext in csv tsv bin wfm trc Wfm.bin; do
    out="$corpus/${target[$ext]}"
    mkdir -p "$out"
    for kind in hs fs ls inrush; do
        dir="$work/$ext-$kind"
        mkdir -p "$dir"
        # Formats of one trace per file take D+ alone; the pair formats take both.
        case "$ext-$kind" in
        wfm-[fl]s | trc-[fl]s) capture "$kind" "$dir/c.$ext" --minus "$dir/m.$ext" ;;
        *) capture "$kind" "$dir/c.$ext" ;;
        esac
        if [ "$ext" = Wfm.bin ]; then
            { cat "$dir/c.bin"; printf '\0'; cat "$dir/c.Wfm.bin"; } >"$out/seed-$kind"
        else
            cp "$dir/c.$ext" "$out/seed-$kind.$ext"
        fi
    done
done
# A header kept in the leading columns, sharing its lines with the first samples.
printf 'Record Length,5,Points,,\nSample Interval,1e-9,s,0,0.1\nTrigger Point,0,Samples,1e-9,0.2\n,,,2e-9,0.3\n,,,3e-9,0.4\n' \
    >"$corpus/csv/seed-leading-header.csv"
head -c 3000 "$examples/hs_pass.csv" >"$corpus/csv/seed-hs-pass-head.csv"
head -c 3000 "$examples/fs_pair.csv" >"$corpus/csv/seed-fs-pair-head.csv"

# Exports: byte 0 is test type + 10 * mode (+ 40 * hubs); the rest a .csv capture.
mkdir -p "$corpus/signal" "$corpus/inrush"
for seed in hs:3 hs:2 hs:16 hs:49 fs:1 fs:5 fs:18 ls:0 ls:4 ls:7; do
    kind="${seed%:*}" choice="${seed#*:}"
    { printf "\\$(printf %03o "$choice")"; cat "$work/csv-$kind/c.csv"; } \
        >"$corpus/signal/seed-$kind-$choice"
done
# Byte 0 is supply voltage (5, 4.75, 5.25, 3.3, ...) + 8 * mode.
for choice in 0 1 3 10; do
    { printf "\\$(printf %03o "$choice")"; cat "$work/csv-inrush/c.csv"; } \
        >"$corpus/inrush/seed-inrush-$choice"
done

# Orvane: a command line, a zero byte, the text of cmd.txt; cap.csv is there to name.
mkdir -p "$corpus/cmdline"
cmdline() { printf '%s\0%s' "$2" "$3" >"$corpus/cmdline/seed-$1"; }
cmdline signal 'usbsigcheck,cap.csv,hsne /q' ''
cmdline pair 'usbsigcheck,cap.csv,ls,cap.csv /q /s' ''
cmdline repeater 'eusbrepeater,cap.csv,ehsrep' ''
cmdline inrush 'usbinrushcheck,cap.csv,5.0 /s' ''
cmdline wildcard 'usbsigcheck,c*.csv,fs /s' ''
cmdline pair-wildcard 'usbsigcheck,ca?.csv,ls,c?p.csv /q' ''
cmdline file 'cmd.txt /q' $'usbsigcheck,cap.csv,fs\nusbinrushcheck,cap.csv,4.75\n\nusbsigcheck,cap.csv,ls\n'
cmdline file-wildcard 'cmd.txt /s' $'eusbrepeater,*.csv,efsrep\r\nusbsigcheck,cap.*,hshub,cap.csv\r\n'
