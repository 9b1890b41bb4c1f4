#!/usr/bin/env python3
"""The ride's picture, checked against its trace in a real browser.

Plays each ride through play.sh with --svg, renders the picture in headless
Chromium, and reads the screenshot's pixels (with Pillow): in every
vehicle's lane, each stretch of time between two of the trace's colour
readings must show the colour the trace gives for it near both its ends and
in its middle, and the lane must be empty before the vehicle first appears.
Each colour the trace says the plugin put back on a vehicle left must have
its mark in that vehicle's lane, at its time, in the picture's elements
(class put-back, data-ms) and in the render's pixels (the mark's colour in
the row of the plugin's marks), and there must be no such mark elsewhere;
the picture's description must count each vehicle's switches and put-backs.
A picture that drew the wrong colour or mark, in the wrong lane or at the
wrong time fails. The picture itself says where its time axis, its lanes and
its marks' rows lie (data- attributes), not this check.

Usage: check_picture.py PLAY WORK RIDE...   (the environment names the build,
as for play.sh). A ride named default.ride must also show the default ride's
story: vehicle 1 dark and lit again, its blinking, vehicle 2 dark.
"""
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

from PIL import Image

MAX_SVG_BYTES = 64 * 1024  # tens of kilobytes at most, whatever the ride
MIN_STRETCH_PX = 8  # narrower stretches are not sampled
EDGE_PX = 3  # a stretch is sampled this far inside each end, and in its middle
TOLERANCE = 2  # per channel
BACKGROUND = (255, 255, 255)
PUT_BACK_FILL = (217, 72, 15)  # the put-back marks' colour, as the legend shows it
PUT_BACK_ROW_PX = 2  # sampled this far below the top of the marks' row, where a mark is widest
SVG = "{http://www.w3.org/2000/svg}"
COLUMNS = re.compile(r"((?:  vehicle \d +\d{1,3}, *\d{1,3}, *\d{1,3})+)$")
COLUMN = re.compile(r"vehicle (\d) +(\d{1,3}), *(\d{1,3}), *(\d{1,3})")
TRACE_LINE = re.compile(r"^ *(\d+\.\d{3}) s  (\S+) ")
PLUGIN_SET = re.compile(r"^ *(\d+\.\d{3}) s  plugin  (switches|puts) vehicle (\d)\b")


def play(play_sh, ride, svg):
    done = subprocess.run([play_sh, "--svg", svg, ride], capture_output=True, text=True,
                          timeout=60, check=False)
    if done.returncode != 0:
        raise AssertionError(f"play.sh failed ({done.returncode}): {done.stderr.strip()}")
    return done.stdout


def colour_readings(trace):
    """Each vehicle's colours as the trace gives them: {vehicle: [(ms, rgb)]},
    the last reading kept where several share a millisecond."""
    readings = {}
    for line in trace.splitlines():
        when, columns = TRACE_LINE.match(line), COLUMNS.search(line)
        if not when or not columns:
            continue
        ms = round(float(when.group(1)) * 1000)
        for vehicle, red, green, blue in COLUMN.findall(columns.group(1)):
            series = readings.setdefault(int(vehicle), [])
            if series and series[-1][0] == ms:
                series.pop()
            series.append((ms, (int(red), int(green), int(blue))))
    return readings


def plugin_sets(trace):
    """What the trace says the plugin set: {vehicle: {"switches": n, "puts": [ms]}}."""
    sets = {}
    for line in trace.splitlines():
        found = PLUGIN_SET.match(line)
        if found:
            ms, what, vehicle = round(float(found.group(1)) * 1000), found.group(2), int(found.group(3))
            vehicle_sets = sets.setdefault(vehicle, {"switches": 0, "puts": []})
            if what == "puts":
                vehicle_sets["puts"].append(ms)
            else:
                vehicle_sets["switches"] += 1
    return sets


def counted(count, one, many):
    return f"{count} {one if count == 1 else many}"


