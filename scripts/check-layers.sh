#!/usr/bin/env bash
# Fails on an include under src/ that points the wrong way. The folders are
# layers; each may include its own folder and the ones listed for it:
#   common <- protocol <- transport, model <- config, midi, net <- session <- app, cli
# The two links never include each other; the window and qxctl see the
# session, the models, the settings and the shared basics, never a link.
set -euo pipefail
src="$(cd "$(dirname "$0")/../src" && pwd)"

declare -A allowed=(
  [common]=""
  [protocol]="common"
  [transport]="common protocol"
  [model]="common protocol"
  [config]="common protocol model"
  [midi]="common protocol transport"
  [net]="common protocol transport"
  [session]="common protocol transport model config midi net sim"
  [app]="common model config session"
  [cli]="common model config session"
)

status=0
for dir in "$src"/*/; do
  folder=$(basename "$dir")
  if [ -z "${allowed[$folder]+set}" ]; then
    echo "layers: src/$folder is not a known layer; add it to $0"
    status=1
    continue
  fi
  while IFS=: read -r file line include; do
    target=${include#*\"}
    target=${target%%/*}
    [ "$target" = "$folder" ] && continue
    case " ${allowed[$folder]} " in
      *" $target "*) ;;
      *) echo "layers: ${file#$src/}:$line includes $target/ (src/$folder may include: ${allowed[$folder]:-nothing else})"
         status=1 ;;
    esac
  done < <(grep -n '^#include "[a-z]*/' "$dir"* /dev/null | sed 's/^\([^:]*\):\([0-9]*\):/\1:\2:/' || true)
done
[ $status -eq 0 ] && echo "layers: every include under src/ points down"
exit $status
