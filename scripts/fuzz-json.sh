#!/usr/bin/env bash
# scripts/fuzz.sh json [seconds]: kept for the command this name has always been.
exec bash "$(dirname "$0")/fuzz.sh" json "$@"
