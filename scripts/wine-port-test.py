#!/usr/bin/env python3
"""Runs the Windows test programs under Wine against Linux pseudo-terminals.

A private Wine prefix maps two COM ports to pseudo-terminals:
  COM51  the virtual phone (phonesim)            -> QUENDREL_PHONE_PORT
  COM52  a scripted far end run by this script   -> QUENDREL_PEER_PORT
The far end obeys lines the test writes to it (see tests/win32/test_comport_win32.cpp):
  !send TEXT, !later MS TEXT, !loop N, !stall MS, !hangup

With --installer SETUP.exe it installs the package into a fresh prefix,
runs the installed programs (the window on its virtual phone, the command
line on COM51) and uninstalls it; alone, it runs only that.

With --cli EXE it also runs the Windows command line end to end against the
virtual phone: at, put, ls, get, rm, midlets, install, uninstall; the files
must come back byte for byte and LAD.log must hold exactly the exchange.

usage: wine-port-test.py --build DIR --phonesim PATH [--cli EXE] [TEST.exe ...] [-- gtest args]
"""
import argparse
import os
import select
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import tty

PHONE_COM = "COM51"
PEER_COM = "COM52"


def find_tool(*names):
    for name in names:
        path = shutil.which(name) or (name if os.path.isabs(name) and os.access(name, os.X_OK) else None)
        if path:
            return path
    sys.exit("missing: " + " or ".join(names))


def link_port(prefix, com, target):
    """Points dosdevices/comN at target, replacing any earlier link at once."""
    link = os.path.join(prefix, "dosdevices", com.lower())
    tmp = link + ".new"
    if os.path.lexists(tmp):
        os.unlink(tmp)
    os.symlink(target, tmp)
    os.replace(tmp, link)
    return link


class Peer(threading.Thread):
    """The scripted far end on a pseudo-terminal of its own."""

    def __init__(self, prefix):
        super().__init__(daemon=True)
        self.prefix = prefix
        self.stop = threading.Event()
        self.pending = []  # (due time, bytes)
        self.loop_left = 0
        self.stall_until = 0.0
        self.line = b""
        self.link = None
        self.new_line()

    def new_line(self):
        master, slave = os.openpty()
        tty.setraw(slave)
        os.set_blocking(master, False)
        # The slave stays open here too, so the master keeps working while
        # the port is closed between tests.
        self.master, self.slave = master, slave
        self.link = link_port(self.prefix, PEER_COM, os.ttyname(slave))

    def hang_up(self):
        old = (self.master, self.slave)
        self.new_line()  # the port name leads to a fresh line from now on
        for fd in old:
            os.close(fd)

    def send(self, data):
        while data:
            try:
                n = os.write(self.master, data)
                data = data[n:]
            except BlockingIOError:
                time.sleep(0.001)

    def command(self, line):
        line = line.rstrip(b"\r")
        if not line.startswith(b"!"):
            return
        word, _, rest = line[1:].partition(b" ")
        if word == b"send":
            self.send(rest)
        elif word == b"later":
            ms, _, text = rest.partition(b" ")
            self.pending.append((time.monotonic() + int(ms) / 1000.0, text))
        elif word == b"loop":
            self.loop_left = int(rest)
        elif word == b"stall":
            self.stall_until = time.monotonic() + int(rest) / 1000.0
        elif word == b"hangup":
            self.hang_up()

    def feed(self, data):
        while data:
            if self.loop_left:
                part, data = data[: self.loop_left], data[self.loop_left :]
                self.loop_left -= len(part)
                self.send(part)
                continue
            self.line += data
            data = b""
            while b"\n" in self.line:
                one, self.line = self.line.split(b"\n", 1)
                self.command(one)
                if self.loop_left and self.line:
                    data, self.line = self.line, b""
                    break
            self.line = self.line[-4096:]

    def run(self):
        while not self.stop.is_set():
            now = time.monotonic()
            for item in [p for p in self.pending if p[0] <= now]:
                self.pending.remove(item)
                self.send(item[1])
            if now < self.stall_until:
                time.sleep(0.005)
                continue
            ready, _, _ = select.select([self.master], [], [], 0.005)
            if not ready:
                continue
            try:
                data = os.read(self.master, 65536)
            except (BlockingIOError, OSError):
                continue
            self.feed(data)


