#!/usr/bin/env python3
"""Real-drive tier: boots a Linux guest under QEMU (TCG) with the drives of
drives.conf, runs each Windows tree's real_drives_test under Wine there
(guest.sh) and answers its requests, files in a shared folder: QMP commands,
the drives' state, and the commands QEMU's SCSI and ATAPI emulation parsed,
read from its trace. Prints a ctest-like line per test and the summary line;
where the guest cannot run, one "skipped:" line, and exits 0.
KESVORA_REAL_ARGS: arguments for the test programs (--gtest_filter=...)."""
import glob, json, lzma, os, re, shutil, socket, subprocess, sys, tempfile, time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
OUT = os.path.join(ROOT, "build-real")
CHAN = os.path.join(OUT, "chan")
GUEST_LIMIT_S = 480  # and PREFIX_S for each Wine prefix the guest makes
PREFIX_S = 240
MODULES = "9p 9pnet_virtio virtio_pci virtio_scsi ahci sr_mod sg overlay"
EVENTS = "scsi_req_parsed scsi_disk_new_request scsi_req_build_sense scsi_disk_check_condition " \
         "virtio_scsi_cmd_resp ide_atapi_cmd_packet ide_atapi_cmd_error ahci_cmd_done"
CDB_LENGTHS = [6, 10, 10, 12, 16, 12, 10, 10]  # by the opcode's group


def skip(why):
    print("skipped: " + why)
    sys.exit(0)


def read_drives():
    drives = {}
    for line in open(os.path.join(HERE, "drives.conf")):
        if line.strip() and not line.startswith("#"):
            d = dict(zip("id bus disc vendor product ver".split(), line.split()))
            d["kind"], _, d["addr"] = d["bus"].partition(":")
            d["addr"] += ":0" if d["kind"] == "scsi" and ":" not in d["addr"] else ""
            own = ["QEMU", "QEMU CD-ROM" if d["kind"] == "scsi" else "QEMU DVD-ROM", "2.5+"]
            d["name"] = [v if v != "-" else o for v, o in zip((d["vendor"], d["product"], d["ver"]), own)]
            drives[d["id"]] = d
    return drives


def kernel():
    """The newest kernel as an ELF image, which QEMU starts directly:
    unpacking the compressed one under TCG costs some 15 s a boot."""
    packed = sorted(glob.glob("/boot/vmlinuz-*"), key=os.path.getmtime)
    if not packed:
        skip("no guest kernel (package linux-image-amd64)")
    version, path = packed[-1][len("/boot/vmlinuz-"):], os.path.join(OUT, "vmlinux")
    if (open(path + ".version").read() if os.path.exists(path + ".version") else "") != version:
        data = open(packed[-1], "rb").read()
        open(path, "wb").write(lzma.LZMADecompressor().decompress(data[data.find(b"\xfd7zXZ\0"):]))
        open(path + ".version", "w").write(version)
    return version, path


def initramfs(version):
    """busybox, init.sh, and the modules that reach the host's root and the drives."""
    out, paths = bytearray(), []

    def add(name, mode, data=b""):
        fields = [len(out), mode, 0, 0, 1, 0, len(data), 0, 0, 0, 0, len(name) + 1, 0]
        out.extend(b"070701" + b"".join(b"%08X" % v for v in fields) + name.encode() + b"\0")
        out.extend(b"\0" * (-len(out) % 4) + data + b"\0" * (-len(data) % 4))
    for module in MODULES.split():
        deps = subprocess.run(["modprobe", "-S", version, "--show-depends", module], capture_output=True, text=True)
        paths += [p for p in re.findall(r"^insmod (\S+)", deps.stdout, re.M) if p not in paths]
    for d in "bin m proc sys dev lower upper root".split():
        add(d, 0o40755)
    add("bin/busybox", 0o100755, open("/bin/busybox", "rb").read())
    add("init", 0o100755, open(os.path.join(HERE, "init.sh"), "rb").read())
    for i, p in enumerate(paths):
        add("m/%02d-%s" % (i, os.path.basename(p)), 0o100644, open(p, "rb").read())
    add("TRAILER!!!", 0)
    open(os.path.join(OUT, "initramfs"), "wb").write(out)
    return os.path.join(OUT, "initramfs")


