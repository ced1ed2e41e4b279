#!/bin/sh
# Installs the Debian packages vorant needs to build and test. Does nothing
# when all are present; as a non-root user it prints the command to run.
set -eu

PACKAGES="g++ cmake make pkg-config libgtest-dev libgmock-dev libbenchmark-dev libxerces-c-dev zlib1g-dev libxml2-utils nlohmann-json3-dev libasio-dev"
# The Python package and its tests.
PACKAGES="$PACKAGES python3 python3-pytest python3-setuptools python3-wheel python3-pip python3-venv python3-gevent python3-locust"
# scripts/check-format.sh
PACKAGES="$PACKAGES clang-format"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

if [ -z "$missing" ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  echo "setup: installing$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq || apt-get update
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing
else
  echo "setup: missing packages:$missing" >&2
  echo "setup: run: sudo apt-get install -y$missing" >&2
  exit 1
fi
