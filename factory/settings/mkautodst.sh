#!/usr/bin/env bash
# Writes the phone's time-zone table "AutoDST.xml" to standard output, made
# from this machine's time-zone database (TZDIR, default
# /usr/share/zoneinfo): one zone per country and distinct rule of
# "zone.tab", named "Country(City)", ordered by UTC offset.
#
# Each zone's rule is the one the database gives for the years ahead (the
# POSIX TZ text at the end of its file):
#   szTime   the standard offset from UTC ("+1", "-3:30", "+0")
#   iType    "1" by week, "0" by date, "" no daylight saving
#   szStart  when daylight saving starts, in standard local time;
#   szEnd    when it ends, in daylight local time:
#            by week month/week/weekday/hour (week 5 = the last one,
#            weekday 1 = Monday ... 7 = Sunday), by date month/day/hour
#   szOffset daylight saving's shift in minutes
# Zones whose rule the table cannot express (changes at half hours, at
# hour 24 or later, on "the Saturday before") are left out rather than
# listed with a wrong rule.
set -euo pipefail
TZDIR=${TZDIR:-/usr/share/zoneinfo}
[ -r "$TZDIR/zone.tab" ] && [ -r "$TZDIR/iso3166.tab" ] || {
    echo "$0: no time-zone database in $TZDIR" >&2; exit 1; }

# Antarctic stations and the uninhabited US islands are left out; where a
# country has several zones of one rule, the better-known city names it.
PREFERRED='Australia/Sydney|America/Toronto|America/Sao_Paulo|Asia/Shanghai'
ZONES=$({ grep -v '^#' "$TZDIR/zone.tab" | grep -E "	($PREFERRED)(	|\$)" || true
          grep -v '^#' "$TZDIR/zone.tab" | grep -Ev '^(AQ|UM)'; } |
        while IFS=$'\t' read -r country _ zone _; do
            if [ -r "$TZDIR/$zone" ]; then printf '%s\t%s\n' "$country" "$zone"; fi
        done)
# One tail for every zone file: the last line of each is its rule.
mapfile -t FILES < <(printf '%s\n' "$ZONES" | cut -f2 | sed "s|^|$TZDIR/|")
paste <(printf '%s\n' "$ZONES") <(tail -q -n 1 -- "${FILES[@]}" | tr -d '\r') |
LC_ALL=C awk -F '\t' -v countries="$TZDIR/iso3166.tab" '
BEGIN {
    while ((getline line < countries) > 0) {
        if (line ~ /^#/) continue
        split(line, f, "\t"); name[f[1]] = f[2]
    }
    split("31 28 31 30 31 30 31 31 30 31 30 31", mdays, " ")
}
# POSIX offsets count west of Greenwich; ours count east. Sets off (minutes).
function offset(   sign, h, m) {
    if (!match(s, /^[+-]?[0-9]+(:[0-9]+)?(:[0-9]+)?/)) return 0
    t = substr(s, 1, RLENGTH); s = substr(s, RLENGTH + 1)
    sign = 1
    if (t ~ /^-/) sign = -1
    sub(/^[+-]/, "", t); split(t, p, ":")
    off = sign * (p[1] * 60 + p[2])
    return 1
}
function zname() {
    if (s ~ /^</) { i = index(s, ">"); if (!i) return 0; s = substr(s, i + 1); return 1 }
    if (!match(s, /^[A-Za-z]+/)) return 0
    s = substr(s, RLENGTH + 1); return 1
}
# One transition "Mm.w.d[/time]" or "Jn[/time]": rule text or "" when the
# table cannot hold it; kind is "1" (week) or "0" (date).
function rule(text,   at, when, hour, q, m, d) {
    at = 120; when = text
    if (i = index(text, "/")) {
        when = substr(text, 1, i - 1); hour = substr(text, i + 1)
        if (hour !~ /^[0-9]+$/ || hour + 0 > 23) return ""
        at = hour * 60
    }
    if (when ~ /^M[0-9]+\.[0-9]\.[0-9]$/) {
        split(substr(when, 2), q, ".")
        kind = "1"
        return q[1] "/" q[2] "/" (q[3] == 0 ? 7 : q[3]) "/" int(at / 60)
    }
    if (when ~ /^J[0-9]+$/) {
        d = substr(when, 2) + 0
        for (m = 1; m <= 12 && d > mdays[m]; m++) d -= mdays[m]
        if (m > 12 || d < 1) return ""
        kind = "0"
        return m "/" d "/" int(at / 60)
    }
    return ""
}
function text(minutes,   sign) {
    sign = minutes < 0 ? "-" : "+"
    if (minutes < 0) minutes = -minutes
    return sign int(minutes / 60) (minutes % 60 ? sprintf(":%02d", minutes % 60) : "")
}
{
    country = $1; zone = $2; s = $3
    if (!(country in name) || seen[country "|" s]++) next
    if (!zname() || !offset()) next
    std = -off; type = ""; start = ""; end = ""; shift = ""
    if (s != "") {
        if (!zname()) next
        dst = std + 60
        if (s !~ /^,/) { if (!offset()) next; dst = -off }
        if (substr(s, 1, 1) != ",") next
        n = split(substr(s, 2), r, ",")
        if (n != 2) next
        a = rule(r[1]); ka = kind; b = rule(r[2]); kb = kind
        if (a == "" || b == "" || ka != kb) next
        # Winter time as the daylight saving of summer time (negative
        # shift): the summer offset is the standard one, the rules swap.
        if (dst < std) { t = std; std = dst; dst = t; t = a; a = b; b = t }
        type = ka; start = a; end = b; shift = dst - std
        if (shift == 0 || shift > 300) next
    }
    city = zone; sub(/.*\//, "", city); gsub(/_/, " ", city)
    label = name[country] "(" city ")"
    if (used[label]++) next
    printf "%06d\t%s\t%s\t%s\t%s\t%s\t%s\n", std + 50000, label, text(std), type, start, end, shift
}' | LC_ALL=C sort -t "$(printf '\t')" -k1,1 -k2,2 | awk -F '\t' '
BEGIN {
    print "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    print "<!-- Made by factory/settings/mkautodst.sh from the time-zone database. -->"
    print "<DSTData>"
}
NR <= 300 {
    v = $2; gsub(/&/, "\\&amp;", v); gsub(/"/, "\\&quot;", v); gsub(/</, "\\&lt;", v)
    printf "\t<DST szTime=\"%s\" szZone=\"%s\" iType=\"%s\" szStart=\"%s\" szEnd=\"%s\" szOffset=\"%s\"/>\n", $3, v, $4, $5, $6, $7
}
END {
    if (NR > 300) printf "mkautodst: %d zones, the list keeps 300\n", NR > "/dev/stderr"
    print "</DSTData>"
}'
