"""Black-box run of lumora-win.exe under Wine, started as a user would from a folder of its own.

Drives the program's windows through tests/windows/blackbox/window_driver.exe, talks HTTP to it
from Linux over loopback, and looks at settings.ini, the working directory and exit statuses.
Run by ctest under tests/windows/run, which provides the display and the Wine prefix, one
scenario (--scenario) a test.
Prints one "PASS name" or "FAIL name: reason" line per check and "DONE" at the end.
"""
import argparse
import glob
import hashlib
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time

WINE = "/usr/lib/wine/wine64"
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TITLE = "Lumora v1.4"


def gadget_numbers():
    """The gadget numbers as the program's own headers define them."""
    numbers = {}
    for header in ("desktop/main_window.h", "desktop/settings_dialog.h", "windows/windows_gadgets.h"):
        with open(os.path.join(ROOT, header)) as f:
            for name, value in re.findall(r"inline constexpr int (\w+) = (\d+);", f.read()):
                numbers[name] = int(value)
    return numbers


G = gadget_numbers()
results = []


def check(name, condition, reason=""):
    results.append(bool(condition))
    print(("PASS %s" % name) if condition else ("FAIL %s: %s" % (name, reason)), flush=True)
    return bool(condition)


class Run:
    def __init__(self, args):
        self.build = args.build
        self.work = args.work
        self.locale = args.locale
        self.screenshots = args.screenshots
        self.driver_exe = os.path.join(self.build, "tests", "windows", "window_driver.exe")
        self.prefix = os.environ["WINEPREFIX"]
        self.temp = None
        self.programs = []
        self.closed_in = None
        # The program takes its capture library from the system folder only, so stand-ins go
        # there; Wine still loads its own unless a scenario asks for the copy there (avicap32=n).
        self.system_library = os.path.join(self.prefix, "drive_c", "windows", "system32", "avicap32.dll")

    # ---- Wine and the driver -------------------------------------------------------------------

    def env(self, german=False, overrides=None, extra=None):
        env = dict(os.environ)
        env.update(extra or {})
        if german:
            env.update(LANG="de_DE.UTF-8", LOCPATH=self.locale)
        if overrides:
            env["WINEDLLOVERRIDES"] = os.environ.get("WINEDLLOVERRIDES", "") + ";" + overrides
        return env

    def wine(self, program, *words, timeout=60):
        """Runs a Windows program to its end: its status and what it printed."""
        # Into a file, not a pipe: Wine helper processes that a program happens to start inherit
        # its output and outlive it, and a pipe would wait for them.
        with tempfile.TemporaryFile(dir=self.work) as output:
            done = subprocess.run([WINE, program] + [str(w) for w in words], stdout=output,
                                  stderr=subprocess.DEVNULL, timeout=timeout)
            output.seek(0)
            text = output.read().decode("utf-8", "replace")
        return done.returncode, text.replace("\r", "").rstrip("\n")

    def driver(self, *words, timeout=60):
        return self.wine(self.driver_exe, *words, timeout=timeout)

    def registry(self, key):
        """The values of a registry key by name, or None when there is no such key."""
        code, text = self.wine("reg.exe", "query", key)
        if code != 0:
            return None
        return dict(m.groups() for m in map(re.compile(r"^ +(.+?) {4}REG_\w+ {4}(.*)$").match, text.split("\n")) if m)

    def unix_path(self, windows_path):
        drive, rest = windows_path.split(":", 1)
        assert drive.upper() == "C", windows_path
        return os.path.join(self.prefix, "drive_c", *[p for p in rest.split("\\") if p])

    def text(self, gadget):
        return self.driver("text", TITLE, G[gadget])[1]

    def wait_window(self, gadget, seconds):
        return self.driver("wait", TITLE, G[gadget], seconds * 1000, timeout=seconds + 30)[0] == 0

    def unix_temp(self):
        if self.temp is None:
            self.temp = self.unix_path(self.driver("temp")[1])
        return self.temp

    def work_dirs(self):
        return set(glob.glob(os.path.join(self.unix_temp(), "lmr*")))

    # ---- The program ---------------------------------------------------------------------------

    def folder(self, name, capture=None, settings=None, planted=None):
        """A folder holding lumora-win.exe, optionally settings and a planted capture library; the
        system folder gets the stand-in capture library named."""
        path = os.path.join(self.work, name)
        os.makedirs(path)
        shutil.copy(os.path.join(self.build, "lumora-win.exe"), path)
        if capture:
            shutil.copy(self.stand_in(capture), self.system_library)
        if planted:
            shutil.copy(self.stand_in(planted), path)
        if settings is not None:
            with open(os.path.join(path, "settings.ini"), "wb") as f:
                f.write(settings.encode("utf-8"))
        return path

    def stand_in(self, name):
        return os.path.join(self.build, "tests", "windows", "standin", name, "avicap32.dll")

    def start(self, folder, german=False, overrides=None, extra=None, errors=None):
        """Starts the program; `extra` adds environment, `errors` names a file for Wine's output."""
        with open(errors or os.devnull, "wb") as error_output:
            program = subprocess.Popen([WINE, os.path.join(folder, "lumora-win.exe")], cwd=folder,
                                       env=self.env(german, overrides, extra), stdout=subprocess.DEVNULL,
                                       stderr=error_output)
        self.programs.append(program)
        return program

    def capture_log(self, name):
        """A file for the stand-in capture device's record of calls, and the environment naming it."""
        path = os.path.join(self.work, name + ".capture.log")
        return path, {"LUMORA_CAPTURE_LOG": windows_path(path)}

    def end_programs(self):
        """Ends what a scenario left running, so that the next one meets none of its windows."""
        for program in self.programs:
            if program.poll() is None:
                program.kill()
                program.wait()
        self.programs = []

    def close(self, program, seconds=30):
        started = time.monotonic()
        self.driver("close", TITLE, G["gadgetStartStop"])
        status = wait_exit(program, seconds)
        self.closed_in = time.monotonic() - started
        return status

    def relay_only(self, functions):
        """Wine's relay log (WINEDEBUG=+relay) is to name only these calls; None: all again."""
        key = ["HKCU\\Software\\Wine\\Debug", "/v", "RelayInclude", "/f"]
        words = ["add"] + key + ["/d", functions] if functions else ["delete"] + key
        subprocess.run([WINE, "reg.exe"] + words, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def screenshot(self, name):
        os.makedirs(self.screenshots, exist_ok=True)
        target = os.path.join(self.screenshots, name)
        subprocess.run(["import", "-window", "root", target], capture_output=True, timeout=30)
        return target


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def wait_exit(program, seconds):
    try:
        return program.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        program.kill()
        program.wait()
        return None


def free_port():
    """A port below 32768 that nothing on this machine holds now."""
    base = 20000 + os.getpid() % 9000
    for port in range(base, base + 3000, 11):
        with socket.socket() as probe:
            try:
                probe.bind(("0.0.0.0", port))
                return port
            except OSError:
                continue
    raise RuntimeError("no free port")


def http_get(port, path, source="127.0.0.1", timeout=5.0):
    """The whole answer (head and body) to a GET, or None when nobody listens."""
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=timeout, source_address=(source, 0)) as s:
            s.sendall(("GET /%s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n" % path).encode())
            answer = b""
            while True:
                chunk = s.recv(65536)
                if not chunk:
                    return answer
                answer += chunk
    except OSError:
        return None