def disc(label):
    path = os.path.join(OUT, label + ".iso")
    if not os.path.exists(path):
        subprocess.run(["genisoimage", "-quiet", "-V", label, "-o", path, os.path.join(HERE, "drives.conf")],
                       check=True)
    return path


def qemu_command(drives, arches, qmp):
    version, vmlinux = kernel()
    cmd = ["qemu-system-x86_64", "-M", "pc", "-accel", "tcg", "-cpu", "max,smap=off", "-m", "3072", "-smp", "2",
           "-nographic", "-no-reboot", "-net", "none", "-kernel", vmlinux, "-initrd", initramfs(version),
           "-append", 'console=ttyS0 quiet panic=-1 kroot=%s karches="%s" kargs="%s"' % (
               ROOT, " ".join(arches), os.environ.get("KESVORA_REAL_ARGS", "")),
           "-virtfs", "local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap",
           "-virtfs", "local,path=%s,mount_tag=chan,security_model=none" % CHAN, "-qmp", "unix:%s,server=on,wait=off" % qmp,
           "-trace", "events=%s,file=%s" % (os.path.join(OUT, "events"), os.path.join(OUT, "trace.log")),
           "-device", "virtio-scsi-pci,id=scsi", "-device", "ahci,id=ahci"]
    for d in drives.values():
        medium = ",file=%s,readonly=on" % disc(d["disc"]) if d["disc"] != "-" else ""
        target, _, lun = d["addr"].partition(":")
        dev = "scsi-cd,bus=scsi.0,scsi-id=%s,lun=%s,vendor=%s,product=%s" % (target, lun, *d["name"][:2]) \
            if d["kind"] == "scsi" else "ide-cd,bus=ahci.%s" % target
        cmd += ["-drive", "if=none,id=drive-%s,media=cdrom%s" % (d["id"], medium),
                "-device", "%s,ver=%s,drive=drive-%s,id=%s" % (dev, d["name"][2], d["id"], d["id"])]
    return cmd


