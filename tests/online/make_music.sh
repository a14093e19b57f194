#!/bin/sh
# Makes the music folder the search-service tests index: 23 one-second songs titled
# "Song 01".."Song 23" and one with Chinese tags. Usage: make_music.sh <folder>
set -e
dir="$1"
mkdir -p "$dir"
i=1
while [ $i -le 23 ]; do
  n=$(printf '%02d' $i)
  ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "sine=frequency=$((200 + i * 10)):duration=1" \
    -metadata title="Song $n" -metadata artist="Singer $n" -metadata album="Album" \
    -c:a libmp3lame -b:a 32k "$dir/song$n.mp3"
  i=$((i + 1))
done
ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "sine=frequency=440:duration=2" \
  -metadata title="晴天" -metadata artist="周杰伦" -metadata album="叶惠美" \
  -c:a libmp3lame -b:a 32k -id3v2_version 3 "$dir/qingtian.mp3"