def put_back_marks(root, lanes, sets, description):
    """The marks' elements: in each lane, one at each put-back's time, and
    none outside the lanes; the description counts them."""
    failures = []
    in_lanes = 0
    for vehicle, lane in lanes.items():
        drawn = sorted(int(mark.get("data-ms")) for mark in lane.iter(SVG + "path")
                       if mark.get("class") == "put-back")
        in_lanes += len(drawn)
        vehicle_sets = sets.get(vehicle, {"switches": 0, "puts": []})
        if drawn != sorted(vehicle_sets["puts"]):
            failures.append(f"vehicle {vehicle}: put-back marks at {drawn} ms, "
                            f"the trace puts its colour back at {vehicle_sets['puts']} ms")
        counts = (f"Vehicle {vehicle}: {counted(vehicle_sets['switches'], 'switch', 'switches')} "
                  f"by the plugin, {counted(len(vehicle_sets['puts']), 'colour', 'colours')} put back")
        if counts not in description:
            failures.append(f"the description does not say \"{counts}\"")
    everywhere = sum(1 for mark in root.iter(SVG + "path") if mark.get("class") == "put-back")
    if everywhere != in_lanes:
        failures.append(f"{everywhere - in_lanes} put-back mark(s) outside the vehicles' lanes")
    return failures


def put_back_pixels(pixels, width, lane, vehicle, xs):
    """The render's row of the plugin's marks in one lane: the put-back
    colour at each put-back's x, and every stretch of that colour at one."""
    y = int(float(lane.get("data-marks-top"))) + PUT_BACK_ROW_PX
    is_mark = lambda x: all(abs(a - b) <= TOLERANCE for a, b in zip(pixels[x, y], PUT_BACK_FILL))
    failures = [f"vehicle {vehicle}: no put-back mark at x {round(x)}, y {y}: drawn {pixels[int(x), y]}"
                for x in xs if not is_mark(int(x))]
    x = 0
    while x < width:
        if not is_mark(x):
            x += 1
            continue
        begin = x
        while x < width and is_mark(x):
            x += 1
        if not any(begin - 1 <= want < x + 1 for want in xs):
            failures.append(f"vehicle {vehicle}: a put-back mark at x {begin}-{x - 1}, y {y}, "
                            f"where the trace puts no colour back")
    return failures


def ride_ms(trace):
    found = re.search(r"^The ride took (\d+\.\d{3}) s\.$", trace, re.MULTILINE)
    if not found:
        raise AssertionError("the trace does not say how long the ride took")
    return round(float(found.group(1)) * 1000)


def render(svg, width, height, png):
    chromium = shutil.which("chromium")
    if chromium is None:
        raise AssertionError("chromium is not installed (make test installs Debian's chromium)")
    with tempfile.TemporaryDirectory() as profile:
        command = [chromium, "--headless", "--disable-gpu", "--disable-quic", "--no-first-run",
                   "--disable-background-networking", "--disable-component-update",
                   "--disable-sync", "--hide-scrollbars", "--force-device-scale-factor=1",
                   "--force-color-profile=srgb", f"--user-data-dir={profile}",
                   f"--window-size={width},{height}", f"--screenshot={png}",
                   pathlib.Path(svg).resolve().as_uri()]
        if os.geteuid() == 0:
            command.insert(1, "--no-sandbox")  # Chromium refuses to run as root with one
        subprocess.run(command, capture_output=True, timeout=60, check=True)


def read_pixels(path):
    """The screenshot's pixels as (r, g, b), indexed [x, y]."""
    with Image.open(path) as image:
        rgb = image.convert("RGB")
    return rgb.load()


