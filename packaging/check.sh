#!/bin/sh
# Validates the packaging files as they are in the tree (no build needed).
# The staged install is checked by the StagedInstall test.
set -eu
cd "$(dirname "$0")"
desktop-file-validate quendrel.desktop
appstreamcli validate --no-net io.quendrel.Quendrel.metainfo.xml
warnings=$(groff -man -ww -z -Tutf8 quendrel-cli.1 2>&1)
[ -z "$warnings" ] || { echo "$warnings" >&2; exit 1; }
for s in 16 22 24 32 48 64 128 256; do
  [ -f "icons/hicolor/${s}x${s}/apps/quendrel.png" ] || { echo "missing ${s}x${s} icon" >&2; exit 1; }
done
echo "packaging files OK"