def body(answer):
    return answer.split(b"\r\n\r\n", 1)[1] if answer and b"\r\n\r\n" in answer else b""


def wait_for(condition, seconds, step=0.2):
    until = time.monotonic() + seconds
    while time.monotonic() < until:
        value = condition()
        if value:
            return value
        time.sleep(step)
    return condition()


def luminance_dc_quantizer(jpeg):
    """The first entry of the JPEG's first quantisation table: 16 at quality 50."""
    at = jpeg.find(b"\xff\xdb")
    if at < 0:
        return None
    precision = jpeg[at + 4] >> 4
    return jpeg[at + 5] if precision == 0 else int.from_bytes(jpeg[at + 5:at + 7], "big")


def settings_lines(raw):
    return raw.decode("utf-8").split("\r\n")


def stored_settings(port, more="", language="English", digest=hashlib.sha1(b"pw").hexdigest(), device=0):
    """A settings.ini as the program writes it; language None leaves the setting out."""
    return ("%susername = cam\r\npassword = %s\r\nport = %d\r\ndevice = %d\r\n%s"
            % ("language = %s\r\n" % language if language else "", digest, port, device, more))


def capture_calls(log, kind=None):
    """The stand-in capture device's record: every line, or the arguments of one kind of call."""
    lines = open(log).read().splitlines() if os.path.exists(log) else []
    return lines if kind is None else [line[len(kind) + 1:] for line in lines if line.split(" ")[0] == kind]


