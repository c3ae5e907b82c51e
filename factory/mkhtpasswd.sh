#!/bin/sh
# Writes the factory password file (admin/admin, user/user) to stdout.
# Each line is "name:" + crypt(password, salt) with traditional DES and a
# fixed salt, so the file comes out the same every time:
#   factory/mkhtpasswd.sh > factory/htpasswd
set -eu
entry() {  # name password salt
    perl -e 'print $ARGV[0], ":", crypt($ARGV[1], $ARGV[2]), "\n"' "$1" "$2" "$3"
}
entry admin admin ad
entry user user us