class Bridge:
    """QMP, the trace of parsed commands, and the guest's requests."""

    def __init__(self, drives, qmp):
        self.drives, self.qmp_path, self.qmp = drives, qmp, None
        self.by_addr = {(d["kind"], d["addr"]): d["id"] for d in drives.values()}
        self.records, self.ide_ports, self.trace_at = [], {}, 0

    def command(self, execute, **arguments):
        if self.qmp is None:
            self.qmp = socket.socket(socket.AF_UNIX)
            self.qmp.connect(self.qmp_path)
            self.qmp_in = self.qmp.makefile("r")
            self.qmp_in.readline()
            self.command("qmp_capabilities")
        self.qmp.sendall(json.dumps({"execute": execute, "arguments": arguments}).encode() + b"\n")
        while True:  # events come in between
            answer = json.loads(self.qmp_in.readline())
            if "return" in answer or "error" in answer:
                return answer

    def read_trace(self):
        """Adds a record for each command traced since the last call: [device
        id, CDB in hex, "good", the sense "k/asc/ascq" or "overrun"]. The
        trace tells a SCSI drive by target and LUN, an ATAPI one by its state's
        address, whose AHCI port the command's completion names."""
        with open(os.path.join(OUT, "trace.log"), "rb") as f:
            f.seek(self.trace_at)
            text = f.read()
        text = text[:text.rfind(b"\n") + 1]
        self.trace_at += len(text)
        last, prev = {}, None
        for line in text.decode(errors="replace").splitlines():
            event, _, args = line.partition(" ")
            n = [int(v, 16 if v[:2] == "0x" else 10) for v in re.findall(r"(?<![\w.])(0x[0-9a-f]+|\d+)\b", args)]
            prev, after = event, prev
            if event == "scsi_req_parsed":
                last["scsi"] = [self.by_addr.get(("scsi", "%d:%d" % (n[0], n[1])), "?"), "%02x" % n[3], "good"]
                self.records.append(last["scsi"])
            elif event == "ide_atapi_cmd_packet":
                state = args.split(";")[0].split()[-1]
                last["ide"] = [self.ide_ports.get(state, state), args.split("packet:")[1].replace(" ", ""), "good"]
                self.records.append(last["ide"])
            elif event == "scsi_disk_new_request" and "scsi" in last:
                last["scsi"][1] = args.split("data=")[1].replace("0x", "").replace(" ", "")
            elif event in ("scsi_req_build_sense", "scsi_disk_check_condition") and "scsi" in last:
                last["scsi"][2] = "%x/%02x/%02x" % tuple(n[-3:])
            elif event == "virtio_scsi_cmd_resp" and "scsi" in last and n[2] == 1:
                last["scsi"][2] = "overrun"
            elif event == "ide_atapi_cmd_error" and "ide" in last:
                last["ide"][2] = "%x/%02x/00" % tuple(n[-2:])
            elif event == "ahci_cmd_done" and after == "ide_atapi_cmd_packet" and last["ide"][0][:2] == "0x":
                state = last["ide"][0]
                self.ide_ports[state] = self.by_addr.get(("ahci", str(n[-1])), "?")
                for r in self.records:
                    r[0] = self.ide_ports[state] if r[0] == state else r[0]
        for r in self.records:
            r[1] = r[1][:2 * CDB_LENGTHS[int(r[1][:2], 16) >> 5]]

    def answer(self, request):
        word, _, rest = request.partition(" ")
        if word == "qmp":
            cmd = json.loads(rest)
            return json.dumps(self.command(cmd["execute"], **cmd.get("arguments", {})))
        if word == "block":
            for b in self.command("query-block")["return"]:
                if b.get("qdev", "").split("/")[-1] == rest:
                    return "locked=%d tray=%d disc=%d" % (b["locked"], b.get("tray_open", 0), "inserted" in b)
            return "no such drive"
        if word == "change":  # <id> [<label>]: that disc, none ("-"), or the drive's own
            dev, *label = rest.split()
            label = label[0] if label else self.drives[dev]["disc"]
            if label != "-":
                return json.dumps(self.command("blockdev-change-medium", id=dev, filename=disc(label),
                                               format="raw", **{"read-only-mode": "read-only"}))
            self.command("blockdev-open-tray", id=dev, force=True)
            self.command("blockdev-remove-medium", id=dev)
            return json.dumps(self.command("blockdev-close-tray", id=dev))
        self.read_trace()
        if word == "mark":
            return str(len(self.records))
        if word == "since":
            return "".join("%s %s %s\n" % tuple(r) for r in self.records[int(rest):])
        if word == "drives":  # letter, device id, the name it reports
            lines = [line.split() for line in open(os.path.join(CHAN, "srmap"))]
            ids = [self.by_addr.get(tuple(addr.split(":", 1)), "?") for _, _, addr in lines]
            return "".join("%s %s %s\n" % (l[0], i, " ".join(self.drives[i]["name"]) if i in self.drives else "?")
                           for l, i in zip(lines, ids))
        return "unknown request: " + request

    def serve(self):
        for name in sorted(os.listdir(CHAN)):
            if name.endswith(".req"):
                path = os.path.join(CHAN, name)[:-4]
                request = open(path + ".req").read().strip()
                os.remove(path + ".req")
                try:
                    text = self.answer(request)
                except Exception as e:  # the test fails on the answer; the tier goes on
                    text = "bridge error: %r" % e
                open(path + ".tmp", "w").write(text)
                os.rename(path + ".tmp", path + ".ans")


