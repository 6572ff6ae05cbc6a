#!/bin/sh
# Installs the independent table readers and writers the interop tests use
# (Debian packages python3-dbfread and python3-dbf), when they are missing.
# They import only under /usr/bin/python3.  Exit status 0 when both import.
if /usr/bin/python3 -c 'import dbfread, dbf' 2>/dev/null; then
  exit 0
fi
if [ "$(id -u)" = 0 ]; then
  SUDO=
else
  SUDO=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get install -y python3-dbfread python3-dbf >/dev/null 2>&1 ||
  { $SUDO apt-get update >/dev/null 2>&1 &&
    $SUDO apt-get install -y python3-dbfread python3-dbf >/dev/null 2>&1; }
/usr/bin/python3 -c 'import dbfread, dbf'
