#!/usr/bin/env bash
# The include rule: platform/ depends on no other folder of the tree; the core folders depend on
# platform/ and on one another only downward (runlog, then services and restore, then driver);
# the programs in app/ sit on the core, test support on the core and platform. Tests (*_test.cc)
# and the tools on top (tests/, benchmark/, tools/, fuzz/) may include anything.
# Prints every include that runs upward and fails when there is one.
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

allowed() {
  case $1 in
    platform/posix/*) echo "platform/[^/]*\\.h platform/posix/" ;;
    platform/windows/*) echo "platform/[^/]*\\.h platform/windows/" ;;
    platform/fake/*) echo "platform/[^/]*\\.h platform/fake/" ;;
    platform/*) echo "platform/[^/]*\\.h" ;;
    runlog/*) echo "platform/[^/]*\\.h runlog/" ;;
    services/*) echo "platform/[^/]*\\.h runlog/ services/" ;;
    restore/*) echo "platform/[^/]*\\.h runlog/ restore/" ;;
    driver/*) echo "platform/[^/]*\\.h runlog/ services/ restore/ driver/" ;;
    app/*) echo "platform/[^/]*\\.h runlog/ services/ restore/ driver/ app/" ;;
    testing/*) echo "platform/ runlog/ services/ restore/ driver/ testing/" ;;
  esac
}

upward=0
while IFS= read -r file; do
  rules=$(allowed "$file")
  [[ -n $rules ]] || continue
  while IFS= read -r included; do
    ok=0
    for rule in $rules; do
      [[ $included =~ ^$rule ]] && ok=1 && break
    done
    if ((!ok)); then
      echo "$file includes $included, which it may not depend on"
      upward=1
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find platform runlog services restore driver app testing \( -name '*.h' -o -name '*.cc' \) \
           ! -name '*_test.cc' ! -path '*/node_modules/*' | sort)
if ((upward)); then exit 1; fi
echo "every include runs downward"
