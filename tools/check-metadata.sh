#!/usr/bin/env bash
# Validates what the desktop sees of the program: the desktop file, the
# AppStream metadata (without the network, so the screenshot's address is not
# fetched) and the manual pages (groff's warnings count as failures).
set -euo pipefail
cd "$(dirname "$0")/.."
desktop-file-validate frontend/org.example.wenlo.desktop
appstreamcli validate --no-net frontend/org.example.wenlo.metainfo.xml
for page in docs/man/*.6; do
    warnings=$(groff -man -ww -z "$page" 2>&1)
    if [ -n "$warnings" ]; then
        echo "$page:" >&2
        echo "$warnings" >&2
        exit 1
    fi
    echo "$page: no warnings"
done
