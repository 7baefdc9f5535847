#!/bin/sh
# The tests' fake `ping`, placed first on PATH. It behaves per address as the
# file "<address>.mode" next to it says, or as "default.mode" says when there
# is none (neither: "reply"):
#   reply            a reply line with time=0.3 ms
#   canned           the text of "<address>.out" as it stands (nothing if none)
#   silent           no reply line
#   slow <s>         sleeps <s> seconds, then answers
#   hang <s>         sleeps <s> seconds, then answers nothing
#   stuck <s>        answers, then sleeps <s> seconds before it ends
#   time <text>      a reply line with time=<text> ms
#   big <bytes>      <bytes> bytes of text with no reply line, then a reply line
#   bigreply <bytes> a reply line, then <bytes> bytes of text
#   garbage          binary bytes, no line ends
#   missing          leaves no result file
#   unreadable       leaves a result file that cannot be read
# Every call appends its arguments, each followed by '|', as one line to
# args.log and the address alone to calls.log, and where probes.log exists,
# "<seconds since the epoch> <address>" to it (each in one write, so that
# calls side by side do not mix).
# Shell built-ins only where it can: tests probe hundreds of times.
d=${0%/*}
line=; for a; do line="$line$a|"; done
printf '%s\n' "$line" >> "$d/args.log"
for a; do addr=$a; done
echo "$addr" >> "$d/calls.log"
[ -f "$d/probes.log" ] && echo "$(date +%s.%N) $addr" >> "$d/probes.log"
mode=
if [ -f "$d/$addr.mode" ]; then
    read -r mode < "$d/$addr.mode" || :
elif [ -f "$d/default.mode" ]; then
    read -r mode < "$d/default.mode" || :
fi
set -- $mode
case "$1" in
missing) out=$(readlink /proc/$$/fd/1); rm -f "$out"; exit 1;;
unreadable) out=$(readlink /proc/$$/fd/1); rm -f "$out"; ln -s /proc/self/mem "$out"; exit 1;;
canned) [ -f "$d/$addr.out" ] && cat "$d/$addr.out"; exit 0;;
esac
reply() { echo "64 bytes from $addr: icmp_seq=1 ttl=64 time=$1 ms"; }
echo "PING $addr ($addr) 56(84) bytes of data."
case "$1" in
silent) ;;
slow) sleep "$2"; reply 0.3;;
hang) sleep "$2";;
stuck) reply 0.3; sleep "$2";;
time) reply "$2";;
big) head -c "$2" /dev/zero | tr '\0' 'x'; echo; reply 0.3;;
bigreply) reply 0.3; head -c "$2" /dev/zero | tr '\0' 'y';;
garbage) head -c 4096 /dev/urandom;;
*) reply 0.3;;
esac
exit 0
