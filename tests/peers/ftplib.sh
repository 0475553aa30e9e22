# Sourced by the FTP server peers (vsftpd.sh, pureftpd.sh, proftpd.sh) after
# lib.sh: the shared login and the seeded root folder.
#
# Login: FTP_USER / FTP_PASSWORD (a system account without shell or home);
# each server chroots it into its own root folder BUILD/peers/<name>/root.
#
# ftp_seed ROOT DIR empties ROOT and fills it with (sizes in bytes):
#   hello.txt       "Hello from Nembra's test FTP server\r\n" (37 B)
#   size0.bin       0
#   size1.bin       1 (random)
#   size1459.bin    1459 (random)
#   size1460.bin    1460 (random)
#   size1461.bin    1461 (random)
#   size10m.bin     10485760 (random)
#   sparse4g.bin    4296015872 (4 GiB + 1 MiB), sparse: zero bytes except four
#                   64 KiB blocks, at offsets 0, 2 GiB - 32 KiB, 4 GiB - 32 KiB
#                   and the last 64 KiB, each the line "nembra sparse block OFFSET\n"
#                   (OFFSET in decimal) repeated and cut at 65536 bytes
#   sub/            a folder holding nested.txt ("nested file\n", 12 B)
#   upload/         an empty folder
#   quote"dir/      an empty folder whose name holds a double quote
#   listing/        names a listing parser must keep apart: "plain.txt",
#                   "two  blanks.txt" (a double blank), " lead.txt" (a
#                   leading blank), "a->b.txt" (a plain file), "folder/",
#                   "setgid/" (mode 2755), "filelink" (a link to plain.txt),
#                   "dirlink" (a link to folder/) and "pipe" (a named pipe);
#                   the files hold "x"
# The random files are new at every start. DIR/manifest.sha256 lists every
# regular file (not the links or the pipe) as `sha256sum` does ("HASH  PATH", PATH relative to ROOT, "/"
# separators); DIR/manifest.txt adds the sizes ("HASH SIZE PATH").
FTP_USER=nembraftp
FTP_PASSWORD=nembra-ftp
SPARSE_SIZE=4296015872

# Home "/" (never written): vsftpd enters the home folder before its local_root.
ftp_account() { ensure_account "$FTP_USER" "$FTP_PASSWORD" "Nembra FTP test" /; }

ftp_seed() {
  local root=$1 dir=$2 n
  rm -rf "$root"
  mkdir -p "$root/sub" "$root/upload" "$root/quote\"dir"
  printf "Hello from Nembra's test FTP server\r\n" >"$root/hello.txt"
  printf 'nested file\n' >"$root/sub/nested.txt"
  mkdir -p "$root/listing/folder" "$root/listing/setgid"
  for n in plain.txt "two  blanks.txt" " lead.txt" "a->b.txt"; do printf x >"$root/listing/$n"; done
  ln -s plain.txt "$root/listing/filelink"
  ln -s folder "$root/listing/dirlink"
  mkfifo "$root/listing/pipe"
  : >"$root/size0.bin"
  for n in 1 1459 1460 1461 10485760; do
    head -c "$n" /dev/urandom >"$root/size$n.bin"
  done
  mv "$root/size10485760.bin" "$root/size10m.bin"
  # The sparse file's content never changes: its hash is computed once,
  # from the layout that writes it (faster than reading 4 GiB of holes).
  /usr/bin/python3 - "$root" "$dir" "$SPARSE_SIZE" <<'PY'
import hashlib, os, sys
root, dir, size = sys.argv[1], sys.argv[2], int(sys.argv[3])
blocks = []
for off in (0, 2**31 - 32768, 2**32 - 32768, size - 65536):
    line = f"nembra sparse block {off}\n".encode()
    blocks.append((off, (line * (65536 // len(line) + 1))[:65536]))
sparse = os.path.join(root, "sparse4g.bin")
with open(sparse, "wb") as f:
    f.truncate(size)
    for off, data in blocks:
        f.seek(off)
        f.write(data)
key = f"v1 {size}"
cache = os.path.join(dir, "sparse.sha256")
sparse_hash = None
if os.path.exists(cache):
    k, _, v = open(cache).read().strip().rpartition(" ")
    if k == key:
        sparse_hash = v
if not sparse_hash:
    h, pos, zeros = hashlib.sha256(), 0, memoryview(bytes(1 << 22))
    for off, data in blocks + [(size, b"")]:
        while pos < off:
            n = min(off - pos, len(zeros))
            h.update(zeros[:n])
            pos += n
        h.update(data)
        pos += len(data)
    sparse_hash = h.hexdigest()
    with open(cache, "w") as out:
        out.write(f"{key} {sparse_hash}\n")
lines = []
for base, dirs, files in os.walk(root):
    dirs.sort()
    for f in sorted(files):
        path = os.path.join(base, f)
        if os.path.islink(path) or not os.path.isfile(path):
            continue
        rel = os.path.relpath(path, root)
        if path == sparse:
            digest = sparse_hash
        else:
            h = hashlib.sha256()
            with open(path, "rb") as fh:
                while chunk := fh.read(1 << 20):
                    h.update(chunk)
            digest = h.hexdigest()
        lines.append((digest, os.path.getsize(path), rel))
with open(os.path.join(dir, "manifest.sha256"), "w") as out:
    out.writelines(f"{d}  {r}\n" for d, s, r in lines)
with open(os.path.join(dir, "manifest.txt"), "w") as out:
    out.writelines(f"{d} {s} {r}\n" for d, s, r in lines)
PY
  chown -R "$FTP_USER:$FTP_USER" "$root"
  chmod 755 "$root"
  chmod 2755 "$root/listing/setgid"
}
