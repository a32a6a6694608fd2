#!/usr/bin/env bash
# sizewalk-scan as a server's user runs it: a real tree written plain, to
# standard output and compressed; what ncdu and gdu make of the file; and
# the answers to bad arguments, a missing path and an output it cannot write;
# device nodes and FIFOs as the output (written into, never replaced); a
# signal during a save. Nothing outside its own temporary folder is touched.
set -euo pipefail
scan=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
tree=$root/tree
mkdir -p "$tree/sub/deeper" "$tree/empty"
head -c 5000 /dev/zero > "$tree/a"
truncate -s 1048576 "$tree/sub/sparse"
head -c 9000 /dev/zero > "$tree/sub/deeper/written"
ln "$tree/sub/deeper/written" "$tree/sub/again"
printf x > "$tree/$(printf 'odd\tname \xff')"
fail() { echo "FAIL: $*" >&2; exit 1; }

# Apparent bytes of everything below, each link once per link (as Sizewalk
# counts), and the blocks, each file once (as du -x does).
apparent=$(find "$tree" -mindepth 1 -type f -printf '%s\n' | awk '{s+=$1} END {print s}')
disk=$(du -s -B1 -x "$tree" | cut -f1)

"$scan" --help | grep -q '^Usage: sizewalk-scan' || fail "--help"
"$scan" --version | grep -Eq '^sizewalk-scan [0-9]' || fail "--version"
"$scan" -o "$root/out.json" "$tree/" || fail "plain scan"
"$scan" "$tree" > "$root/stdout.json" || fail "scan to standard output"
cmp -s <(sed 's/"timestamp":[0-9]*//' "$root/out.json") <(sed 's/"timestamp":[0-9]*//' "$root/stdout.json") \
  || fail "-o and standard output differ"
"$scan" -c --threads 1 -o "$root/out.zst" "$tree" || fail "zstd scan"
[ "$(head -c 4 "$root/out.zst" | od -An -tx1 | tr -d ' ')" = 28b52ffd ] || fail "-c is not zstd"
head -c 1 "$root/out.json" | grep -q '\[' || fail "not JSON"

# Bad arguments and failures: non-zero, a message, no file left behind.
if "$scan" 2>/dev/null; then fail "no PATH accepted"; fi
if "$scan" --bogus "$tree" 2>/dev/null; then fail "unknown option accepted"; fi
if "$scan" --threads 0 "$tree" 2>/dev/null; then fail "--threads 0 accepted"; fi
msg=$("$scan" "$root/missing" 2>&1 >/dev/null || true)
[[ $msg == *"not a directory"* ]] || fail "missing path: $msg"
if "$scan" -o "$root/no/such/dir/out.json" "$tree" 2>/dev/null; then fail "unwritable output accepted"; fi

# Device nodes of our own (never the system's /dev): written into, and still
# device nodes after; the full one's failure is reported. Root only, and
# only where this file system lets devices be opened.
if [ "$(id -u)" = 0 ] && mknod "$root/full" c 1 7 && mknod "$root/null" c 1 3 &&
   (: > "$root/null") 2>/dev/null; then
  if "$scan" -o "$root/full" "$tree" 2>/dev/null; then fail "a full device reported as success"; fi
  "$scan" -o "$root/null" "$tree" || fail "writing to a null device"
  ln -s null "$root/to-null"
  "$scan" -o "$root/to-null" "$tree" || fail "writing through a link to a null device"
  [ -c "$root/full" ] && [ -c "$root/null" ] && [ -L "$root/to-null" ] ||
    fail "a device node was replaced: $(ls -l "$root")"
  rm -f "$root/full" "$root/null" "$root/to-null"
else
  echo "sizewalk-scan: device node cases skipped (not root, or a nodev file system)"
fi

# A FIFO: without a reader, a clear error and no hang; with one, the reader
# gets the whole scan. It stays a FIFO.
mkfifo "$root/fifo"
set +e
msg=$(timeout 20 "$scan" -o "$root/fifo" "$tree" 2>&1)
status=$?
set -e
[ "$status" = 1 ] && [[ $msg == *"no program is reading from this FIFO"* ]] ||
  fail "FIFO without a reader: status $status: $msg"
timeout 20 cat "$root/fifo" > "$root/from-fifo" &
reader=$!
# The reader may not have opened it yet when the scan is written: again then.
for attempt in $(seq 50); do
  msg=$(timeout 20 "$scan" -o "$root/fifo" "$tree" 2>&1) && break
  [[ $msg == *"no program is reading"* ]] || fail "FIFO with a reader: $msg"
  sleep 0.1
