"""What an explorer weighs and costs: `%explore N=50..99` (50 pictures) of
domains of about 10^4 points each, through the installed kernel driven by
jupyter_client. For each scene: the explorer's HTML in bytes, beside the 50
SVG figures as the calculator writes them (what the page would hold without
the shared head and tail and without keeping equal pictures once), the
distinct pictures, and the time from the cell's start to its explorer.

    /usr/bin/python3 bench/explorer_bench.py PREFIX

PREFIX is an installed tree (cmake --install build --prefix PREFIX; the
test suite leaves one in build/notebook-prefix)."""

import json
import os
import re
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "notebook"))
from notebook_support import jupyter_environment  # noqa: E402

from jupyter_client.manager import KernelManager  # noqa: E402

FRAMES = re.compile(r'<script type="application/json" class="qarnest-frames">(.*?)</script>', re.S)

SETUP = ("K := { N | 0 <= N <= 200 } ;\n"
         "Square := { i, j, N | 0 <= i <= 99, 0 <= j <= 99, i + j <= N + 99 } ;\n"
         "Sheared := { i, j, N | 0 <= i <= 99, i <= j <= i + 99, j <= N + 100 } ;\n"
         "Moved := { i, j, N | 30 <= i <= 129, 20 <= j <= 119, i + j <= N + 149 } ;\n"
         "initvisu (2, K) ;\nparameters (N = 99) ;")
# name, the cell that sets the scene up (after the one before it), what is shown
SCENES = [
    ("square, 480 x 400", "visu (Square) ;", "Square: 8,775 to 10,000 points"),
    ("sheared, 480 x 400", "visu (Square) ;\nvisu (Sheared) ;", "Sheared: 8,775 to 10,000 points"),
    ("two overlapping, 480 x 400", "visu (Sheared) ;\nvisu (Square) ;\nvisu (Moved) ;",
     "Square and Moved, blended where they overlap: 2 x 8,775 to 2 x 10,000 points"),
    ("square, 2000 x 2000", "visu (Moved) ;\n%picture 2000x2000", "Square, markers standing apart"),
]


def load():
    with open("/proc/loadavg") as average:
        return " ".join(average.read().split()[:3])


def main():
    prefix = os.path.abspath(sys.argv[1])
    place = tempfile.TemporaryDirectory(prefix="qarnest-explorer-bench-")
    os.environ.update(jupyter_environment(prefix, place.name))
    manager = KernelManager(kernel_name="qarnest")
    manager.start_kernel(cwd=place.name)
    client = manager.client()
    client.start_channels()
    client.wait_for_ready(timeout=60)

    def run(code):
        pages = []

        def output(message):
            if message["msg_type"] == "display_data" and "text/html" in message["content"]["data"]:
                pages.append(message["content"]["data"]["text/html"])

        started = time.monotonic()
        reply = client.execute_interactive(code, output_hook=output, timeout=600, stop_on_error=False)
        assert reply["content"]["status"] == "ok", reply["content"]
        return pages, time.monotonic() - started

    try:
        print("load before: %s" % load())
        run(SETUP)
        for name, scene, shown in SCENES:
            run(scene)
            pages, seconds = run("%explore N=50..99")
            page = pages[0]
            data = json.loads(FRAMES.search(page).group(1))
            written = sum(len((data["head"] + data["pictures"][k] + data["tail"]).encode())
                          for k in data["frames"])
            rectangles = data["pictures"][data["frames"][-1]].count("z")
            print("%-28s page %9d bytes   50 figures as written %9d bytes   %2d distinct   %5.2f s   "
                  "(%d rectangles at N = 99; %s)"
                  % (name, len(page.encode()), written, len(data["pictures"]), seconds, rectangles, shown))
        print("load after: %s" % load())
    finally:
        client.stop_channels()
        manager.shutdown_kernel(now=True)
        place.cleanup()


if __name__ == "__main__":
    main()