def relay_calls(log, function):
    """(arguments, return address) of each call of a kernel32 function in a Wine relay log."""
    pattern = re.compile(r"Call KERNEL32\.%s\((.*)\) ret=([0-9a-f]+)" % function)
    with open(log, errors="replace") as f:
        return [(m.group(1), int(m.group(2), 16)) for m in map(pattern.search, f) if m]


# ---- Scenarios -----------------------------------------------------------------------------------


def first_start_and_serving(run):
    """First start through the dialog, then Start, login, frames, Stop and Start, close."""
    port = free_port()
    folder = run.folder("first", capture="capture_device")
    before = run.work_dirs()
    log, extra = run.capture_log("first")
    program = run.start(folder, overrides="avicap32=n", extra=extra)
    if not check("first start opens the settings dialog", run.wait_window("gadgetUsernameEntry", 60)):
        program.kill()
        return
    run.driver("set", TITLE, G["gadgetUsernameEntry"], " cam ")
    run.driver("set", TITLE, G["gadgetPasswordEntry"], "geheim")
    run.driver("set", TITLE, G["gadgetPortSpin"], port)
    run.driver("click", TITLE, G["gadgetOkButton"])
    check("confirming the dialog opens the main window", run.wait_window("gadgetStartStop", 30))

    raw = open(os.path.join(folder, "settings.ini"), "rb").read()
    lines = settings_lines(raw)
    keys = [line.split(" = ")[0] for line in lines if line]
    check("settings.ini ends every line with CR LF",
          raw.endswith(b"\r\n") and b"\n" not in raw.replace(b"\r\n", b"") and b"\r" not in raw.replace(b"\r\n", b""),
          repr(raw))
    check("settings.ini holds the ten keys in order",
          keys == ["language", "username", "password", "autostart", "server", "hide", "ipcheck", "port",
                   "device", "image"], keys)
    check("settings.ini holds the values as entered",
          "username = cam" in lines and "port = %d" % port in lines and "image = 5" in lines
          and "password = " + hashlib.sha1(b"geheim").hexdigest() in lines, lines)

    work_dir = wait_for(lambda: run.work_dirs() - before, 10)
    check("a working directory is made under the temporary folder", len(work_dir) == 1, work_dir)
    work_dir = next(iter(work_dir)) if work_dir else None
    check("the server starts inactive", run.text("gadgetStatusField") == " Inactive", run.text("gadgetStatusField"))

    run.driver("click", TITLE, G["gadgetStartStop"])
    check("Start shows the server active",
          wait_for(lambda: run.text("gadgetStatusField") == " Active", 10), run.text("gadgetStatusField"))
    login_page = http_get(port, "")
    check("Start serves the login page to a Linux client",
          login_page is not None and login_page.startswith(b"HTTP/1.1 200") and b"Server: Lumora-Server" in login_page
          and b"<title>Lumora - Login</title>" in login_page, login_page[:300] if login_page else None)
    viewer = http_get(port, "login.html?username=cam&password=geheim&Login=Login")
    check("the password logs the browser in", viewer is not None and b"<title>Lumora</title>" in viewer,
          viewer[:300] if viewer else None)
    refused = http_get(port, "login.html?username=cam&password=geheim2&Login=Login", source="127.0.0.3")
    check("a wrong password does not", refused is not None and b"Authorization failed" in refused,
          refused[:300] if refused else None)

    def frame():
        answer = http_get(port, "webcam.jpg")
        return body(answer) if answer and b"image/jpeg" in answer and body(answer).startswith(b"\xff\xd8") else None

    first = wait_for(frame, 10)
    check("the captured frame is served as a JPEG", first is not None)
    check("the JPEG has the quality of step 5 (libjpeg's table scaled for quality 50)",
          first is not None and luminance_dc_quantizer(first) == 16,
          luminance_dc_quantizer(first) if first else None)
    second = wait_for(lambda: (lambda f: f if f and f != first else None)(frame()), 10)
    check("the frame changes while the server runs", second is not None)
    check("no bitmap stays between passes",
          work_dir is not None and wait_for(lambda: not os.path.exists(os.path.join(work_dir, "webcam.bmp")), 5))

    run.driver("click", TITLE, G["gadgetStartStop"])
    check("Stop shows the server inactive",
          wait_for(lambda: run.text("gadgetStatusField") == " Inactive", 10), run.text("gadgetStatusField"))
    jpeg = os.path.join(work_dir, "webcam.jpg") if work_dir else ""
    still = open(jpeg, "rb").read() if os.path.exists(jpeg) else None
    grabbed = len(capture_calls(log, "grab"))
    # Four passes' time for a frame to come; one that comes ends the wait at once.
    check("webcam.jpg stops changing after Stop",
          still is not None and not wait_for(lambda: open(jpeg, "rb").read() != still
                                             or len(capture_calls(log, "grab")) > grabbed, 2.0))
    run.driver("click", TITLE, G["gadgetStartStop"])
    check("Start again makes webcam.jpg change again",
          wait_for(lambda: open(jpeg, "rb").read() != still, 10) if still else False)
    # A quiet stretch of running: nothing else keeps the window busy meanwhile.
    grabbed = len(capture_calls(log, "grab"))
    wait_for(lambda: len(capture_calls(log, "grab")) >= grabbed + 7, 15)
    times = [int(ms) for ms in capture_calls(log, "grab")[grabbed:]]
    spacing = (times[-1] - times[0]) / 1000.0 / (len(times) - 1) if len(times) > 1 else 0
    check("about two passes a second while the server runs", 0.4 <= spacing <= 0.65, "%.2f s a pass" % spacing)

    run.driver("click", TITLE, G["gadgetHideButton"])
    visible = lambda: run.driver("visible", TITLE, G["gadgetStartStop"])[1]
    check("Hide in tray hides the window", wait_for(lambda: visible() == "0", 10), visible())
    run.driver("tray", TITLE, G["gadgetStartStop"])
    check("a double-click on the tray icon brings it back", wait_for(lambda: visible() == "1", 10), visible())

    status = run.close(program)
    check("closing ends with status 0", status == 0, status)
    check("closing leaves no working directory", not (run.work_dirs() - before), run.work_dirs() - before)
    check("one capture window, connected once across Stop and Start, never disconnected",
          capture_calls(log, "create") == [""] and capture_calls(log, "connect") == ["0"]
          and not capture_calls(log, "disconnect"), capture_calls(log)[:8])
    # fault_stack_win.cpp reserves 64 KiB; a thread procedure without it keeps Windows' default.
    check("the capture thread keeps room for the fatal-error handler",
          capture_calls(log, "guarantee") == ["65536"], capture_calls(log, "guarantee"))