def packet_line(n, last, data):
    """An upload packet line, encoded here on its own to check the program's."""
    digits = "".join("%02X" % b for b in data)
    check = sum(ord(c) for c in digits)
    high = "%X" % (n // 16) if n // 16 < 16 else "F"
    return "AT*FUPL=%s%X0%d%s%04X\r\n" % (high, n % 16, 0 if last else 1, digits, check)


def data_line(n, last, data):
    return packet_line(n, last, data)[len("AT*FUPL="):]


def upload_log(name, data, folder):
    """LAD.log of one upload: each line sent, then the reply: its echo and OK."""
    ok = "\r\nOK\r\n"
    request = 'AT*FUPL="%s",%d,%d\r\n' % (name, len(data), folder)
    log = request + request + ok
    chunks = [data[i:i + 90] for i in range(0, len(data), 90)]
    for i, chunk in enumerate(chunks, 1):
        line = packet_line(i, i == len(chunks), chunk)
        log += line + line + ok
    return log.encode("latin-1")


def download_log(name, data):
    """LAD.log of one download of a file of more than one packet."""
    ok = "\r\nOK\r\n"
    chunks = [data[i:i + 90] for i in range(0, len(data), 90)]
    request = 'AT*FDWN="%s"\r\n' % name
    log = request + request + "\r\n*FDWN: 1\r\n" + data_line(1, False, chunks[0])[:-2] + "\r\n"
    for i, chunk in enumerate(chunks[1:], 2):
        last = i == len(chunks)
        ack = "AT*ACK\r\n"
        log += ack + ack + "\r\n*FDWN: %d\r\n" % i + data_line(i, last, chunk)[:-2] + "\r\n" + (ok if last else "")
    return log.encode("latin-1")


def cli_end_to_end(wine, env, prefix, exe, content):
    """Runs the command line under Wine; returns the steps run and what went wrong."""
    problems = []
    steps = []
    drive = os.path.join(prefix, "drive_c")
    work = os.path.join(drive, "quendrel-e2e")
    shutil.rmtree(work, ignore_errors=True)
    for sub in ("pc", "back", "suites"):
        os.makedirs(os.path.join(work, sub))
    log_path = os.path.join(drive, "LAD.log")
    if os.path.exists(log_path):
        os.unlink(log_path)
    data = bytes((i * 7 + i // 90) & 0xFF for i in range(1000))  # twelve packets, every byte value
    with open(os.path.join(work, "pc", "round trip (1).bin"), "wb") as f:
        f.write(data)
    jar = bytes(range(256)) * 3
    with open(os.path.join(work, "suites", "game.jar"), "wb") as f:
        f.write(jar)
    with open(os.path.join(work, "suites", "game.jad"), "wb") as f:
        f.write(("MIDlet-Name: Wine Game\r\nMIDlet-Version: 1.0\r\nMIDlet-Vendor: Quendrel Test\r\n"
                 "MIDlet-Jar-URL: game.jar\r\nMIDlet-Jar-Size: %d\r\n" % len(jar)).encode())
    win = "C:\\quendrel-e2e\\"

    def cli(*argv, locale=None):
        run_env = dict(env, LC_ALL=locale) if locale else env
        r = subprocess.run([wine, exe, "--port", PHONE_COM] + list(argv), env=run_env, capture_output=True,
                           timeout=300)
        return r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace")

    def step(label, ok, detail=""):
        print(("ok   " if ok else "FAIL ") + label + ("" if ok else ": " + detail), flush=True)
        steps.append(label)
        if not ok:
            problems.append(label)

    rc, out, err = cli("at")
    step("at", rc == 0, err)
    # Arguments arrive as UTF-8 whatever the ANSI code page holds; redirected
    # output stays UTF-8 bytes.
    rc, out, err = cli("--bogus-\u0416\u00fc")
    step("arguments in UTF-8", rc == 2 and "unknown option --bogus-\u0416\u00fc\r\n" in err, err)
    rc, out, err = cli("midlets", "--pc", win + "no such folder")
    step("midlets: missing PC folder fails", rc == 1 and "Unable to open directory" in err, err)
    rc, out, err = cli("put", "3", win + "pc\\round trip (1).bin")
    stored = os.path.join(content, "3", "round trip (1).bin")
    step("put", rc == 0 and open(stored, "rb").read() == data if os.path.exists(stored) else False, err)
    step("put: LAD.log", os.path.exists(log_path) and
         open(log_path, "rb").read() == upload_log("round trip (1).bin", data, 3))
    rc, out, err = cli("ls", "3")
    step("ls", rc == 0 and "round trip (1).bin\t%d" % len(data) in out, out + err)
    rc, out, err = cli("get", "3", "round trip (1).bin", "--to", win + "back")
    back = os.path.join(work, "back", "round trip (1).bin")
    step("get: byte-identical", rc == 0 and os.path.exists(back) and open(back, "rb").read() == data, err)
    step("get: LAD.log", os.path.exists(log_path) and
         open(log_path, "rb").read() == download_log("round trip (1).bin", data))
    rc, out, err = cli("rm", "3", "round trip (1).bin")
    step("rm", rc == 0 and not os.path.exists(stored), err)
    # Folders and files named in other scripts than the ANSI code page's
    # (Wine's follows LC_ALL: 1252, then 936): the program keeps them as
    # UTF-8 and opens them by their wide names.
    intl = "Caf\u00e9 \u0416\u0443\u043a \u5f20"
    back_dir = "\u043d\u0430\u0437\u0430\u0434 \u56de"
    os.makedirs(os.path.join(work, intl))
    os.makedirs(os.path.join(work, back_dir))
    with open(os.path.join(work, intl, "photo \u00e9.bin"), "wb") as f:
        f.write(data)
    for locale, cp in (("en_US.UTF-8", "1252"), ("zh_CN.UTF-8", "936")):
        rc, out, err = cli("put", "3", win + intl + "\\photo \u00e9.bin", locale=locale)
        stored = os.path.join(content, "3", "photo \u00e9.bin")
        step("put from a folder in other scripts, code page " + cp, rc == 0 and os.path.exists(stored) and
             open(stored, "rb").read() == data, err)
        back = os.path.join(work, back_dir, "photo \u00e9.bin")
        if os.path.exists(back):
            os.unlink(back)
        rc, out, err = cli("get", "3", "photo \u00e9.bin", "--to", win + back_dir, locale=locale)
        step("get into a folder in other scripts, code page " + cp, rc == 0 and os.path.exists(back) and
             open(back, "rb").read() == data, err)
        cli("rm", "3", "photo \u00e9.bin", locale=locale)
    rc, out, err = cli("install", win + "suites", "game.jad")
    installed = os.path.join(content, "4", "Wine Game", "game.jar")
    ok = rc == 0 and os.path.exists(installed) and open(installed, "rb").read() == jar
    rc, out, err2 = cli("midlets")
    step("install, midlets", ok and rc == 0 and "Wine Game\t1.0\t%d" % len(jar) in out, err + err2 + out)
    rc, out, err = cli("uninstall", "Wine Game")
    step("uninstall", rc == 0 and not os.path.exists(os.path.join(content, "4", "Wine Game")), err)
    # The platform test wants C:\\LAD.log absent on its next run.
    if os.path.exists(log_path):
        os.unlink(log_path)
    return steps, problems


def wine_reg(wine, env, *args):
    r = subprocess.run([wine, "reg"] + list(args), env=env, capture_output=True, timeout=120)
    return r.returncode, r.stdout.decode("utf-8", "replace")


SETTINGS_KEY = "HKCU\\Software\\Velko\\Velko Sync Tool\\1.0\\ConnectSetting"


def installed_programs_check(wine, env, prefix, target, phone_device, check):
    """What a user does first: the Start menu's virtual phone, the first
    start's language, and the command line on a COM port."""
    win_dir = "C:\\" + os.path.basename(target)
    exe = win_dir + "\\bin\\quendrel.exe"
    if not os.path.exists(os.path.join(target, "bin", "quendrel.exe")):
        return
    # The Start menu's entry: started in the install folder, where no ini is.
    for lang, code in (("zh_TW.UTF-8", 1028), ("zh_CN.UTF-8", 2052), ("en_US.UTF-8", 9)):
        wine_reg(wine, env, "delete", "HKCU\\Software\\Velko", "/f")
        run_env = dict(env, LANG=lang, LC_ALL=lang)
        r = subprocess.run([wine, exe, "--virtual-phone", "--quit-after-start"], env=run_env, cwd=target,
                           capture_output=True, timeout=120)
        out, err = r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace")
        check("installed quendrel.exe --virtual-phone on %s starts (exit %d): %s" % (lang, r.returncode, err.strip()),
              r.returncode == 0 and "started" in out and "message box" not in err)
        _, stored = wine_reg(wine, env, "query", SETTINGS_KEY, "/v", "Language")
        check("first start on %s stores Language %d: %s" % (lang, code, stored.strip()), "0x%x" % code in stored)
    print("installed window:", " | ".join(out.split("\r\n" if "\r\n" in out else "\n")).strip(" |"), flush=True)
    check("installed window connected to its virtual phone: %r" % out, "Status: Connection" in out)
    # The command line on a COM port (the phone on a pseudo-terminal).
    link_port(prefix, PHONE_COM, phone_device)
    r = subprocess.run([wine, win_dir + "\\bin\\quendrel-cli.exe", "--port", PHONE_COM, "at"], env=env,
                       capture_output=True, timeout=120)
    check("installed quendrel-cli.exe at %s (exit %d): %s" % (PHONE_COM, r.returncode, r.stderr.decode(errors="replace")),
          r.returncode == 0)


def installer_check(wine, env, prefix, installer, phone_device):
    """Installs the package silently into a fresh Wine prefix with its PATH
    and desktop options, checks what it installed and that the installed
    programs run, uninstalls it and checks nothing is left but the user's
    settings; a second round removes those too."""
    problems = []
    drive = os.path.join(prefix, "drive_c")
    target = os.path.join(drive, "Quendrel-installed")
    win_bin = "C:\\Quendrel-installed\\bin"
    # Shortcuts stay inside the prefix: no menu entries for the host's desktop.
    env = dict(env, WINEDLLOVERRIDES=env.get("WINEDLLOVERRIDES", "") + ";winemenubuilder.exe=d")
    shutil.rmtree(target, ignore_errors=True)

    def shortcuts():
        found = set()
        for top in ("ProgramData", "users"):
            for root, _, files in os.walk(os.path.join(drive, top)):
                found.update(os.path.join(root, f) for f in files if f.lower().endswith(".lnk"))
        return found

    def user_path():
        return wine_reg(wine, env, "query", "HKCU\\Environment", "/v", "PATH")

    def check(label, ok):
        if not ok:
            problems.append(label)

    def uninstall(*options):
        # As a user runs it: the uninstaller copies itself away and removes the
        # folder with itself, after the first process has ended.
        r = subprocess.run([wine, "C:\\Quendrel-installed\\Uninstall.exe", "/S"] + list(options), env=env,
                           capture_output=True, timeout=300)
        deadline = time.monotonic() + 120
        while os.path.exists(target) and time.monotonic() < deadline:
            time.sleep(0.5)
        check("silent uninstall leaves %s (exit %d)" % (sorted(os.listdir(target)) if os.path.exists(target) else "",
                                                      r.returncode), not os.path.exists(target))

    def install():
        # A silent install shows no options page; these two options stand for it.
        return subprocess.run([wine, installer, "/S", "/ADD_TO_PATH=USER", "/DESKTOP_ICON",
                               "/D=C:\\Quendrel-installed"], env=env, capture_output=True, timeout=300)

    before = shortcuts()
    path_before = user_path()
    r = install()
    exe = os.path.join(target, "bin", "quendrel-cli.exe")
    if r.returncode != 0 or not os.path.exists(exe):
        return ["silent install (exit %d)" % r.returncode]
    window = os.path.exists(os.path.join(os.path.dirname(os.path.abspath(installer)), "quendrel.exe"))
    shown = "quendrel.exe" if window else "quendrel-cli.exe"
    for name in ["bin/" + shown, "README.txt", "LICENSE.txt"]:
        check("installed " + name, os.path.exists(os.path.join(target, *name.split("/"))))
    with open(os.path.join(target, "LICENSE.txt"), "rb") as f:
        check("the licence is the project's", b"All rights reserved" in f.read())
    added = shortcuts() - before
    menu = [p for p in added if "start menu" in p.lower() and os.path.basename(p) != "Uninstall.lnk"]
    desktop = [p for p in added if os.sep + "desktop" + os.sep in p.lower()]
    names = sorted(os.path.basename(p) for p in menu)
    check("Start-menu shortcuts %s" % names,
          names == (["Quendrel (virtual phone).lnk", "Quendrel.lnk"] if window else ["Quendrel command line.lnk"]))
    check("one desktop shortcut (%s)" % sorted(added), len(desktop) == 1)
    for link in menu + desktop:
        with open(link, "rb") as f:
            data = f.read()
        check("shortcut %s leads to %s" % (link, shown), shown.encode() in data.lower())
        if "virtual phone" in link:
            check("shortcut %s starts the virtual phone" % link, "--virtual-phone".encode("utf-16-le") in data)
    check("bin on the user's PATH", win_bin.lower() in user_path()[1].lower())
    # A new console finds the command line by name alone.
    r = subprocess.run([wine, "cmd", "/c", "quendrel-cli", "--version"], env=env, capture_output=True, timeout=120)
    check("quendrel-cli found on PATH (exit %d)" % r.returncode, r.returncode == 0 and r.stdout.strip())
    r = subprocess.run([wine, win_bin + "\\quendrel-cli.exe", "--version"], env=env,
                       capture_output=True, timeout=120)
    check("the installed program runs (exit %d)" % r.returncode, r.returncode == 0 and r.stdout.strip())
    # Stripped: what a user installs is a few megabytes, not sixteen.
    check("installed program of %d bytes" % os.path.getsize(exe), os.path.getsize(exe) <= 8 * 1024 * 1024)
    with open(exe, "rb") as f:
        image = f.read()
    check("version information and manifest in the program",
          "Quendrel command line".encode("utf-16-le") in image and b"requestedExecutionLevel" in image)
    installed_programs_check(wine, env, prefix, target, phone_device, check)

    # Settings made by the runs above (the window's first start, its folder).
    settings = os.path.join(drive, "users", os.listdir(os.path.join(drive, "users"))[0], "AppData", "Local",
                            "Quendrel")
    for user in os.listdir(os.path.join(drive, "users")):
        candidate = os.path.join(drive, "users", user, "AppData", "Local", "Quendrel")
        if os.path.isdir(candidate):
            settings = candidate
    wine_reg(wine, env, "add", SETTINGS_KEY, "/v", "PortNo", "/t", "REG_DWORD", "/d", "7", "/f")
    uninstall()
    check("uninstall leaves shortcuts %s" % sorted(shortcuts() - before), not shortcuts() - before)
    menu_dirs = [os.path.dirname(p) for p in menu if os.path.basename(os.path.dirname(p)).startswith("Quendrel")]
    check("uninstall leaves the Start-menu folder", not any(os.path.exists(d) for d in menu_dirs))
    check("uninstall leaves bin on PATH", win_bin.lower() not in user_path()[1].lower())
    check("uninstall restores PATH: before %r, after %r" % (path_before, user_path()),
          user_path()[0] == path_before[0] and user_path()[1] == path_before[1])
    check("uninstall keeps the user's settings", wine_reg(wine, env, "query", SETTINGS_KEY, "/v", "PortNo")[0] == 0)
    if window:
        check("uninstall keeps the user's program folder", os.path.isdir(settings))
    # Asked to, it removes them.
    r = install()
    check("second silent install (exit %d)" % r.returncode, r.returncode == 0)
    uninstall("/REMOVE_SETTINGS")
    check("/REMOVE_SETTINGS removes the settings key",
          wine_reg(wine, env, "query", "HKCU\\Software\\Velko\\Velko Sync Tool")[0] != 0)
    check("/REMOVE_SETTINGS removes the program folder", not os.path.exists(settings))
    shutil.rmtree(target, ignore_errors=True)
    return problems


# Test programs that open windows: they run with an X server of their own.
WINDOW_TESTS = ("test_window_win32.exe", "test_window_fit_win32.exe", "test_window_batches_win32.exe",
                "test_dialogs_win32.exe")


def start_x_server(log):
    """Starts Xvfb on a free display; returns the process and the DISPLAY value."""
    xvfb = find_tool("Xvfb")
    read_fd, write_fd = os.pipe()
    proc = subprocess.Popen([xvfb, "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            pass_fds=(write_fd,), stdout=log, stderr=log)
    os.close(write_fd)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_fd, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_fd)
    if not number.strip():
        proc.kill()
        sys.exit("the X server did not start")
    return proc, ":" + number.decode().strip()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True, help="the Windows build folder (holds the Wine prefix)")
    ap.add_argument("--phonesim", required=True, help="the Linux virtual phone program")
    ap.add_argument("--cli", help="quendrel-cli.exe to run end to end")
    ap.add_argument("--installer", help="the Windows installer to install, run and uninstall")
    ap.add_argument("tests", nargs="*")
    args, extra = ap.parse_known_args()
    if "--" in args.tests:
        i = args.tests.index("--")
        args.tests, extra = args.tests[:i], args.tests[i + 1 :] + extra

    if not os.access(args.phonesim, os.X_OK):
        sys.exit("no virtual phone program at " + args.phonesim)
    wine = find_tool("wine64", "/usr/lib/wine/wine64", "wine")
    wineserver = find_tool("wineserver", "/usr/lib/wine/wineserver")
    prefix = os.path.abspath(os.path.join(args.build, "wineprefix"))
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    env.pop("DISPLAY", None)
    serverlog = open(os.path.join(args.build, "wineserver.log"), "ab")
    # Wine's desktop takes its display when the server's first program starts.
    xserver = None
    if args.installer or any(os.path.basename(t) in WINDOW_TESTS for t in args.tests):
        xserver, env["DISPLAY"] = start_x_server(serverlog)
    if not os.path.isdir(os.path.join(prefix, "drive_c")):
        print("Creating the Wine prefix", prefix, flush=True)
        subprocess.run([wine, "wineboot", "-i"], env=env, stdout=serverlog, stderr=serverlog, check=True)
    # A server of our own keeps its messages out of the test output.
    server = subprocess.Popen([wineserver, "-f", "-p"], env=env, stdout=serverlog, stderr=serverlog)
    # Wine's background services start with the first program; started here,
    # they write to the log and do not hold a captured pipe of a later run open.
    subprocess.run([wine, "cmd", "/c", "exit"], env=env, stdout=serverlog, stderr=serverlog, timeout=120)

    content = tempfile.mkdtemp(prefix="quendrel-wine-phone-")
    phone = subprocess.Popen([args.phonesim, "--content", content], stdout=subprocess.PIPE, text=True)
    peer = None
    links = []
    failed = 0
    try:
        device = phone.stdout.readline().strip()
        if not device:
            sys.exit("the virtual phone printed no device")
        links.append(link_port(prefix, PHONE_COM, device))
        peer = Peer(prefix)
        peer.start()
        links.append(peer.link)
        env.update(QUENDREL_PHONE_PORT=PHONE_COM, QUENDREL_PEER_PORT=PEER_COM)
        for exe in args.tests:
            print("==>", os.path.basename(exe), flush=True)
            rc = subprocess.run([wine, exe] + extra, env=env).returncode
            if rc != 0:
                print("FAILED:", exe, "exit", rc, flush=True)
                failed += 1
        if args.cli:
            print("==>", os.path.basename(args.cli), "end to end", flush=True)
            steps, problems = cli_end_to_end(wine, env, prefix, args.cli, content)
            for p in problems:
                print("FAILED:", p, flush=True)
            print("end to end: %d passed, %d failed" % (len(steps) - len(problems), len(problems)), flush=True)
            failed += len(problems)
        if args.installer:
            print("==>", os.path.basename(args.installer), "install, run, uninstall", flush=True)
            # A fresh prefix, as a new user's machine: nothing of the tests' runs.
            fresh = os.path.abspath(os.path.join(args.build, "wineprefix-installed"))
            shutil.rmtree(fresh, ignore_errors=True)
            fresh_env = dict(env, WINEPREFIX=fresh)
            subprocess.run([wine, "wineboot", "-i"], env=fresh_env, stdout=serverlog, stderr=serverlog, check=True)
            try:
                problems = installer_check(wine, fresh_env, fresh, args.installer, device)
            finally:
                subprocess.run([wineserver, "-k"], env=fresh_env, stdout=serverlog, stderr=serverlog)
            for p in problems:
                print("FAILED:", p, flush=True)
            print("installer: %s" % ("ok" if not problems else "%d failed" % len(problems)), flush=True)
            failed += len(problems)
    finally:
        if peer:
            peer.stop.set()
        phone.terminate()
        phone.wait()
        shutil.rmtree(content, ignore_errors=True)
        subprocess.run([wineserver, "-k"], env=env, stdout=serverlog, stderr=serverlog)
        if xserver:
            xserver.terminate()
            xserver.wait()
        try:
            server.wait(timeout=10)
        except subprocess.TimeoutExpired:
            server.kill()
        for link in links:
            if os.path.lexists(link):
                os.unlink(link)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
