"""What the notebook kernel costs: a one-statement cell through Jupyter
against the same statement sent to the calculator directly, and the time a
cell that shows a 10^12-point domain takes to bring its SVG picture.

    /usr/bin/python3 bench/notebook_bench.py PREFIX [RUNS]

PREFIX is an installed tree (cmake --install build --prefix PREFIX; the
test suite leaves one in build/notebook-prefix). Prints medians and
quartiles in milliseconds, and the machine's load before and after."""

import os
import select
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "notebook"))
from notebook_support import jupyter_environment  # noqa: E402

from jupyter_client.manager import KernelManager  # noqa: E402

STATEMENT = "print T ;"
SETUP = "T := { i, j | 0 <= j <= i <= 100 } ;"
HUGE = "K := { | } ;\nB := { i, j | 0 <= i <= 999999, 0 <= j <= 999999 } ;\ninitvisu (2, K) ;"


def load():
    with open("/proc/loadavg") as average:
        return " ".join(average.read().split()[:3])


def summary(name, times):
    times = sorted(t * 1000 for t in times)
    quartiles = statistics.quantiles(times, n=4)
    print("%-44s median %7.2f ms   quartiles %7.2f %7.2f   max %7.2f   (%d runs)"
          % (name, statistics.median(times), quartiles[0], quartiles[2], times[-1], len(times)))
    return statistics.median(times)


def direct_times(program, runs):
    """The statement sent to the calculator itself, timed to its status frame."""
    environment = dict(os.environ)
    environment.pop("DISPLAY", None)
    calculator = subprocess.Popen([program, "--kernel-protocol", "--virtual-display"], stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, env=environment)
    out = calculator.stdout.fileno()

    def exchange(line):
        calculator.stdin.write(line.encode() + b"\n")
        calculator.stdin.flush()
        received = b""
        while not received.endswith(b"}\n") or b"\x1e{\"ready\"" not in received:
            select.select([out], [], [])
            received += os.read(out, 65536)

    received = b""
    while b"\x1e" not in received:
        received += os.read(out, 65536)
    exchange(SETUP)
    times = []
    for _ in range(runs):
        started = time.perf_counter()
        exchange(STATEMENT)
        times.append(time.perf_counter() - started)
    calculator.stdin.close()
    calculator.wait()
    return times


def main():
    prefix = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 300
    place = tempfile.TemporaryDirectory(prefix="qarnest-notebook-bench-")
    os.environ.update(jupyter_environment(prefix, place.name))
    print("load before:", load())

    own = summary("calculator alone: '%s'" % STATEMENT, direct_times(os.path.join(prefix, "bin", "qarnest"), runs))

    manager = KernelManager(kernel_name="qarnest")
    manager.start_kernel(cwd=place.name)
    client = manager.client()
    client.start_channels()
    client.wait_for_ready(timeout=60)
    try:
        client.execute_interactive(SETUP, output_hook=lambda message: None, timeout=60)
        for _ in range(20):
            client.execute_interactive(STATEMENT, output_hook=lambda message: None, timeout=60)
        cell_times = []
        for _ in range(runs):
            started = time.perf_counter()
            client.execute_interactive(STATEMENT, output_hook=lambda message: None, timeout=60)
            cell_times.append(time.perf_counter() - started)
        cell = summary("kernel cell: '%s' (execute to idle)" % STATEMENT, cell_times)
        print("%-44s %7.2f ms" % ("kernel's part (difference of medians)", cell - own))

        client.execute_interactive(HUGE, output_hook=lambda message: None, timeout=60)
        picture_times, sizes = [], []
        for _ in range(max(10, runs // 15)):
            started = time.perf_counter()
            shown = []

            def output(message):
                if message["msg_type"] == "display_data" and not shown:
                    shown.append(time.perf_counter())
                    sizes.append(len(message["content"]["data"]["image/svg+xml"]))

            client.execute_interactive("visu (B) ;", output_hook=output, timeout=60)
            picture_times.append(shown[0] - started)
            client.execute_interactive("visu (B) ;", output_hook=lambda message: None, timeout=60)   # masks
        summary("10^12-point box shown: cell start to its SVG", picture_times)
        print("%-44s %d bytes" % ("SVG size", sizes[0]))
    finally:
        client.stop_channels()
        manager.shutdown_kernel(now=True)
        place.cleanup()
    print("load after:", load())


if __name__ == "__main__":
    main()