def report(arches, started):
    """ctest-like lines from the Google Test output of each architecture."""
    times = os.path.join(CHAN, "times")
    print("guest: " + (open(times).read().strip().replace("\n", "; ") if os.path.exists(times) else "no program ran"))
    results = []
    for arch in arches:
        path = os.path.join(CHAN, arch + ".out")
        text = open(path, encoding="gbk", errors="replace").read() if os.path.exists(path) else ""
        found = re.findall(r"^\[ +(OK|FAILED) +\] ([^ ,]+).* \((\d+) ms\)", text, re.M)
        results += [("%s.%s" % (arch, name), status == "OK", int(ms) / 1000) for status, name, ms in found]
        if not found:
            results.append((arch, False, 0))
        if not found or "FAILED" in text:
            print(text[-20000:] or "%s: no output (see %s/console.log)" % (arch, OUT))
    for i, (name, ok, secs) in enumerate(results, 1):
        print("%d/%d Test #%d: %s %s %s   %.2f sec" % (i, len(results), i, name, "." * max(3, 60 - len(name)),
                                                    "  Passed" if ok else "***Failed", secs))
    failed = sum(not ok for _, ok, _ in results)
    print("\n%d%% tests passed, %d tests failed out of %d" % (100 - 100 * failed // len(results), failed,
                                                             len(results)))
    print("\nTotal Test time (real) = %.2f sec" % (time.time() - started))
    return failed == 0


def main(arches):
    started = time.time()
    for tool in ("qemu-system-x86_64", "genisoimage", "modprobe"):
        if not shutil.which(tool):
            skip("%s is not installed" % tool)
    os.makedirs(CHAN, exist_ok=True)
    for name in os.listdir(CHAN):
        os.remove(os.path.join(CHAN, name))
    drives = read_drives()
    open(os.path.join(OUT, "events"), "w").write(EVENTS.replace(" ", "\n") + "\n")
    open(os.path.join(OUT, "trace.log"), "w").close()
    limit = GUEST_LIMIT_S
    for arch in arches:  # a tree's prefix is missing where the machine runs no programs of its kind
        if not os.path.isdir(os.path.join(ROOT, "build64" if arch == "x86_64" else "build", "wineprefix", "drive_c")):
            print("%s: no Wine prefix here (the machine runs no %s programs): the guest makes one" % (arch, arch))
            limit += PREFIX_S
    qmp = os.path.join(tempfile.mkdtemp(), "qmp")  # a short path: sockets take 107 bytes
    console = open(os.path.join(OUT, "console.log"), "w+", errors="replace")
    # timeout ends QEMU even where this script is stopped first.
    guest = subprocess.Popen(["timeout", "-s", "KILL", str(limit + 10)] + qemu_command(drives, arches, qmp),
                             stdin=subprocess.DEVNULL, stdout=console, stderr=subprocess.STDOUT)
    bridge = Bridge(drives, qmp)
    while guest.poll() is None and time.time() - started < limit:
        bridge.serve()
        time.sleep(0.02)
    if guest.poll() is None:
        guest.kill()
        print("the guest did not finish within %d s" % limit)
    guest.wait()
    shutil.rmtree(os.path.dirname(qmp), ignore_errors=True)
    if not os.path.exists(os.path.join(CHAN, "srmap")):
        console.seek(0)
        lines = [l for l in console.read().splitlines() if l.strip()] or ["no output"]
        skip("the guest did not boot (QEMU status %s: %s)" % (guest.returncode, lines[-1][-200:]))
    bridge.read_trace()
    open(os.path.join(OUT, "commands.log"), "w").write("".join("%s %s %s\n" % tuple(r) for r in bridge.records))
    return report(arches, started)


if __name__ == "__main__":
    sys.exit(0 if main(sys.argv[1:] or ["x86_64"]) else 1)
