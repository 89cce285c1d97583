#!/bin/sh
# in-windows-folder.sh [--non-root] DIR PROGRAM [ARG...]
# Runs PROGRAM with DIR as its Windows folder: in private user and mount namespaces, DIR is
# mounted over /var/lib/quillboard/windows (made on an overlay of /var/lib, so the real one is
# neither needed nor touched). The program is root of its namespace (the service manager lets
# it administer), or with --non-root an ordinary user (uid 65534). Needs no privilege.
set -e
nonroot=
if [ "$1" = --non-root ]; then nonroot=1; shift; fi
dir=$(cd "$1" && pwd); shift
export QUILL_NS_DIR="$dir" QUILL_NS_NONROOT="$nonroot" QUILL_NS_CWD="$PWD"
exec unshare --user --map-root-user --mount -- sh -c '
  set -e
  cd "$QUILL_NS_DIR"
  # A scratch tmpfs over the folder itself; "." still names the folder under it.
  mount -t tmpfs tmpfs "$QUILL_NS_DIR"
  mkdir "$QUILL_NS_DIR/upper" "$QUILL_NS_DIR/work"
  mount -t overlay overlay -o "lowerdir=/var/lib,upperdir=$QUILL_NS_DIR/upper,workdir=$QUILL_NS_DIR/work" /var/lib
  mkdir -p /var/lib/quillboard/windows
  mount --no-canonicalize --bind . /var/lib/quillboard/windows
  cd "$QUILL_NS_CWD"
  unset QUILL_NS_DIR QUILL_NS_CWD
  if [ -n "$QUILL_NS_NONROOT" ]; then
    unset QUILL_NS_NONROOT
    exec unshare --user --map-user=65534 --map-group=65534 -- "$@"
  fi
  unset QUILL_NS_NONROOT
  exec "$@"
' sh "$@"