def planted_library_and_quick_frames(run):
    """A capture library planted beside the program is never loaded, and frames replace webcam.jpg
    whole without waiting for the disk (Wine's relay log names the calls made)."""
    settings = stored_settings(free_port(), "server = 1\r\n")
    folder = run.folder("planted", capture="capture_device", settings=settings, planted="capture_device")
    log, extra = run.capture_log("planted")
    relay = os.path.join(run.work, "planted.relay.log")
    run.relay_only("kernel32.FlushFileBuffers;kernel32.MoveFileExW")
    extra["WINEDEBUG"] = "+relay"
    program = run.start(folder, overrides="avicap32=n", extra=extra, errors=relay)
    check("frames are made with a library planted", wait_for(lambda: len(capture_calls(log, "grab")) >= 4, 90))
    check("closing ends with status 0 here too", run.close(program) == 0)
    run.relay_only(None)
    attached = [path.lower() for path in capture_calls(log, "attach")]
    check("the capture library comes from the system folder, never from beside the program",
          attached == ["c:\\windows\\system32\\avicap32.dll"], attached)
    frames = [arguments for arguments, _ in relay_calls(relay, "MoveFileExW") if 'webcam.jpg"' in arguments]
    check("each frame is renamed over webcam.jpg without write-through",
          len(frames) >= 3 and all(int(arguments.rsplit(",", 1)[1], 16) & 8 == 0 for arguments in frames), frames[:2])
    # The program's own code lies at MinGW's image base; the system libraries flush for themselves.
    flushes = [at for _, at in relay_calls(relay, "FlushFileBuffers") if 0x140000000 <= at < 0x150000000]
    check("no frame is flushed to the disk", not flushes, len(flushes))


