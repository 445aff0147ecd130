#!/usr/bin/python3
"""The real window as a screen reader sees it.

Starts Tessaron on the virtual sound card under a virtual X display of its own, with a
private D-Bus session bus and the accessibility bus of at-spi2-core, and drives it only
through AT-SPI, as assistive technology would:

- every control of the main window has a role and a name, and the clip counters read as
  their name and their count;
- the level meters' values and texts move while the input is monitored;
- the time displays' texts follow the clock;
- a recording is made by the client alone (file name typed into the save dialog, start,
  stop), and the file it leaves is a WAV file of the length the window showed;
- started under LANG and LC_ALL of the C, English and German locales, the window and its
  save dialog speak the locale's language. The program takes the language from those
  variables themselves, so the locales need not be installed on the machine.

Usage: window_atspi_test.py PROGRAM. Exits 77 (skipped) when the AT-SPI packages are
missing, 0 when every check holds, 1 otherwise.
"""

import importlib.util
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import wave

SKIPPED = 77
# Generous: the machine may be busy with builds and other tests.
START_TIMEOUT = 90
TIMEOUT = 60

# Names that the window gives its controls (in the C locale).
BUTTONS = ["Select filename", "Monitor input", "Start recording", "Stop recording"]
METERS = ["Left level", "Right level"]
DISPLAYS = ["Elapsed time", "Length", "Start time"]
# The single level slider, "Record level", is shown in the "Level/Balance" mode only.
CLIPS = ["Left clips", "Right clips"]
OTHER_NAMES = CLIPS + [
    "Recording lamp", "Length minutes", "Length seconds", "Start hour",
    "Start minute", "Trigger level", "Record level left", "Record level right", "Balance",
]
# Hints (descriptions) of the same controls, which tell them apart from captions of the
# same name ("Length").
HINTS = {
    "Select filename": "Select filename", "Monitor input": "Monitor input",
    "Start recording": "Start recording - select filename first", "Stop recording": "Stop recording",
    "Left level": "Left meter", "Right level": "Right meter", "Elapsed time": "Elapsed recording time",
    "Length": "Left length of recording time", "Start time": "Start time",
}


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


# Takes the events that have come in (set once a client listens for any).
pump = None


def wait_for(what, probe, timeout=TIMEOUT, interval=0.1):
    """Polls `probe` until it returns something true; returns that, or fails after `timeout`."""
    deadline = time.monotonic() + timeout
    while True:
        if pump:
            pump()
        result = probe()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(interval)


def find_tool(*candidates):
    for c in candidates:
        path = shutil.which(c) if not os.path.isabs(c) else (c if os.access(c, os.X_OK) else None)
        if path:
            return path
    return None