done
wait "$reader" || fail "the FIFO's reader"
cmp -s <(sed 's/"timestamp":[0-9]*//' "$root/out.json") <(sed 's/"timestamp":[0-9]*//' "$root/from-fifo") \
  || fail "the FIFO's reader got something else"
[ -p "$root/fifo" ] || fail "the FIFO was replaced"

# Ended by a signal while saving: the temporary file beside the output goes
# and the output stays as it was; the exit status tells the signal. The scan
# is stopped (SIGSTOP) as soon as it writes its temporary file, sent the
# signal, and let go on.
if command -v python3 >/dev/null; then
  python3 - "$scan" "$root" <<'PY' || fail "a signal during a save"
import ctypes, os, select, signal, struct, subprocess, sys
scan, root = sys.argv[1], sys.argv[2]
big, outdir = os.path.join(root, "big"), os.path.join(root, "signalled")
os.mkdir(outdir)
for d in range(30):  # a few megabytes of scan: a save that takes a moment
    os.makedirs(os.path.join(big, "d%d" % d))
    for f in range(1000):
        os.close(os.open(os.path.join(big, "d%d" % d, "%04d" % f + "x" * 100), os.O_CREAT | os.O_WRONLY))
out = os.path.join(outdir, "out.json")
with open(out, "w") as f:
    f.write("earlier")
libc = ctypes.CDLL(None, use_errno=True)
watch = libc.inotify_init1(os.O_NONBLOCK)
assert watch >= 0 and libc.inotify_add_watch(watch, outdir.encode(), 0x2) >= 0  # IN_MODIFY

def temps():
    return [n for n in os.listdir(outdir) if n != "out.json"]

def written(data):  # names of the files written to, from inotify events
    while data:
        _, _, _, size = struct.unpack_from("iIII", data)
        yield data[16:16 + size].rstrip(b"\0").decode()
        data = data[16 + size:]

def stopped(pid):
    with open("/proc/%d/stat" % pid) as f:
        return f.read().rsplit(")", 1)[1].split()[0] == "T"

def defaults():
    for s in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(s, signal.SIG_DFL)

for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
    for attempt in range(20):
        proc = subprocess.Popen([scan, "--threads", "2", "-o", out, big], preexec_fn=defaults,
                                stderr=subprocess.DEVNULL)
        sent = False
        while proc.poll() is None and not sent:
            if not select.select([watch], [], [], 0.5)[0]:
                continue
            if not any(n != "out.json" for n in written(os.read(watch, 65536))):
                continue
            os.kill(proc.pid, signal.SIGSTOP)
            while proc.poll() is None and not stopped(proc.pid):
                pass
            sent = proc.poll() is None and bool(temps())  # still saving
            if sent:
                os.kill(proc.pid, sig)
            os.kill(proc.pid, signal.SIGCONT)
            break
        proc.wait()
        while select.select([watch], [], [], 0)[0]:
            os.read(watch, 65536)
        assert not temps(), (sig, temps())
        if sent:
            assert proc.returncode == -sig, (sig, proc.returncode)
            assert open(out).read() == "earlier", sig
            break
        with open(out, "w") as f:  # the save ended first: again
            f.write("earlier")
    else:
        sys.exit("never caught a save of %d under way" % sig)
PY
fi

# ncdu reads ours and writes the same totals.
if command -v ncdu >/dev/null; then
  ncdu -0 -f "$root/out.json" -o "$root/ncdu.json" >/dev/null 2>&1 || fail "ncdu cannot read ours"
  python3 - "$root/ncdu.json" "$apparent" "$disk" <<'PY' || fail "ncdu's totals differ"
import json, sys
doc = json.load(open(sys.argv[1], encoding="utf-8", errors="surrogateescape"))
seen = set()
def walk(node):
    a = d = 0
    if isinstance(node, list):
        info = node[0]
        a, d = 0, info.get("dsize", 0)  # a directory's own length counts 0
        for child in node[1:]:
            ca, cd = walk(child)
            a, d = a + ca, d + cd
        return a, d
    a, d = node.get("asize", 0), node.get("dsize", 0)
    if node.get("hlnkc"):
        key = (node.get("dev"), node["ino"])
        if key in seen:
            d = 0
        seen.add(key)
    return a, d
a, d = walk(doc[3])
want_a, want_d = int(sys.argv[2]), int(sys.argv[3])
assert (a, d) == (want_a, want_d), ((a, d), (want_a, want_d))
PY
fi
# gdu reads ours; it counts 4096 bytes for every directory and a hard link once.
if command -v gdu >/dev/null; then
  gdu -f "$root/out.json" -n -p -s -a --no-prefix >/dev/null 2>&1 || fail "gdu cannot read ours"
fi
echo "sizewalk-scan: all checks passed"
