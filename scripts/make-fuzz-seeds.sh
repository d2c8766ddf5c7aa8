#!/usr/bin/env bash
# Writes the seed corpora of the fuzz harnesses into DIR/<harness>/, from
# the same kinds of bytes the tests build: frame headers behind ID3v2 tags,
# ID3v1 blocks, list-file records, settings files, a small library.
set -euo pipefail
dir=${1:?usage: make-fuzz-seeds.sh DIR}
for h in frameheader id3v1 id3v2 id3v2text taglib cataloguelist settings library matchrule tunepost queryparser; do
  mkdir -p "$dir/$h"
done
# Inputs that once made a harness fail are run again first on every run.
here=$(cd "$(dirname "$0")/.." && pwd)
for found in "$here"/fuzz/regressions/*/*; do
  [ -f "$found" ] && cp "$found" "$dir/$(basename "$(dirname "$found")")/"
done

# An ID3v2 tag of version $1 holding one text frame $2 (its data in $3, a
# printf format), with 16 bytes of padding; frame sizes below 128 bytes only.
tag() {
  local version=$1 id=$2 data=$3 len size frame
  len=$(printf "$data" | wc -c)
  if [ "$version" = 2 ]; then
    frame="$id$(printf '\\x00\\x00\\x%02x' "$len")"
  else
    frame="$id$(printf '\\x00\\x00\\x00\\x%02x\\x00\\x00' "$len")"
  fi
  size=$(( ${#id} + (version == 2 ? 3 : 6) + len + 16 ))
  printf "ID3\\x$(printf %02x "$version")\\x00\\x00\\x00\\x00\\x00\\x$(printf %02x "$size")$frame"
  printf "$data"
  head -c 16 /dev/zero
}

frame='\xff\xfb\x90\x64'
printf "$frame\\x00\\x00" >"$dir/frameheader/plain"
printf "junk\\xff\\xe0$frame" >"$dir/frameheader/junk-before"
{ tag 3 TIT2 '\x00My Song'; printf "$frame"; } >"$dir/frameheader/after-tag"
printf '11111111 11111011 10010000 01100100 ' >"$dir/frameheader/header-text"

block() { # an ID3v1 block: title artist album year comment genre-byte
  printf 'TAG'
  local text width
  for f in "$1:30" "$2:30" "$3:30" "$4:4" "$5:30"; do
    text=${f%:*} width=${f##*:}
    printf '%s' "$text"
    head -c $(( width - ${#text} )) /dev/zero
  done
  printf "\\x$(printf %02x "$6")"
}
block 'My Song' 'The Band' 'Live' 1999 'comment' 17 >"$dir/id3v1/rock"
{ head -c 200 /dev/zero; block 'T' 'A' '' '' '' 255; } >"$dir/id3v1/no-genre"

tag 2 TT2 '\x00Title' >"$dir/id3v2/v22"
tag 3 TPE1 '\x00The Band' >"$dir/id3v2/v23"
tag 4 TCON '\x03(17)Rock' >"$dir/id3v2/v24-genre"
tag 3 TALB '\x01\xff\xfeL\x00i\x00v\x00e\x00' >"$dir/id3v2/v23-utf16"
cp "$dir"/id3v2/* "$dir/id3v2text/"
# Tags the own reader leaves to TagLib: a recording date, several values
# in one 2.4 frame, a line break in a value, unsynchronisation.
cp "$dir"/id3v2/* "$dir/taglib/"
tag 4 TDRC '\x03\x32\x30\x30\x31-05-17' >"$dir/taglib/v24-date"
tag 4 TPE1 '\x03One\x00Two\x00' >"$dir/taglib/v24-values"
tag 3 TIT2 '\x00Line\r\nBreak\x01' >"$dir/taglib/v23-controls"
tag 3 TCON '\x00(255)(17)' >"$dir/taglib/v23-unsync"
printf '\x80' | dd of="$dir/taglib/v23-unsync" bs=1 seek=5 conv=notrunc status=none
# Values TagLib reads as a lone surrogate, and as text after a second
# byte order mark: the UTF-8 the scan stores must still match the text.
echo SUQzAwAAAAAAJVRBTEIAAAAjAAAkVENPTgAAAAoAAAAozsooygAA3gAAAAAAAAAA | base64 -d >"$dir/taglib/lone-surrogate"
echo SUQzAwAAAAAAJVRBTEIAAAALAAAB//4cAP/+AGkAZSipAAAAAAAA//////////8AAA== | base64 -d >"$dir/taglib/inner-bom"

record() { printf '%s\r\n' "$@" '' ''; }
record /media/cdrom/Intro.mp3 CD02 'The Band' Intro Live 1999 Rock '' \
  '11111111 11111011 10010000 01100100 ' >"$dir/cataloguelist/one"
{ record /a.mp3 HD01 '' '' '' '' '' '' 'n/a'; printf '/b\xe9.mp3\r\nCD\r\n'; } >"$dir/cataloguelist/cut-cp1252"
# Extension lines: the facts, unknown keys, a later version, the original's text.
{ printf '/c.mp3\r\nHD01\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n%s\r\n\r\n' \
    'ondro:1 size=4000 mtime=915148800 dur=215.3 kbps=128 mode=cbr rate=44100 enc=LAME3.100 aid=0123456789abcdef zz=%20'
  printf '/d\xe9.mp3\r\nCD\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\nondro:2 x\r\n\r\n'
  printf '/e.mp3\r\nCD\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\nComment\r\n'; } >"$dir/cataloguelist/extension"

printf 'VERSION=2.6\r\nCOVERPATH=/covers\r\nWIDTH1=1440\r\nWIDTH2=1234.5\r\nWIDTH3=0\r\nEMAIL=\r\n' \
  >"$dir/settings/current"
printf 'x\r\n/old/covers\r\n4200, 900, 1800\r\n2400 1800 700 1300 1800\r\n' >"$dir/settings/old"

printf 'my song\0/media/cdrom/Rock/My_Song.mp3' >"$dir/matchrule/ascii"
printf '\xc3\x9f\0/Stra\xc3\x9fe/ss.mp3' >"$dir/matchrule/sharp-s"
printf 'The Band\0My Song\0/media/cdrom/(Band)Song.mp3' >"$dir/tunepost/tags"
# Queries: words and phrases, each kind of term, flags, nesting, errors.
q=0
for query in 'night "ace of" caf\xc3\xa9' 'artist:=band title:/^ace|sp.des$/ file:intro' \
    'year:1990..1999 dur:>=215.3 size:<4M kbps:128 rate:44100..' 'mode:vbr OR enc:lame -has:cover' \
    'NOT (is:online OR is:offline) is:library dup:audio dup:song single' '((a OR -b) c) label:night note:"box 3"' \
    'artst:x' 'title:/(ace/' 'kbps:fast' '"open' 'a OR' 'has:lost' ')'; do
  q=$((q + 1))
  printf "$query" >"$dir/queryparser/q$q"
done
printf '\0\0C:\\Music\\Rock - Pop\\It'"'"'s.mp3' >"$dir/tunepost/windows-path"

rm -f "$dir/library/two.odl" "$dir/library/generated-virtual.odl" "$dir/library/generated-stored.odl"
python3 - "$dir/library/two.odl" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.executescript("PRAGMA application_id=1330529356; PRAGMA user_version=1;"
    "CREATE TABLE tbl_MP3s (filename TEXT, source TEXT, artist TEXT, track TEXT, album TEXT,"
    " year TEXT, genre TEXT, coverimage TEXT, audioheader TEXT);")
db.executemany("INSERT INTO tbl_MP3s VALUES (?,?,?,?,?,?,?,?,?)",
    [("/m/a.mp3", "CD01", "A", "T", "L", "1999", "Rock", "", "n/a"),
     ("/m/b.mp3", "CD01", None, 7, b"\x00", "", "", "", "")])
db.commit()
PY
# Libraries whose schema, edited through writable_schema, computes the
# fields the records do not store: they must be refused unread.
for how in virtual stored; do
  python3 - "$dir/library/generated-$how.odl" "$how" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.executescript("CREATE TABLE tbl_MP3s (filename TEXT, coverimage TEXT);"
    "INSERT INTO tbl_MP3s VALUES ('/m/a.mp3', NULL), (NULL, NULL);")
fields = ["filename", "source", "artist", "track", "album", "year", "genre", "coverimage", "audioheader"]
computed = " AS (printf('%.*c', 1048576, 'x')) " + sys.argv[2].upper()
sql = "CREATE TABLE tbl_MP3s (" + ", ".join(
    f + " TEXT" + ("" if f in ("filename", "coverimage") else computed) for f in fields) + ")"
db.execute("PRAGMA writable_schema=ON")
db.execute("UPDATE sqlite_schema SET sql = ? WHERE name = 'tbl_MP3s'", (sql,))
db.commit()
PY
done