class Desktop:
    """Xvfb, a session bus and the accessibility bus, private to this test."""

    def __init__(self, tmp):
        self.tmp = tmp
        self.groups = []  # process ids of the groups this test started, ended in reverse order
        self.env = dict(os.environ)

    def spawn(self, args, **kwargs):
        p = subprocess.Popen(args, env=self.env, start_new_session=True, **kwargs)
        self.groups.append(p)
        return p

    def start(self, xvfb, dbus_daemon, launcher):
        runtime = os.path.join(self.tmp, "runtime")
        os.mkdir(runtime, 0o700)
        self.env.update({"XDG_RUNTIME_DIR": runtime, "GSETTINGS_BACKEND": "memory", "NO_AT_BRIDGE": "0"})
        for v in ("AT_SPI_BUS_ADDRESS", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
            self.env.pop(v, None)

        # The X server names its display once it is ready.
        read, write = os.pipe()
        self.spawn([xvfb, "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                   pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as f:
            display = f.readline().strip()
        check(display.isdigit(), "Xvfb did not start")
        self.env["DISPLAY"] = ":" + display

        bus = self.spawn([dbus_daemon, "--session", "--nofork", "--print-address=1"],
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        address = bus.stdout.readline().strip()
        check(address, "the session bus did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address

        self.spawn([launcher, "--launch-immediately"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for("the accessibility bus", lambda: self.a11y_bus_address(), START_TIMEOUT, 0.2)
        os.environ.update({k: self.env[k] for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR")})

    def a11y_bus_address(self):
        from gi.repository import Gio, GLib
        try:
            flags = Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION
            conn = Gio.DBusConnection.new_for_address_sync(self.env["DBUS_SESSION_BUS_ADDRESS"], flags, None, None)
            reply = conn.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
                                   GLib.VariantType("(s)"), Gio.DBusCallFlags.NONE, 5000, None)
            conn.close_sync(None)
            return reply.unpack()[0]
        except GLib.Error:
            return None

    def stop(self):
        for p in reversed(self.groups):
            if p.poll() is None:
                try:
                    os.killpg(p.pid, signal.SIGTERM)
                    p.wait(timeout=20)
                except (ProcessLookupError, subprocess.TimeoutExpired):
                    try:
                        os.killpg(p.pid, signal.SIGKILL)
                    except ProcessLookupError:
                        pass
            if p.stdout:
                p.stdout.close()


class Window:
    """The running program seen through AT-SPI."""

    def __init__(self, pyatspi, app):
        self.pyatspi = pyatspi
        self.app = app

    def refresh(self):
        # The client keeps names, states and children; the program tells it of changes
        # through events this test does not listen to, so it forgets them instead.
        self.app.clear_cache()

    def nodes(self, root=None):
        """Every showing node under `root` (default: the main window), lists not opened."""
        P = self.pyatspi
        root = root or self.main()
        out, stack = [], [root]
        while stack:
            node = stack.pop()
            try:
                state, role = node.getState(), node.getRole()
            except Exception:
                continue  # gone while walking
            if node is not root and not state.contains(P.STATE_SHOWING):
                continue
            out.append(node)
            if role in (P.ROLE_LIST, P.ROLE_TABLE, P.ROLE_TREE_TABLE, P.ROLE_TREE, P.ROLE_MENU_BAR):
                continue
            stack.extend(node[i] for i in reversed(range(node.childCount)) if node[i] is not None)
        return out

    def windows(self):
        self.refresh()
        out = []
        for i in range(self.app.childCount):
            try:
                window = self.app[i]
            except IndexError:
                break  # a window closed meanwhile
            if window is not None:
                out.append(window)
        return out

    def main(self):
        for w in self.windows():
            if w.name == "Tessaron":
                return w
        raise Failure("the main window \"Tessaron\" is not in the tree")

    def find(self, name, root=None):
        """The control named `name` (with its hint, when HINTS gives one)."""
        hint = HINTS.get(name)
        for n in self.nodes(root):
            if n.name == name and (hint is None or n.description == hint):
                return n
        raise Failure("no control named \"%s\"" % name)

    def record_events(self, *kinds):
        """A list that collects (time, kind, source's description, data) of the program's events."""
        global pump
        from gi.repository import GLib
        events = []

        def take(event):
            try:
                if event.host_application.get_process_id() == self.app.get_process_id():
                    events.append((time.monotonic(), event.type, event.source.description, event.any_data))
            except Exception:
                pass

        for kind in kinds:
            self.pyatspi.Registry.registerEventListener(take, kind)
        context = GLib.MainContext.default()
        pump = lambda: [None for _ in iter(lambda: context.iteration(False), False)]
        return events

    def press(self, node):
        action = node.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        for wanted in ("Press", "press", "click", "Toggle", "toggle", "ShowMenu"):
            if wanted in names:
                action.doAction(names.index(wanted))
                return
        raise Failure("\"%s\" has no press action (has %s)" % (node.name, names))


def text_of(node):
    try:
        t = node.queryText()
    except NotImplementedError:
        raise Failure("\"%s\" (%s) has no text" % (node.name, role_name(node)))
    return t.getText(0, t.characterCount)


def role_name(node):
    try:
        return node.getRoleName()
    except Exception:
        return "?"


def check_roles_and_names(win):
    """Every control has a role and a name; the clip counters read as name and count."""
    P = win.pyatspi
    controls = {P.ROLE_PUSH_BUTTON, P.ROLE_TOGGLE_BUTTON, P.ROLE_CHECK_BOX, P.ROLE_RADIO_BUTTON,
                P.ROLE_COMBO_BOX, P.ROLE_SLIDER, P.ROLE_SPIN_BUTTON, P.ROLE_PROGRESS_BAR, P.ROLE_LABEL,
                P.ROLE_TEXT, P.ROLE_STATUS_BAR}
    nodes = win.nodes()
    names = {n.name for n in nodes}
    unknown = [n for n in nodes if n.getRole() in (P.ROLE_UNKNOWN, P.ROLE_INVALID)]
    check(not unknown, "controls without a role: %s" % [(n.name, n.description) for n in unknown])

    unnamed = []
    for n in nodes:
        if n.getRole() in controls and not n.name:
            x, y = n.queryComponent().getPosition(P.DESKTOP_COORDS)
            unnamed.append("%s at %d,%d (hint \"%s\")" % (role_name(n), x, y, n.description))
    expected = BUTTONS + METERS + DISPLAYS + OTHER_NAMES
    missing = [name for name in expected if name not in names]
    check(not missing, "names missing: %s" % missing)
    check(not unnamed, "controls without a name: %s" % unnamed)
    for name in BUTTONS:
        check(win.find(name).getRole() in (P.ROLE_PUSH_BUTTON, P.ROLE_TOGGLE_BUTTON),
              "%s is a %s" % (name, role_name(win.find(name))))
    for name in CLIPS:
        counter = win.find(name)
        check(counter.getRole() == P.ROLE_LABEL, "%s is a %s" % (name, role_name(counter)))
        check(re.fullmatch(re.escape(name) + r" \d+", text_of(counter)), "%s reads \"%s\"" % (name, text_of(counter)))

    for name in METERS:
        meter = win.find(name)
        check(meter.getRole() == P.ROLE_PROGRESS_BAR, "%s is a %s" % (name, role_name(meter)))
        value = meter.queryValue()
        check((value.minimumValue, value.maximumValue) == (0, 16), "%s's scale is %s..%s" %
              (name, value.minimumValue, value.maximumValue))
    for name in DISPLAYS:
        display = win.find(name)
        check(display.getRole() == P.ROLE_LABEL, "%s is a %s" % (name, role_name(display)))
        check(re.fullmatch(r"\d\d:\d\d", text_of(display)), "%s reads \"%s\"" % (name, text_of(display)))


def meter_reading(meter):
    """The meter's value and its text, read together (the text names the value's percentage)."""
    for _ in range(20):
        value = meter.queryValue().currentValue
        text = text_of(meter)
        if meter.queryValue().currentValue == value:
            return value, text
    raise Failure("the meter never held still")


def check_monitoring(win):
    """The meters move while the input is monitored, and their texts tell the level."""
    P = win.pyatspi
    monitor = win.find("Monitor input")
    meters = [win.find(name) for name in METERS]
    elapsed = win.find("Elapsed time")
    start_text = text_of(elapsed)
    events = win.record_events("object:property-change:accessible-value", "object:text-changed")
    began = time.monotonic()
    win.press(monitor)
    try:
        seen = {name: set() for name in METERS}

        def moved():
            for name, meter in zip(METERS, meters):
                value, text = meter_reading(meter)
                percent = (int(value) * 100 + 8) // 16
                check(text == "%s %d %%" % (name, percent), "%s reads \"%s\" at value %s" % (name, text, value))
                seen[name].add(value)
            return all(len(values) >= 3 and max(values) > 0 for values in seen.values())

        wait_for("the meters to move while monitoring", moved, TIMEOUT, 0.05)
        # The run's clock counts on the elapsed time display.
        wait_for("the elapsed time to change while monitoring", lambda: text_of(elapsed) != start_text)
        win.refresh()
        check(monitor.getState().contains(P.STATE_CHECKED), "\"Monitor input\" is not checked while monitoring")
    finally:
        win.press(monitor)
    wait_for("the meters to fall to 0 after monitoring",
             lambda: all(meter_reading(m)[0] == 0 for m in meters), TIMEOUT)
    wait_for("\"Monitor input\" to be unchecked after monitoring",
             lambda: win.refresh() or not monitor.getState().contains(P.STATE_CHECKED))
    ended = time.monotonic()

    # The changes reach a listener, but no more than four a second from each meter (it is
    # redrawn forty times a second); the display tells its new text.
    for hint in ("Left meter", "Right meter"):
        count = sum(1 for e in events if e[2] == hint and e[1] == "object:property-change:accessible-value")
        check(count >= 1, "no value change event from the %s" % hint)
        check(count <= (ended - began) / 0.25 + 2, "%d value change events from the %s in %.1f s" %
              (count, hint, ended - began))
    # The display's last text is told too, however soon it followed the one before.
    wait_for("the elapsed time display to tell the text it shows", lambda: [
        e[3] for e in events if e[2] == "Elapsed recording time" and e[1] == "object:text-changed:insert"][-1:] == [
        text_of(elapsed)])


def set_file_name(win, dialog, path):
    """Types `path` into the save dialog's file name field and presses its save button."""
    P = win.pyatspi
    fields = [n for n in win.nodes(dialog) if n.getRole() == P.ROLE_TEXT and
              n.getState().contains(P.STATE_EDITABLE)]
    check(fields, "the save dialog has no editable text field")
    # The file name field is the one labelled so; the dialog may have others.
    field = next((f for f in fields if "name" in f.name.lower()), fields[-1])
    field.queryEditableText().setTextContents(path)
    wait_for("the file name in the dialog", lambda: text_of(field) == path, 10)
    win.press(dialog_button(win, dialog, ["Save"]))


def check_recording(win, tmp):
    """A recording made through AT-SPI alone leaves a WAV file of the length the window showed."""
    P = win.pyatspi
    path = os.path.join(tmp, "atspi recording.wav")
    set_file_name(win, open_save_dialog(win, "Select filename"), path)
    wait_closed(win)

    start = win.find("Start recording")
    wait_for("\"Start recording\" to be enabled", lambda: win.refresh() or start.getState().contains(P.STATE_ENABLED))
    elapsed = win.find("Elapsed time")
    # The display holds the last run's time until the new run's first second is counted.
    before = text_of(elapsed)
    win.press(start)
    began = time.monotonic()
    # The status line names the file being written.
    status = next((n for n in win.nodes() if n.getRole() == P.ROLE_STATUS_BAR), None)
    check(status is not None, "the window has no status line")
    wait_for("the status line to name the file", lambda: win.refresh() or any(
        "atspi recording.wav" in n.name for n in win.nodes(status) if n.getRole() == P.ROLE_LABEL))
    counting = []

    def three_seconds():
        text = text_of(elapsed)
        if text != before:
            counting.append(text)  # the new run's count has reached the display
        return counting and text >= "00:03"

    wait_for("three seconds on the elapsed time display", three_seconds)
    win.press(win.find("Stop recording"))
    wait_for("\"Stop recording\" to be disabled", lambda: win.refresh() or not win.find(
        "Stop recording").getState().contains(P.STATE_ENABLED))
    ran = time.monotonic() - began
    shown = text_of(elapsed)
    seconds = int(shown[:2]) * 60 + int(shown[3:])
    wait_for("the run's summary on the status line", lambda: win.refresh() or any(
        n.name.startswith("Recording stopped") for n in win.nodes(status) if n.getRole() == P.ROLE_LABEL))

    check(os.path.exists(path), "no file was written at " + path)
    with wave.open(path, "rb") as w:
        frames, rate = w.getnframes(), w.getframerate()
        check(w.getnchannels() == 2 and w.getsampwidth() == 2 and rate == 44100,
              "unexpected format: %d channels, %d bytes, %d Hz" % (w.getnchannels(), w.getsampwidth(), rate))
        check(len(w.readframes(frames)) == frames * 4, "the file holds fewer frames than its header says")
    duration = frames / rate
    print("Recorded %.2f s; the window showed %s; %.2f s passed between start and stop" % (duration, shown, ran))
    # The display counts whole seconds of delivered blocks; blocks still on their way to it
    # when the run stopped are in the file too.
    check(seconds >= 3, "the elapsed time display shows " + shown)
    check(seconds - 0.05 <= duration <= seconds + 1.5, "the file lasts %.2f s, the window showed %s" %
          (duration, shown))
    check(duration <= ran + 0.5, "the file lasts %.2f s, longer than the %.2f s the run took" % (duration, ran))


# What the window and its save dialog show in each locale: the texts as written in C,
# English and German translations by LANG and LC_ALL.
LANGUAGES = [
    ("C", {"buttons": ["Select filename", "Start recording"], "meter": "Left level 0 %",
           "dialog": "Dateinahme für Aufnahme", "save": "Save", "cancel": "Cancel"}),
    ("en_US.UTF-8", {"buttons": ["Select filename", "Start recording"], "meter": "Left level 0 %",
                     "dialog": "File name for recording", "save": "Save", "cancel": "Cancel"}),
    ("de_DE.UTF-8", {"buttons": ["Dateinamen wählen", "Aufnahme starten"], "meter": "Linker Pegel 0 %",
                     "dialog": "Dateiname für Aufnahme", "save": "Speichern", "cancel": "Abbrechen"}),
]


class Program:
    """The program running on the virtual sound card under `desktop`, in `locale`."""

    def __init__(self, pyatspi, desktop, program, tmp, locale):
        self.pyatspi = pyatspi
        self.log_path = os.path.join(tmp, "program-%s.log" % locale)
        env = dict(desktop.env)
        config = os.path.join(tmp, "config-" + locale)
        os.mkdir(config)
        env.update({
            "QT_QPA_PLATFORM": "xcb", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "QT_ACCESSIBILITY": "1",
            "TESSARON_AUDIO": "virtual", "XDG_CONFIG_HOME": config, "TMPDIR": tmp, "LANG": locale,
            "LC_ALL": locale, "LANGUAGE": "",
        })
        env.pop("TESSARON_VIRTUAL_INPUT", None)
        with open(self.log_path, "w") as log:
            self.proc = subprocess.Popen([program], env=env, cwd=tmp, stdout=log, stderr=subprocess.STDOUT)

    def window(self):
        """The main window, once the program has shown it on the accessibility bus."""
        P = self.pyatspi

        def app():
            check(self.proc.poll() is None, "the program ended early (%s)" % self.proc.returncode)
            desktop_root = P.Registry.getDesktop(0)
            for i in range(desktop_root.childCount):
                a = desktop_root[i]
                try:
                    if a is not None and a.get_process_id() == self.proc.pid:
                        return a
                except Exception:
                    pass
            return None

        win = Window(P, wait_for("the program on the accessibility bus", app, START_TIMEOUT, 0.5))
        wait_for("the main window", lambda: any(w.name == "Tessaron" for w in win.windows()), START_TIMEOUT)
        return win

    def output(self):
        with open(self.log_path) as f:
            return f.read()

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


def open_save_dialog(win, button):
    """Presses `button` and returns the save dialog it opens."""
    P = win.pyatspi
    win.press(win.find(button))
    return wait_for("the save dialog", lambda: next(
        (w for w in win.windows() if w.name != "Tessaron" and w.getState().contains(P.STATE_SHOWING)), None))


def wait_closed(win):
    """Waits until the main window is the only one shown."""
    P = win.pyatspi
    wait_for("the save dialog to close", lambda: all(w.name == "Tessaron" or not w.getState().contains(
        P.STATE_SHOWING) for w in win.windows()))


def dialog_button(win, dialog, names):
    P = win.pyatspi
    buttons = [n for n in win.nodes(dialog) if n.getRole() == P.ROLE_PUSH_BUTTON and n.name.replace("&", "") in names]
    check(buttons, "the save dialog has no button named %s (has %s)" % (names, [
        n.name for n in win.nodes(dialog) if n.getRole() == P.ROLE_PUSH_BUTTON]))
    return buttons[0]


def check_language(win, texts):
    """Names and texts of the window and its save dialog in one language."""
    P = win.pyatspi
    for name in texts["buttons"]:
        win.find(name)
    meter = next((n for n in win.nodes() if n.getRole() == P.ROLE_PROGRESS_BAR and
                  n.name == texts["meter"].rsplit(" ", 2)[0]), None)
    check(meter is not None and text_of(meter) == texts["meter"],
          "the left level meter does not read \"%s\"" % texts["meter"])
    dialog = open_save_dialog(win, texts["buttons"][0])
    check(dialog.name == texts["dialog"], "the save dialog is titled \"%s\"" % dialog.name)
    dialog_button(win, dialog, [texts["save"]])
    win.press(dialog_button(win, dialog, [texts["cancel"]]))
    wait_closed(win)


def check_overview(win):
    """The take overview of the recording just made: opened from its menu item, its picture
    describes the take in words, and the End and Left keys move a cursor whose reading
    becomes the picture's name."""
    P = win.pyatspi
    bar = next((n for n in win.nodes() if n.getRole() == P.ROLE_MENU_BAR), None)
    check(bar is not None, "the window has no menu bar")
    entries = [bar[i] for i in range(bar.childCount) if bar[i] is not None]
    view = next((n for n in entries if n.name.replace("&", "") == "View"), None)
    check(view is not None, "no menu \"View\" (has %s)" % [n.name for n in entries])
    win.press(view)

    def item():
        for menu in [view] + [w for w in win.windows() if w.getState().contains(P.STATE_SHOWING)]:
            for n in win.nodes(menu):
                if n.name.replace("&", "") == "Take overview" and n.getRole() == P.ROLE_MENU_ITEM:
                    return n
        return None

    win.press(wait_for("the menu item \"Take overview\"", item))
    overview = wait_for("the take overview window", lambda: next(
        (w for w in win.windows() if w.name == "Take overview" and w.getState().contains(P.STATE_SHOWING)), None))
    picture = wait_for("the take picture", lambda: next(
        (n for n in win.nodes(overview) if n.name == "Take picture"), None))
    wait_for("the take's facts in the picture's description", lambda: "Loudest" in picture.description)
    check("Files: atspi recording.wav." in picture.description,
          "the description does not name the file: %s" % picture.description)
    picture.queryComponent().grabFocus()
    wait_for("the picture to take the focus", lambda: picture.getState().contains(P.STATE_FOCUSED))
    P.Registry.generateKeyboardEvent(0xff57, None, P.KEY_SYM)  # End
    wait_for("the cursor's reading at the end", lambda: picture.name.startswith("00:00:0"))
    at_end = picture.name
    P.Registry.generateKeyboardEvent(0xff50, None, P.KEY_SYM)  # Home
    wait_for("the cursor's reading at the start", lambda: picture.name.startswith("00:00:00 ("))
    check(picture.name != at_end and "; Start of atspi recording.wav" in picture.name,
          "the cursor at the start reads \"%s\"" % picture.name)
    print("The take overview reads \"%s\" at the end of the take" % at_end)


def run(program, tmp, tools):
    desktop = Desktop(tmp)
    running = None
    try:
        desktop.start(*tools)
        import pyatspi  # only now: it connects to the accessibility bus of this desktop

        running = Program(pyatspi, desktop, program, tmp, "C.UTF-8")
        win = running.window()
        check_roles_and_names(win)
        check_monitoring(win)
        check_recording(win, tmp)
        check_overview(win)
        running.stop()

        for locale, texts in LANGUAGES:
            running = Program(pyatspi, desktop, program, tmp, locale)
            check_language(running.window(), texts)
            running.stop()
            print("Under LANG=LC_ALL=%s the window and the save dialog read as expected" % locale)
        return 0
    except Failure as e:
        print("FAILED: %s" % e)
        if running is not None:
            print("Program output:\n" + running.output())
        return 1
    finally:
        if running is not None:
            running.stop()
        desktop.stop()


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    program = os.path.abspath(sys.argv[1])
    tools = (find_tool("Xvfb"), find_tool("dbus-daemon"),
             find_tool("/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher"))
    missing = [name for name, path in zip(("xvfb", "dbus-daemon", "at-spi2-core"), tools) if path is None]
    for module, package in (("gi", "python3-gi"), ("pyatspi", "python3-pyatspi")):
        if importlib.util.find_spec(module) is None:
            missing.append(package)
    if "python3-gi" not in missing:
        import gi
        try:
            gi.require_version("Atspi", "2.0")
        except ValueError:
            missing.append("gir1.2-atspi-2.0")
    if missing:
        print("SKIPPED: the AT-SPI test needs %s (scripts/setup installs them)" % ", ".join(missing))
        return SKIPPED
    with tempfile.TemporaryDirectory(prefix="tessaron-atspi-") as tmp:
        return run(program, tmp, tools)


if __name__ == "__main__":
    sys.exit(main())
