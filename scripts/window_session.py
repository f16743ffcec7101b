"""A private X desktop for the window scripts (screenshot, benchmark).

Xvfb writes its frame buffer to a file (what the screen really shows, shaped
windows included); a D-Bus session keeps the accessibility bus private. Used by
scripts/screenshot-window and scripts/bench-window with /usr/bin/python3.
"""
import os
import shutil
import signal
import struct
import subprocess
import tempfile
import time

READY_COLOUR = (186, 157, 224)


class Desktop:
    def __init__(self, width=1280, height=1024):
        self.dir = tempfile.mkdtemp(prefix="quon-desktop-")
        self.xvfb = None
        # A display number of our own, free of a lock file, proven by a client.
        # -noreset: otherwise the server resets whenever its last client leaves
        # and turns new clients away meanwhile.
        for attempt in range(20):
            number = 300 + (os.getpid() * 7 + attempt * 13) % 600
            if os.path.exists("/tmp/.X%d-lock" % number):
                continue
            self.display = ":%d" % number
            proc = subprocess.Popen(["Xvfb", self.display, "-noreset", "-nolisten", "tcp", "-screen", "0",
                                     "%dx%dx24" % (width, height), "-fbdir", self.dir],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, close_fds=True)

            def answering():
                return proc.poll() is None and subprocess.run(
                    ["xdotool", "getdisplaygeometry"], env=dict(os.environ, DISPLAY=self.display),
                    capture_output=True).returncode == 0

            if wait_for(answering, 10, 0.02):
                self.xvfb = proc
                break
            proc.kill()
            proc.wait()
        if not self.xvfb:
            raise RuntimeError("Xvfb did not start")
        self.dbus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address"],
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.bus = self.dbus.stdout.readline().strip()

    def env(self):
        env = dict(os.environ)
        env.update(DISPLAY=self.display, DBUS_SESSION_BUS_ADDRESS=self.bus)
        env.pop("WAYLAND_DISPLAY", None)
        return env

    def close(self):
        for proc in (self.dbus, self.xvfb):
            proc.send_signal(signal.SIGTERM)
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()
        shutil.rmtree(self.dir, ignore_errors=True)

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env(), capture_output=True, text=True).stdout

    def window(self, class_name="QuonLauncher"):
        """(x, y, width, height) of the visible window of that class, or None."""
        for wid in self.xdotool("search", "--onlyvisible", "--classname", class_name).split():
            values = dict(line.split("=", 1) for line in
                          self.xdotool("getwindowgeometry", "--shell", wid).split() if "=" in line)
            if int(values.get("WIDTH", 0)) > 100:
                return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
        return None

    def screen(self):
        return Screen(os.path.join(self.dir, "Xvfb_screen0"))


class Screen:
    """The XWD frame buffer file: 32 bits a pixel."""

    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        header = struct.unpack(">25I", data[:100])
        self.width, self.height = header[4], header[5]
        self.little = header[7] == 0
        self.stride = header[12]
        self.offset = header[0] + header[19] * 12
        self.data = data

    def pixel(self, x, y):
        p = self.offset + y * self.stride + x * 4
        b = self.data[p:p + 4]
        return (b[2], b[1], b[0]) if self.little else (b[1], b[2], b[3])

    def count(self, left, top, right, bottom, colour):
        return sum(1 for y in range(top, bottom) for x in range(left, right) if self.pixel(x, y) == colour)


def bmp_pixel(path, x, y):
    """A pixel of a bottom-up 24-bit BMP."""
    with open(path, "rb") as f:
        data = f.read()
    offset, = struct.unpack("<I", data[10:14])
    width, height = struct.unpack("<ii", data[18:26])
    row = (width * 3 + 3) & ~3
    p = offset + (height - 1 - y) * row + x * 3
    return (data[p + 2], data[p + 1], data[p])


def wait_for(predicate, timeout, step=0.005):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return None


def is_ready(desktop, place):
    x, y = place[0], place[1]
    return desktop.screen().count(x + 28, y + 482, x + 300, y + 496, READY_COLOUR) > 20


def stage(root, build, work, files=40, up_to_date=False):
    """A sample game published on a local server with the notice page, and an
    install with the launcher. Returns (install folder, server process, port)."""
    import socket
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    subprocess.run(["python3", os.path.join(root, "scripts/make-sample-build.py"), os.path.join(work, "builds"),
                    str(files)], check=True, stdout=subprocess.DEVNULL)
    v2 = os.path.join(work, "builds/v2")
    shutil.copy(os.path.join(build, "tools-bin/Vevida2.0.exe"), os.path.join(v2, "Vevida2.0.exe"))
    server_dir = os.path.join(work, "server")
    subprocess.run([os.path.join(build, "bin/quon-publish"), v2, os.path.join(server_dir, "patch")], check=True,
                   stdout=subprocess.DEVNULL)
    shutil.copytree(os.path.join(root, "assets/notice"), os.path.join(server_dir, "en/launcher"))
    install = os.path.join(work, "install")
    shutil.copytree(v2 if up_to_date else os.path.join(work, "builds/v1"), install)
    shutil.copy(os.path.join(build, "bin/QuonLauncher.exe"), install)
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    server = subprocess.Popen(["python3", "-m", "http.server", str(port), "--bind", "127.0.0.1", "--directory",
                               server_dir], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for(lambda: socket.socket().connect_ex(("127.0.0.1", port)) == 0, 5, 0.05)
    return install, server, port


def launcher_env(desktop, work, port):
    env = desktop.env()
    env.update(QUON_PATCH_HOST="127.0.0.1:%d" % port, QUON_WEB_HOST="127.0.0.1:%d" % port,
               QUON_RUNTIME_DIR=os.path.join(work, "runtime"), QUON_LAUNCHER_UI="gtk")
    os.makedirs(env["QUON_RUNTIME_DIR"], exist_ok=True)
    return env
