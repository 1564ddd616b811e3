"""Shared by the notebook tests: Jupyter's folders kept inside the test, and
the reading of the calculator's SVG pictures."""

import os
import re
import xml.etree.ElementTree as ElementTree

SVG = "{http://www.w3.org/2000/svg}"
RECTANGLE = re.compile(r"M(-?\d+),(-?\d+)h(\d+)v(\d+)h-(\d+)z")


def jupyter_environment(prefix, place):
    """Jupyter finds the kernels of `prefix` and keeps everything else of its
    own (configuration, runtime files, the home) inside `place`, never in the
    user's home."""
    home = os.path.join(place, "home")
    os.makedirs(home, exist_ok=True)
    return {
        "HOME": home,
        "JUPYTER_PATH": os.path.join(prefix, "share", "jupyter"),
        "JUPYTER_CONFIG_DIR": os.path.join(place, "config"),
        "JUPYTER_DATA_DIR": os.path.join(place, "data"),
        "JUPYTER_RUNTIME_DIR": os.path.join(place, "runtime"),
        "JUPYTER_PLATFORM_DIRS": "0",
        "IPYTHONDIR": os.path.join(place, "ipython"),
        "PYDEVD_DISABLE_FILE_VALIDATION": "1",
    }


def marker_centres(svg_text):
    """The centres of the point markers of a picture, in its pixels: each
    marker is a 7 x 5 rectangle followed by a 5 x 7 one."""
    root = ElementTree.fromstring(svg_text)
    centres = []
    for path in root.iter(SVG + "path"):
        rectangles = [tuple(int(v) for v in m.groups()[:4]) for m in RECTANGLE.finditer(path.get("d", ""))]
        for across, down in zip(rectangles[0::2], rectangles[1::2]):
            x, y, width, height = across
            if (width, height) != (7, 5) or down != (x + 1, y - 1, 5, 7):
                raise ValueError("not a marker: %s %s" % (across, down))
            centres.append((x + 3, y + 2))
    return centres


def picture_of(centres):
    """The markers' places as lattice indices: columns left to right and
    rows bottom to top, for a picture of a 2-D domain drawn on unit axes."""
    columns = sorted({x for x, _ in centres})
    rows = sorted({y for _, y in centres}, reverse=True)
    return {(columns.index(x), rows.index(y)) for x, y in centres}
