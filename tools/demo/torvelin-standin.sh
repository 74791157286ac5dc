#!/bin/sh
# Stands in for the branch program: notes each start with its arguments.
log="$(cd "$(dirname "$0")/.." && pwd)/torvelin.log"
echo "$(date '+%Y-%m-%dT%H:%M:%S') torvelin.exe $*" >> "$log"
