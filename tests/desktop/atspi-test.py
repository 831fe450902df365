#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# What a screen reader finds, read over AT-SPI as Orca reads it: the built program on Xvfb in a
# private D-Bus session (a11y-session.sh), its tree read with pyatspi. The two pictures are
# images with their names and descriptions, the one at the centre of the view is the view, and a
# selection made with the keys and a zoom through the button's action change the descriptions
# with their events.
# Usage (under xvfb-run and a11y-session.sh): atspi-test.py KELMO_BINARY
import os
import struct
import subprocess
import sys
import tempfile
import time

try:
    import pyatspi
    from gi.repository import GLib
except ImportError:
    print("SKIPPED: python3-pyatspi is missing")
    sys.exit(0)

passed = failed = 0


def check(name, actual, expected):
    global passed, failed
    if actual == expected:
        passed += 1
    else:
        failed += 1
        print(f"FAILED {name}: got {actual!r}, expected {expected!r}")


def write_bitmap(path, width, height):
    """A 24-bit bitmap, red on the left half and blue on the right."""
    row = (b"\x00\x00\xff" * (width // 2) + b"\xff\x00\x00" * (width - width // 2))
    row += b"\x00" * (-len(row) % 4)
    pixels = row * height
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def wait_for(what, limit=15):
    until = time.monotonic() + limit
    while time.monotonic() < until:
        GLib.MainContext.default().iteration(False)
        found = what()
        if found:
            return found
        time.sleep(0.05)
    return None


def find_all(root, role):
    found = []
    def walk(node):
        if node is None:
            return
        if node.getRole() == role:
            found.append(node)
        for child in node:
            walk(child)
    walk(root)
    return found


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "Kelmo" and len(find_all(app, pyatspi.ROLE_IMAGE)) == 2:
            return app
    return None


work = tempfile.mkdtemp()
picture = os.path.join(work, "prueba.bmp")
write_bitmap(picture, 64, 48)
kelmo = subprocess.Popen([sys.argv[1], picture])
try:
    app = wait_for(application)
    if app is None:
        print("FAILED the window never showed in the accessibility tree")
        sys.exit(1)
    copy, view = find_all(app, pyatspi.ROLE_IMAGE)
    check("the view's name", view.name, "Imagen: prueba.bmp")
    check("the view's description", view.description, "64 × 48 píxeles. Se ve entera, al 100 %.")
    check("the copy's name", copy.name, "Vista panorámica")
    check("the copy's description", copy.description, "La imagen entera, reducida.")

    # Asking for the object at the centre of the view finds the view.
    box = view.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    check("the view's size on screen", (box.width, box.height), (64, 48))
    surface = view.parent
    at = surface.queryComponent().getAccessibleAtPoint(box.x + box.width // 2,
                                                      box.y + box.height // 2,
                                                      pyatspi.DESKTOP_COORDS)
    check("the object at the view's centre", at.name if at else None, view.name)

    told = []
    pyatspi.Registry.registerEventListener(
        lambda event: told.append(event.source.name),
        "object:property-change:accessible-description")

    # Ctrl+A from the keyboard, the focus on the first button.
    window = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(kelmo.pid)],
                            capture_output=True, text=True).stdout.split()
    subprocess.run(["xdotool", "windowfocus", "--sync", window[0]], check=False)
    subprocess.run(["xdotool", "key", "--clearmodifiers", "ctrl+a"], check=False)
    selected = "64 × 48 píxeles. Se ve entera, al 100 %. Selección: 64 × 48 desde 0, 0."
    check("the view's description with a selection",
          wait_for(lambda: view.description == selected and view.description, 5), selected)
    check("its event", wait_for(lambda: view.name in told, 5), True)

    # The zoom button pressed through its action.
    told.clear()
    zoom = [b for b in find_all(app, pyatspi.ROLE_PUSH_BUTTON)
            if b.name == "Ejectúa un zoom del área seleccionada"][0]
    actions = zoom.queryAction()
    actions.doAction(next(i for i in range(actions.nActions) if actions.getName(i) == "Press"))
    zoomed = "64 × 48 píxeles. Se ve la zona de 64 × 48 desde 0, 0, al 100 %."
    check("the view's description after a zoom",
          wait_for(lambda: view.description == zoomed and view.description, 5), zoomed)
    check("the copy's description after a zoom", copy.description,
          "El recuadro de enfoque marca la zona de 64 × 48 desde 0, 0.")
    check("their events", wait_for(lambda: view.name in told and copy.name in told, 5), True)
finally:
    kelmo.kill()
    kelmo.wait()

print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed else 0)
