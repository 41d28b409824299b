#!/usr/bin/env bash
# scripts/fuzz.sh access [seconds]: kept for the command this name has always been.
exec bash "$(dirname "$0")/fuzz.sh" access "$@"
