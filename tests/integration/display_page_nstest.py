#!/usr/bin/env python3
"""The browser page of a player's display, in headless Chromium: the service serves
/display/<UDN>, the page shows the simulated player's display and follows a change, and closing
the page ends its request to monitor the display.

Runs inside a private network namespace (the service finds the simulated player over UPnP), with
the programs of $VELK_BIN_DIR. Chromium is driven over its DevTools pipe (file descriptors 3 and
4), so nothing but the standard library is needed. $VELK_PAGE_SCREENSHOT names a PNG file to
write the page into. Exit 77: skipped (no Chromium)."""

import base64
import contextlib
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

WAIT_SECONDS = 30
PLAYER = "127.0.0.2"
BIN = os.environ.get("VELK_BIN_DIR", "build/bin")


def chromium_binary():
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    return None


def wait_for(what, condition, seconds=WAIT_SECONDS):
    """Asks until the condition gives something true, and gives it; fails naming what."""
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.1)


class Simulator:
    def __init__(self, folder):
        self.control = os.path.join(folder, "sim.sock")
        self.process = subprocess.Popen(
            [os.path.join(BIN, "velk-sim"), "--players", "1", "--display", "Large VFD",
             "--address", PLAYER, "--control", self.control],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for("the simulator", lambda: os.path.exists(self.control))

    def request(self, line):
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
            s.settimeout(WAIT_SECONDS)
            s.connect(self.control)
            s.sendall((line + "\n").encode())
            data = b""
            lines = []
            while not (data.endswith(b"\n") and lines and
                       (lines[-1] == "OK" or lines[-1].startswith("ERROR"))):
                chunk = s.recv(65536)
                if not chunk:
                    break
                data += chunk
                lines = data.decode().splitlines()
        if not lines or lines[-1] != "OK":
            raise AssertionError("the simulator answered %r to %r" % (lines, line))
        return lines[:-1]

    def frame(self):
        """The display's lit pixels as the page reports them: "WxH:" and a 0/1 per pixel."""
        _, width, height, hexdata = self.request("frame " + PLAYER)[0].split(" ")
        width, height = int(width), int(height)
        data = bytes.fromhex(hexdata)
        column = height // 8
        bits = []
        for y in range(height):
            for x in range(width):
                byte = data[x * column + y // 8]
                bits.append("1" if byte & (0x80 >> (y % 8)) else "0")
        return "%dx%d:%s" % (width, height, "".join(bits))

    def stop(self):
        self.process.terminate()
        self.process.wait(WAIT_SECONDS)


class Browser:
    """Headless Chromium on its DevTools pipe: one JSON message per NUL-terminated line."""

    def __init__(self, folder):
        commands_read, self.commands = os.pipe()
        self.replies, replies_write = os.pipe()

        def to_3_and_4():
            os.dup2(commands_read, 3)
            os.dup2(replies_write, 4)

        self.process = subprocess.Popen(
            [chromium_binary(), "--headless=new", "--remote-debugging-pipe", "--no-sandbox",
             "--disable-gpu", "--disable-dev-shm-usage", "--no-first-run",
             "--disable-background-networking", "--disable-component-update",
             "--user-data-dir=" + os.path.join(folder, "chromium"), "--window-size=1100,420",
             "about:blank"],
            # The descriptors to keep are those the child has after to_3_and_4.
            preexec_fn=to_3_and_4, pass_fds=(3, 4),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(commands_read)
        os.close(replies_write)
        self.buffer = b""
        self.next_id = 0
        targets = self.send("Target.getTargets")["targetInfos"]
        page = next(t for t in targets if t["type"] == "page")
        self.target = page["targetId"]
        self.session = self.send("Target.attachToTarget",
                                 {"targetId": self.target, "flatten": True})["sessionId"]

    def send(self, method, params=None, session=None):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.commands, json.dumps(message).encode() + b"\0")
        while True:
            while b"\0" not in self.buffer:
                chunk = os.read(self.replies, 1 << 20)
                if not chunk:
                    raise AssertionError("Chromium went away")
                self.buffer += chunk
            line, self.buffer = self.buffer.split(b"\0", 1)
            reply = json.loads(line)
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise AssertionError("%s: %s" % (method, reply["error"]))
                return reply["result"]

    def evaluate(self, expression):
        result = self.send("Runtime.evaluate", {"expression": expression, "returnByValue": True},
                           self.session)
        return result["result"].get("value")

    def stop(self):
        self.process.terminate()
        self.process.wait(WAIT_SECONDS)


# The canvas's pixels, lit where they are not the dark background.
PAGE_PIXELS = """(() => {
  const canvas = document.getElementById("display");
  if (!document.body.dataset.shown) return "";
  const data = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
  let bits = "";
  for (let i = 0; i < data.length; i += 4)
    bits += (data[i] | data[i + 1] | data[i + 2]) > 16 ? "1" : "0";
  return canvas.width + "x" + canvas.height + ":" + bits;
})()"""


def velkctl(*expressions):
    return subprocess.run([os.path.join(BIN, "velkctl"), *expressions], capture_output=True,
                          text=True, timeout=WAIT_SECONDS).stdout.strip()


@contextlib.contextmanager
def shown_page():
    """A simulated player found by the service, and its page in headless Chromium once the page
    shows the display: yields the simulator, the browser and the page's pixels."""
    folder = tempfile.mkdtemp(prefix="velk-page-")
    os.environ["VELK_REGISTRY_DIR"] = folder
    os.environ.pop("VELK_DISCOVERY", None)
    sim = Simulator(folder)
    velk = subprocess.Popen([os.path.join(BIN, "velk")], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    browser = None
    try:
        wait_for("the service to find the player", lambda: velkctl("VelkDevices.Count") == "1")
        udn = velkctl("VelkDevices.Item(0).UDN")
        browser = Browser(folder)
        browser.send("Page.navigate", {"url": "http://127.0.0.1:4445/display/" + udn},
                     browser.session)
        shown = wait_for("the page to show the display",
                         lambda: (lambda page: page if page and page == sim.frame() else None)(
                             browser.evaluate(PAGE_PIXELS)))
        yield sim, browser, shown
    finally:
        if browser:
            browser.stop()
        velk.terminate()
        velk.wait(WAIT_SECONDS)
        sim.stop()
        shutil.rmtree(folder, ignore_errors=True)


def main():
    if not chromium_binary():
        print("SKIPPED: Chromium is not installed (apt-get install chromium, or make test-browser)")
        return 77
    with shown_page() as (sim, browser, shown):
        print("the page shows the display (%s)" % shown.split(":")[0])
        sim.request("key %s CK_VOLUME_UP" % PLAYER)
        wait_for("the page to follow the change",
                 lambda: (lambda page: page != shown and page == sim.frame())(
                     browser.evaluate(PAGE_PIXELS)))
        print("the page follows a change")

        screenshot = os.environ.get("VELK_PAGE_SCREENSHOT")
        if screenshot:
            data = browser.send("Page.captureScreenshot", {"format": "png"}, browser.session)
            with open(screenshot, "wb") as out:
                out.write(base64.b64decode(data["data"]))

        assert velkctl("VelkDevices.Item(0).RCPSession.MonitorDisplay") == "TRUE"
        browser.send("Target.closeTarget", {"targetId": browser.target})
        wait_for("the closed page's monitoring to end",
                 lambda: velkctl("VelkDevices.Item(0).RCPSession.MonitorDisplay") == "FALSE")
        print("closing the page ends its monitoring")
        return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except AssertionError as error:
        print("FAILED:", error)
        sys.exit(1)