def stuck_driver(run):
    """A driver that never comes back from a grab or a save delays the end by less than 2 s more
    than a driver that answers does."""
    normal = None
    for kind in (None, "grab", "save"):
        name = "stuck-%s" % (kind or "none")
        folder = run.folder(name, capture="capture_device", settings=stored_settings(free_port(), "server = 1\r\n"))
        log, extra = run.capture_log(name)
        if kind:
            extra["LUMORA_CAPTURE_STALL"] = kind + " 3"
        before = run.work_dirs()
        program = run.start(folder, overrides="avicap32=n", extra=extra)
        check("the driver hangs in the third %s" % kind if kind else "the driver answers three grabs",
              wait_for(lambda: len(capture_calls(log, kind or "grab")) >= 3, 90))
        status = run.close(program)
        if not kind:
            normal = run.closed_in
            check("a normal end has status 0", status == 0, status)
            continue
        left = run.work_dirs() - before
        check("a driver stuck in a %s delays the end by less than 2 s; status 0, nothing left" % kind,
              status == 0 and run.closed_in < normal + 2.0 and not left,
              "status %s after %.1f s (a normal end %.1f s), left %s" % (status, run.closed_in, normal, left))


def frames_of_a_format_not_read(run):
    """4-bit frames: the user is told once why no picture comes, and the server goes on."""
    port = free_port()
    folder = run.folder("fourbit", capture="capture_device", settings=stored_settings(port, "server = 1\r\n"))
    log, extra = run.capture_log("fourbit")
    extra["LUMORA_CAPTURE_BITS"] = "4"
    program = run.start(folder, overrides="avicap32=n", extra=extra)
    code, message = run.driver("box", "Error", 60000, timeout=90)
    check("frames of a format not read are reported in the capture-failure message",
          code == 0 and message == "Can not create webcam captures.\nError message:\n"
                                   "Bitmap format not supported: 4 bits per pixel, compression 0", (code, message))
    run.driver("ok", "Error")
    grabs = len(capture_calls(log, "grab"))
    check("the format is reported once while the passes and the server go on",
          run.driver("box", "Error", 3000, timeout=30)[0] != 0 and len(capture_calls(log, "grab")) >= grabs + 3
          and b"Lumora - Login" in (http_get(port, "") or b""), (grabs, len(capture_calls(log, "grab"))))
    check("closing after the format report ends with status 0", run.close(program) == 0)


def device_cannot_connect(run):
    """The system's own capture library under Wine: the device never connects."""
    port = free_port()
    folder = run.folder("nodevice", settings=stored_settings(port))
    before = run.work_dirs()
    program = run.start(folder)
    if not check("stored settings open the main window at once", run.wait_window("gadgetStartStop", 60)):
        program.kill()
        return
    run.driver("click", TITLE, G["gadgetStartStop"])
    code, message = run.driver("box", "Error", 20000, timeout=60)
    check("a device that cannot connect is reported", code == 0 and message == "Can not connect to the capture device.",
          (code, message))
    check("the server is stopped when the message shows", http_get(port, "", timeout=2) is None)
    check("the window shows the server inactive", run.text("gadgetStatusField") == " Inactive",
          run.text("gadgetStatusField"))
    run.driver("ok", "Error")
    status = run.close(program)
    check("closing after the failure ends with status 0", status == 0, status)
    check("nothing is left in the temporary folder", not (run.work_dirs() - before), run.work_dirs() - before)


