#!/usr/bin/env bash
# Writes the application form that the demo's operator script drops onto
# the third sheet: a 24-bit BMP of 120 x 170 pixels, white paper with dark
# bars of "text" every 12 rows.
#   demo/make-form.sh FILE
set -euo pipefail
out=${1:?usage: make-form.sh FILE}
# Little-endian fields.
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }
repeat() { local i; for ((i = 0; i < $2; i++)); do printf '%s' "$1"; done; }
bmp() {  # FILE WIDTH HEIGHT PAPER(hex byte) INK(hex byte or "")
  local f=$1 w=$2 h=$3 paper=$4 ink=$5 y
  local row=$(((w * 3 + 3) / 4 * 4))
  local plain text
  plain=$(repeat "\\x$paper" "$row")
  text=$(repeat "\\x$paper" 24)$(repeat "\\x${ink:-$paper}" $((row - 48)))$(repeat "\\x$paper" 24)
  {
    printf 'BM'; le32 $((54 + row * h)); le32 0; le32 54
    le32 40; le32 "$w"; le32 "$h"; le16 1; le16 24; le32 0; le32 $((row * h)); le32 3937; le32 3937; le32 0; le32 0
    for ((y = 0; y < h; y++)); do
      if ((y > 8 && y < h - 8 && y % 12 < 4)); then printf "$text"; else printf "$plain"; fi
    done
  } > "$f"
}
bmp "$out" 120 170 f0 30
