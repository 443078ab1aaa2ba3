#!/bin/sh
# Starts Vážní lístek in its station folder, the folder of the executable:
# the settings, the unprinted rows, the archive and the word list (popis.dat,
# looked for in the working directory) are the station's, wherever the
# operator starts it from. The folder is found beside this script's own
# place (/usr/bin -> /opt/vaznilistek), so an unpacked copy runs its own.
#
# The operators of a station share that folder through its group, so what
# the program creates stays writable for the group: umask 002.
here=$(dirname "$(readlink -f "$0")")
station=$(readlink -f "$here/../../opt/vaznilistek")
if ! cd "$station" 2>/dev/null; then
    echo "vaznilistek: složka stanice $station chybí nebo není přístupná" >&2
    exit 1
fi
umask 002
# Dates, times and the decimal comma on tickets and in the archive follow the
# locale. A session that chose none (C, POSIX) gets the Czech conventions, as
# the run command gives them, where the system has that locale.
case "${LC_ALL:-${LANG:-C}}" in
C | C.* | POSIX)
    if locale -a 2>/dev/null | grep -qix 'cs_CZ\.utf-\?8'; then
        export LANG=cs_CZ.UTF-8 LC_ALL=
    fi
    ;;
esac
exec "$station/vaznilistek" "$@"