def german_system(run):
    """No language setting on a German system; the server starts with the program and a password
    stored in the former Windows digest form still logs in."""
    port = free_port()
    legacy = hashlib.sha1("alt".encode("utf-16-le")[:3]).hexdigest()
    settings = stored_settings(port, "server = 1\r\n", language=None, digest=legacy)
    folder = run.folder("german", capture="capture_device", settings=settings)
    program = run.start(folder, german=True, overrides="avicap32=n")
    if not check("the German system starts the main window", run.wait_window("gadgetStartStop", 60)):
        program.kill()
        return
    wait_for(lambda: run.text("gadgetStatusField") == " Aktiv", 10)
    captions = {g: run.text(g) for g in ("gadgetStartStop", "gadgetSettingsButton", "gadgetPreviewButton",
                                         "gadgetHideButton", "gadgetUsersLabel", "gadgetStatusField")}
    check("German captions without a language setting",
          captions == {"gadgetStartStop": "Beenden", "gadgetSettingsButton": " Einstellungen",
                       "gadgetPreviewButton": "Vorschau", "gadgetHideButton": "Verstecken",
                       "gadgetUsersLabel": "Nutzer:", "gadgetStatusField": " Aktiv"}, captions)
    shot = run.screenshot("windows-german.png")
    check("a screenshot of the German window is taken", os.path.getsize(shot) > 0 if os.path.exists(shot) else False)
    viewer = http_get(port, "login.html?username=cam&password=alt&Login=Login")
    check("a password stored in the former Windows form still logs in",
          viewer is not None and b"<title>Lumora</title>" in viewer, viewer[:200] if viewer else None)
    check("the users field counts the browser", wait_for(lambda: run.text("gadgetUsersField") == " 1", 5),
          run.text("gadgetUsersField"))
    status = run.close(program)
    check("closing the German window ends with status 0", status == 0, status)


def device_index_without_driver(run):
    """A capture library with one driver, asked for the second: reported at the automatic start."""
    port = free_port()
    settings = stored_settings(port, "server = 1\r\n", language=None, device=1)
    folder = run.folder("secondindex", capture="capture_device", settings=settings)
    program = run.start(folder, overrides="avicap32=n")
    code, message = run.driver("box", "Error", 30000, timeout=60)
    check("a device index without a driver is reported at the automatic start",
          code == 0 and message == "Can not connect to the capture device.", (code, message))
    check("the automatically started server is stopped by then", http_get(port, "", timeout=2) is None)
    run.driver("ok", "Error")
    status = run.close(program)
    check("closing after that ends with status 0", status == 0, status)


def english_setting_on_german_system(run):
    folder = run.folder("english", settings=stored_settings(free_port()))
    program = run.start(folder, german=True)
    if not check("a German system with the setting English starts", run.wait_window("gadgetStartStop", 60)):
        program.kill()
        return
    check("the setting English wins over the system", run.text("gadgetStartStop") == "Start",
          run.text("gadgetStartStop"))
    status = run.close(program)
    check("closing ends with status 0 again", status == 0, status)


def missing_capture_library(run):
    folder = run.folder("nolibrary")
    before = run.work_dirs()
    program = run.start(folder, overrides="avicap32=d")
    code, message = run.driver("box", "Error", 30000, timeout=60)
    check("a missing capture library is named", code == 0 and message == '"AVICAP32.DLL" not found.',
          (code, message))
    check("no window opens before that", run.driver("wait", TITLE, G["gadgetUsernameEntry"], 0)[0] != 0)
    run.driver("ok", "Error")
    status = wait_exit(program, 30)
    check("a missing capture library ends with status 1", status == 1, status)
    check("a missing capture library makes no working directory", not (run.work_dirs() - before))


def missing_capture_function(run):
    folder = run.folder("nofunction", capture="no_function")
    program = run.start(folder, german=True, overrides="avicap32=n")
    code, message = run.driver("box", "Fehler", 30000, timeout=60)
    check("a library without the capture function is reported in the user's language",
          code == 0 and message == 'Die Funktion "capCreateCaptureWindowW" wurde nicht gefunden.', (code, message))
    run.driver("ok", "Fehler")
    status = wait_exit(program, 30)
    check("a missing capture function ends with status 1", status == 1, status)


UNINSTALL_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumora"
# The shell's numbers (CSIDL) of the user's folders that installing and uninstalling touch.
FOLDERS = {"AppData": 0x1a, "Local AppData": 0x1c, "Programs": 0x02, "Startup": 0x07}


