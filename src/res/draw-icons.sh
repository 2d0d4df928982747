#!/bin/sh
# Draws the program icon (a jukebox with a note) and the 16x16 floppy disk of
# the save button into this folder. Run it again after changing a picture.
set -eu
cd "$(dirname "$0")"
CONVERT=/usr/bin/convert

# The jukebox: an arched wooden cabinet, a glowing window with a note, a grille.
$CONVERT -size 64x64 xc:none \
    -fill '#6b3a1e' -stroke '#3b1d0c' -strokewidth 2 \
    -draw 'path "M 8,62 L 8,26 A 24,24 0 0 1 56,26 L 56,62 Z"' \
    -fill '#f2b233' -stroke '#8a5a12' -strokewidth 1 \
    -draw 'path "M 15,40 L 15,27 A 17,17 0 0 1 49,27 L 49,40 Z"' \
    -fill '#1b1b40' -stroke none \
    -draw 'ellipse 27,33 5,4 0,360' \
    -draw 'rectangle 30,14 32,33' \
    -draw 'polygon 32,14 40,18 40,22 32,18' \
    -fill '#c0c0c0' -stroke '#3b1d0c' -strokewidth 1 \
    -draw 'rectangle 14,44 50,58' \
    -stroke '#555555' \
    -draw 'line 18,47 46,47' -draw 'line 18,50 46,50' \
    -draw 'line 18,53 46,53' -draw 'line 18,56 46,56' \
    tembrel.png

# The floppy disk: a blue body, a metal shutter at the top, a white label.
$CONVERT -size 16x16 xc:none \
    -fill '#2b4c9b' -stroke '#10204a' -strokewidth 1 \
    -draw 'polygon 0,0 13,0 15,2 15,15 0,15' \
    -fill '#d8d8d8' -stroke none -draw 'rectangle 3,1 11,5' \
    -fill '#2b4c9b' -draw 'rectangle 8,2 10,4' \
    -fill '#ffffff' -stroke '#9a9a9a' -draw 'rectangle 3,9 12,15' \
    -stroke '#7a7a7a' -draw 'line 5,11 10,11' -draw 'line 5,13 10,13' \
    floppy.png
