#!/usr/bin/env bash
# Draws the wizard's pictures with ImageMagick 6 and writes them into res/.
# Output is byte-for-byte reproducible: no timestamps, no randomness, fixed fonts.
set -euo pipefail

ART_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
RES_DIR="$(cd "$ART_DIR/.." && pwd)"

FONT_BOLD=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
for f in "$FONT_BOLD"; do
    [[ -r "$f" ]] || { echo "make_art.sh: missing font $f" >&2; exit 1; }
done
command -v convert >/dev/null || { echo "make_art.sh: ImageMagick 'convert' not found" >&2; exit 1; }

# One thread keeps resampling results identical from run to run.
export MAGICK_THREAD_LIMIT=1

TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT

# Palette shared by all pictures.
BRAND='#1E5FAE'       # main blue
BRAND_DARK='#163F73'  # outlines, slot
ACCENT='#3FA0E0'      # lighter blue
INK='#1E3550'         # word mark
HEADER='#E3EDF8'      # header band; the logo sits on this colour
BODY_TOP='#F5F9FD'    # body gradient start, fades to white

# 24-bit uncompressed BMP with a plain BITMAPINFOHEADER, 96 DPI.
BMP_OUT=(-alpha off -type TrueColor -compress None -density 96 -units PixelsPerInch
         -define bmp:format=bmp3)

# ---------------------------------------------------------------- background
# 566x383: flat header band (left part flat so the logo blends in),
# thin accent rule under it, pale-blue-to-white body, faint swoosh at the bottom.
# The logo (44 px tall, its own background in the header colour) stands at
# dialog unit y 13 of a 200-unit client area over which this picture is
# stretched, so its last row falls on picture row (13*u + 44) * 383 / (200*u)
# for u pixels per vertical unit: 73 at u = 1.75 (the Wine test window, 350 px
# high), 81 at u = 1.5 (a 12-pixel dialog font). The band stays flat down to
# row 81 and the rule comes after it; otherwise the logo shows as a box over
# the rule and the lighter body.
W=566; H=383; HB=84
convert \
    \( -size ${W}x${H} xc:white \) \
    \( -size ${HB}x366 gradient:"$HEADER"-'#F3F7FC' -rotate -90 \) -geometry +200+0 -composite \
    \( -size 200x${HB} xc:"$HEADER" \) -geometry +0+0 -composite \
    \( -size 2x${W} gradient:"$BRAND"-'#CFE0F3' -rotate -90 \) -geometry +0+$((HB - 2)) -composite \
    \( -size ${W}x140 gradient:"$BODY_TOP"-white \) -geometry +0+${HB} -composite \
    -fill '#F1F6FC' -stroke none -draw "ellipse 470,520 420,200 0,360" \
    -fill '#EAF1F9' -draw "ellipse 90,500 420,150 0,360" \
    -fill '#E4EDF7' -draw "ellipse 380,470 330,100 0,360" \
    "${BMP_OUT[@]}" BMP3:"$RES_DIR/background.bmp"

# ---------------------------------------------------------------------- logo
# 133x44 drawn 4x larger and reduced, for smooth edges.
S=4
convert -size $((133 * S))x$((44 * S)) xc:"$HEADER" \
    -stroke none \
    \( -size $((32 * S))x$((32 * S)) gradient:"$ACCENT"-"$BRAND" \
       \( -size $((32 * S))x$((32 * S)) xc:black -fill white \
          -draw "roundrectangle 0,0 $((32 * S - 1)),$((32 * S - 1)) $((7 * S)),$((7 * S))" \) \
       -alpha off -compose CopyOpacity -composite \) \
    -compose Over -geometry +$((4 * S))+$((6 * S)) -composite \
    -fill none -stroke white -strokewidth $((3 * S)) \
    -draw "arc $((12 * S)),$((14 * S)) $((28 * S)),$((30 * S)) -15,285" \
    -stroke none -fill white -draw "circle $((26 * S)),$((16 * S)) $((26 * S)),$((18 * S))" \
    -font "$FONT_BOLD" -pointsize $((21 * S)) -fill "$INK" -kerning 0 \
    -gravity west -annotate +$((42 * S))+$((1 * S)) 'Orvane' \
    -resize 133x44\! "${BMP_OUT[@]}" BMP3:"$RES_DIR/logo.bmp"

# ------------------------------------------------------------------- printer
# 64x67 on white, drawn 4x larger: sheet in the feeder, body, output tray,
# printed sheet coming out, soft shadow.
convert -size 256x268 xc:white \
    -stroke none -fill '#E4E9EF' -draw "ellipse 128,252 112,9 0,360" -blur 0x3 \
    -stroke '#AEB9C5' -strokewidth 3 -fill white \
    -draw "rectangle 70,14 186,112" \
    -stroke '#C9D2DB' -strokewidth 4 \
    -draw "line 86,36 170,36" -draw "line 86,52 170,52" -draw "line 86,68 150,68" \
    -stroke '#7F8D9C' -strokewidth 4 -fill '#EEF1F4' \
    -draw "roundrectangle 16,94 240,200 18,18" \
    -stroke none -fill '#DCE2E8' -draw "roundrectangle 18,96 238,124 16,16" \
    -fill '#DCE2E8' -draw "rectangle 18,112 238,124" \
    -stroke '#7F8D9C' -strokewidth 3 -draw "line 18,124 238,124" \
    -stroke none -fill "$BRAND" -draw "roundrectangle 176,136 222,152 5,5" \
    -fill '#43B766' -draw "circle 160,144 166,144" \
    -fill '#3C4A58' -draw "roundrectangle 52,162 204,174 5,5" \
    -stroke '#7F8D9C' -strokewidth 4 -fill '#C7D0D9' \
    -draw "polygon 42,200 214,200 232,240 24,240" \
    -stroke '#AEB9C5' -strokewidth 3 -fill white \
    -draw "rectangle 66,168 190,230" \
    -stroke '#C9D2DB' -strokewidth 4 \
    -draw "line 82,190 174,190" -draw "line 82,206 174,206" -draw "line 82,220 140,220" \
    -resize 64x67\! "${BMP_OUT[@]}" BMP3:"$RES_DIR/printer.bmp"

# ---------------------------------------------------------------------- icon
# 48x48, 32 bpp with alpha: blue printer with a sheet and a round
# down-arrow badge. Drawn 8x larger on transparency, then reduced.
convert -size 384x384 xc:none \
    -stroke '#8FA6BF' -strokewidth 8 -fill white \
    -draw "rectangle 100,28 284,150" \
    -stroke none -fill "$BRAND_DARK" -draw "roundrectangle 24,118 360,294 40,40" \
    -fill "$BRAND" -draw "roundrectangle 24,118 360,280 40,40" \
    -fill "$ACCENT" -draw "roundrectangle 40,130 344,170 20,20" \
    -fill "$BRAND_DARK" -draw "roundrectangle 80,224 304,248 10,10" \
    -stroke '#8FA6BF' -strokewidth 8 -fill white \
    -draw "rectangle 100,236 284,360" \
    -stroke '#B8C7D8' -strokewidth 10 \
    -draw "line 130,284 254,284" -draw "line 130,318 210,318" \
    -stroke white -strokewidth 14 -fill '#2FA85A' -draw "circle 296,296 296,374" \
    -stroke none -fill white \
    -draw "polygon 296,346 256,302 282,302 282,250 310,250 310,302 336,302" \
    -filter Lanczos -resize 48x48\! \
    -define icon:auto-resize=48 ICO:"$RES_DIR/vornell.ico"

echo "wrote: background.bmp logo.bmp printer.bmp vornell.ico in $RES_DIR"