def installed_copy(run):
    """The installer run silently, the installed program started from where it went, and the silent
    uninstall: the settings live in the user's application data and stay there."""
    folders = {name: run.driver("folder", number)[1] for name, number in FOLDERS.items()}
    settings = os.path.join(run.unix_path(folders["AppData"]), "Lumora", "settings.ini")
    links = [os.path.join(run.unix_path(folders[f]), "Lumora.lnk") for f in ("Programs", "Startup")]
    status = run.wine(os.path.join(run.build, "lumora-win-setup.exe"), "/S")[0]
    entry = run.registry(UNINSTALL_KEY) or {}
    location = entry.get("InstallLocation", "")
    if not check("the silent install ends with status 0 and lists Lumora among the installed programs",
                 status == 0 and location.lower() == (folders["Local AppData"] + "\\Programs\\Lumora").lower()
                 and (entry.get("DisplayName"), entry.get("DisplayVersion"), entry.get("Publisher"))
                 == ("Lumora", "1.4", "Lumora developers")
                 and entry.get("DisplayIcon") == location + "\\lumora-win.exe,0", (status, entry)):
        return
    folder = run.unix_path(location)
    check("the Start menu has the shortcut", os.path.exists(links[0]))

    shutil.copy(run.stand_in("capture_device"), run.system_library)
    program = run.start(folder, overrides="avicap32=n")
    if not check("the installed copy starts with the settings dialog", run.wait_window("gadgetUsernameEntry", 60)):
        program.kill()
        return
    port = free_port()
    run.driver("set", TITLE, G["gadgetUsernameEntry"], "cam")
    run.driver("set", TITLE, G["gadgetPasswordEntry"], "geheim")
    run.driver("set", TITLE, G["gadgetPortSpin"], port)
    run.driver("click", TITLE, G["gadgetAutostartCheckBox"])
    run.driver("click", TITLE, G["gadgetOkButton"])
    check("confirming opens the main window", run.wait_window("gadgetStartStop", 30))
    check("the save lands in %APPDATA%\\Lumora, none beside the installed program",
          os.path.exists(settings) and "port = %d" % port in settings_lines(open(settings, "rb").read())
          and not os.path.exists(os.path.join(folder, "settings.ini")), os.listdir(folder))
    check("Start with windows made the Startup shortcut", os.path.exists(links[1]))
    run.driver("click", TITLE, G["gadgetStartStop"])
    login_page = wait_for(lambda: http_get(port, ""), 10)
    check("the installed copy serves the login page",
          login_page is not None and b"<title>Lumora - Login</title>" in login_page, login_page)
    check("closing the installed copy ends with status 0", run.close(program) == 0)

    uninstaller = entry.get("QuietUninstallString", "").split('"')
    status = run.wine(uninstaller[1], *uninstaller[2].split())[0] if len(uninstaller) == 3 else None
    # The uninstaller goes on from a copy of itself in the temporary folder, after this one ended.
    left = lambda: [p for p in [folder] + links if os.path.exists(p)] or run.registry(UNINSTALL_KEY)
    wait_for(lambda: not left(), 30)
    check("the silent uninstall leaves no program file, shortcut or entry", status == 0 and not left(),
          (status, left()))
    check("the settings stay", os.path.exists(settings))
    shutil.rmtree(os.path.dirname(settings), ignore_errors=True)


SCENARIOS = {scenario.__name__: scenario for scenario in (
    first_start_and_serving, planted_library_and_quick_frames, stuck_driver, frames_of_a_format_not_read,
    device_cannot_connect, device_index_without_driver, german_system, english_setting_on_german_system,
    missing_capture_library, missing_capture_function, installed_copy)}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--locale", required=True)
    parser.add_argument("--screenshots", required=True)
    parser.add_argument("--scenario", required=True, choices=SCENARIOS)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="lumora-blackbox-") as args.work:
        run = Run(args)
        try:
            SCENARIOS[args.scenario](run)
        except Exception as error:  # reported as the scenario's failure, after its programs are ended
            check(args.scenario, False, "%s: %s" % (type(error).__name__, error))
        finally:
            run.end_programs()
    print("DONE", flush=True)
    return 0 if results and all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
