#!/usr/bin/env bash
# Regenerates the protected sample files from their sources:
#   msg_dic.xml  -> msg_dic.exml  (the encrypted dictionary)
#   user key     -> user.key      (a key file; its substitution area is random,
#                                  so every run writes different bytes)
# and checks that the library reads them back.
#
# usage: examples/make-examples.sh [PATH-TO-vorant-protect]
# The tool defaults to $VORANT_PROTECT, else build/bin/vorant-protect.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
tool="${1:-${VORANT_PROTECT:-$root/build/bin/vorant-protect}}"
user_key="VORANT-DEMO-01"

if [[ ! -x "$tool" ]]; then
    echo "make-examples: $tool not found; build it first (cmake --build build --target vorant-protect)" >&2
    exit 2
fi

"$tool" encrypt "$here/msg_dic.xml" "$here/msg_dic.exml"
"$tool" keyfile --key "$user_key" "$here/user.key"

# The encrypted dictionary must load to the same definitions as its source.
plain="$("$tool" check-dic "$here/msg_dic.xml")"
encrypted="$("$tool" check-dic "$here/msg_dic.exml")"
if [[ "$plain" != "$encrypted" ]]; then
    echo "make-examples: msg_dic.exml does not load like msg_dic.xml" >&2
    exit 1
fi

shown="$("$tool" showkey "$here/user.key")"
if [[ "$shown" != "$user_key" ]]; then
    echo "make-examples: user.key holds '$shown', not '$user_key'" >&2
    exit 1
fi

echo "make-examples: wrote msg_dic.exml and user.key (user key $user_key)"