def check_ride(play_sh, ride, work):
    name = os.path.splitext(os.path.basename(ride))[0]
    svg, png = os.path.join(work, name + ".svg"), os.path.join(work, name + ".png")
    trace = play(play_sh, ride, svg)
    if os.path.getsize(svg) > MAX_SVG_BYTES:
        raise AssertionError(f"{svg} is {os.path.getsize(svg)} bytes")
    root = ElementTree.parse(svg).getroot()  # well-formed, or this raises
    width, height = int(root.get("width")), int(root.get("height"))
    left, plot = float(root.get("data-plot-left")), float(root.get("data-plot-width"))
    total = int(root.get("data-ride-ms"))
    if total != max(ride_ms(trace), 1):
        raise AssertionError(f"the picture spans {total} ms, the trace {ride_ms(trace)} ms")
    lanes = {int(g.get("id").split("-")[1]): g for g in root.iter(SVG + "g")
             if (g.get("id") or "").startswith("vehicle-")}
    readings = colour_readings(trace)
    if sorted(lanes) != sorted(readings):
        raise AssertionError(f"lanes for vehicles {sorted(lanes)}, the trace has {sorted(readings)}")
    sets = plugin_sets(trace)
    failures = put_back_marks(root, lanes, sets, root.findtext(SVG + "desc") or "")

    render(svg, width, height, png)
    pixels = read_pixels(png)
    x_of = lambda ms: left + ms * plot / total
    checked = []
    for vehicle, series in readings.items():
        y = int(float(lanes[vehicle].get("data-strip-top")) +
                float(lanes[vehicle].get("data-strip-height")) / 2)
        stretches = [(0, series[0][0], BACKGROUND)]
        stretches += [(ms, (series[i + 1][0] if i + 1 < len(series) else total), rgb)
                      for i, (ms, rgb) in enumerate(series)]
        for begin, end, want in stretches:
            if x_of(end) - x_of(begin) < MIN_STRETCH_PX:
                continue
            checked.append((vehicle, begin, end, want))
            for x in (round(x_of(begin)) + EDGE_PX, int((x_of(begin) + x_of(end)) / 2),
                      round(x_of(end)) - 1 - EDGE_PX):
                seen = pixels[x, y]
                if any(abs(a - b) > TOLERANCE for a, b in zip(seen, want)):
                    failures.append(f"vehicle {vehicle}, {begin}-{end} ms (x {x}, y {y}): "
                                    f"drawn {seen}, the trace says {want}")
        puts = sets.get(vehicle, {"puts": []})["puts"]
        failures += put_back_pixels(pixels, width, lanes[vehicle], vehicle, [x_of(ms) for ms in puts])
    if failures:
        raise AssertionError("\n  ".join([f"{name}: {len(failures)} thing(s) drawn wrong:"] + failures))
    if name == "default":
        check_story(checked)
    marks = sum(len(vehicle_sets["puts"]) for vehicle_sets in sets.values())
    return f"{len(checked)} stretches and {marks} put-back mark(s)"


def check_story(checked):
    """The default ride's story is among what was checked."""
    def count(vehicle, dark, longest_ms=10 ** 9):
        return sum(1 for v, begin, end, rgb in checked
                   if v == vehicle and (rgb == (0, 0, 0)) == dark and rgb != BACKGROUND
                   and end - begin <= longest_ms)
    story = {"vehicle 1 dark": count(1, True) >= 3, "vehicle 1 lit": count(1, False) >= 3,
             "vehicle 1 blinking, each state under 400 ms": count(1, True, 400) >= 2
             and count(1, False, 400) >= 2,
             "vehicle 2 dark": count(2, True) >= 1, "vehicle 2 lit": count(2, False) >= 1}
    missing = [what for what, seen in story.items() if not seen]
    if missing:
        raise AssertionError("the default ride's picture does not show: " + ", ".join(missing))


def main():
    if len(sys.argv) < 4:
        print("usage: check_picture.py PLAY WORK RIDE...", file=sys.stderr)
        return 2
    play_sh, work, rides = sys.argv[1], sys.argv[2], sys.argv[3:]
    os.makedirs(work, exist_ok=True)
    failed = 0
    for ride in rides:
        try:
            print(f"{os.path.basename(ride)}: {check_ride(play_sh, ride, work)} as the trace has them")
        except (AssertionError, subprocess.SubprocessError, OSError, ElementTree.ParseError) as error:
            print(f"FAIL {os.path.basename(ride)}: {error}")
            failed += 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
