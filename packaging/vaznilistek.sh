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
exec "$station/vaznilistek" "$@"
