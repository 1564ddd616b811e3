"""The notebook kernel as Jupyter runs it: installed under a prefix of its
own, found by `jupyter kernelspec list`, started and talked to through
jupyter_client. Cells and their replies (text, error status, pictures),
completion, interrupt, restart, and a calculator that dies.

Run with Debian's Python: QARNEST_PREFIX names the installed tree."""

import os
import pty
import re
import select
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from notebook_support import jupyter_environment, marker_centres, picture_of  # noqa: E402

from jupyter_client.manager import KernelManager  # noqa: E402

LONG_EHRHART = ("T := { a, b, c, d, N, M | 0 <= a <= N, 0 <= b <= M, 0 <= c <= a + b, 0 <= d <= c + N,"
                " 2 * a + 3 * b <= 5 * c + 7 * d + M } ;\nC := { N, M | N >= 0, M >= 0 } ;")


def calculator_of(kernel_pid):
    """The calculator the kernel started: its child named qarnest."""
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as stat:
                line = stat.read()
        except OSError:
            continue
        name = line[line.index("(") + 1:line.rindex(")")]
        parent = int(line[line.rindex(")") + 2:].split()[1])
        if parent == kernel_pid and name == "qarnest":
            return int(entry)
    return None


class Cell:
    """What a cell sent back: its streams in order, pictures, and reply."""

    def __init__(self):
        self.streams = []     # (name, text)
        self.pictures = []    # SVG documents
        self.reply = None
        self.errors = []      # iopub error messages

    def text(self, name=None):
        return "".join(text for stream, text in self.streams if name is None or stream == name)

    @property
    def status(self):
        return self.reply["content"]["status"]


class KernelTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.place = tempfile.TemporaryDirectory(prefix="qarnest-kernel-test-")
        cls.environment = jupyter_environment(os.environ["QARNEST_PREFIX"], cls.place.name)
        os.environ.update(cls.environment)

    @classmethod
    def tearDownClass(cls):
        cls.place.cleanup()

    def setUp(self):
        self.manager = KernelManager(kernel_name="qarnest")
        self.manager.start_kernel(cwd=self.place.name)
        self.client = self.manager.client()
        self.client.start_channels()
        self.client.wait_for_ready(timeout=60)

    def tearDown(self):
        self.client.stop_channels()
        self.manager.shutdown_kernel(now=True)

    def run_cell(self, code, stdin_hook=None, timeout=60):
        cell = Cell()

        def output(message):
            kind, content = message["msg_type"], message["content"]
            if kind == "stream":
                cell.streams.append((content["name"], content["text"]))
            elif kind == "display_data":
                cell.pictures.append(content["data"]["image/svg+xml"])
            elif kind == "error":
                cell.errors.append(content)

        # Without stop_on_error: after an error, ipykernel aborts the requests
        # that reach it before it is done with the error, whatever the kernel.
        cell.reply = self.client.execute_interactive(code, output_hook=output, timeout=timeout,
                                                     allow_stdin=stdin_hook is not None, stdin_hook=stdin_hook,
                                                     stop_on_error=False)
        return cell

    def start_cell(self, code):
        """Sends a cell without waiting; finish_cell waits for its end."""
        return self.client.execute(code, stop_on_error=False)

    def finish_cell(self, msg_id, timeout=20):
        """The reply to the cell, once the kernel is idle again after it."""
        deadline = time.monotonic() + timeout
        reply = None
        while reply is None:
            message = self.client.get_shell_msg(timeout=max(0.1, deadline - time.monotonic()))
            if message["parent_header"].get("msg_id") == msg_id:
                reply = message
        while True:
            message = self.client.get_iopub_msg(timeout=max(0.1, deadline - time.monotonic()))
            if (message["parent_header"].get("msg_id") == msg_id and message["msg_type"] == "status"
                    and message["content"]["execution_state"] == "idle"):
                return reply

    def test_kernelspec_is_found_where_it_was_installed(self):
        listing = subprocess.run(["jupyter", "kernelspec", "list"], capture_output=True, text=True,
                                 env=dict(os.environ), check=True).stdout
        self.assertRegex(listing, r"qarnest\s+%s" % re.escape(os.path.join(
            os.environ["QARNEST_PREFIX"], "share", "jupyter", "kernels", "qarnest")))

    def test_cells_answer_with_the_calculators_text(self):
        cases = [
            # code, status, stdout, stderr
            ("K := { | } ;\nT := { i, j | 0 <= j <= i <= 4 } ;", "ok",
             "> K := { | }\n> T :=   { i, j | i <= 4, i >= j, j >= 0 }\n", ""),
            ("print T ;\n\n", "ok", "> T :=   { i, j | i <= 4, i >= j, j >= 0 }\n", ""),
            ("print Q ;", "error", "", "> Error - line 4 :  'Q' undeclared - print: command ignored \n"),
            ("list ; print Q ;\nprint K ;", "error", "> K := { | }\n",
             "> Domain List: \n>   T :=   { i, j | i <= 4, i >= j, j >= 0 }\n>   K := { | }\n\n"
             "> Matrix List : \n\t\n> Error - line 5 :  'Q' undeclared - print: command ignored \n"),
            ("P := { i | i >= } ;", "error", "",
             "> Error - line 7 : parse error \n>> error in constraints \n"),
            ("P := { i |", "error", "",
             "The cell ends inside a statement (a ';' is missing?): the statement is dropped.\n"),
            ("P := { i | i >= 0 } ;", "ok", "> P :=   { i | i >= 0 }\n", ""),
            ("P := convex P ;\no", "ok",
             "Warning : identifier 'P' is already used for another domain !\n"
             "> Overwrite (o) , Choose another name (n) ?> OK : overwrite 'P'\n> P :=   { i | i >= 0 }\n", ""),
            ("", "ok", "", ""),
        ]
        for code, status, stdout, stderr in cases:
            with self.subTest(code=code):
                cell = self.run_cell(code)
                self.assertEqual(cell.status, status)
                self.assertEqual(cell.text("stdout"), stdout)
                self.assertEqual(cell.text("stderr"), stderr)
                self.assertEqual(cell.pictures, [])
                self.assertIsNone(re.search(r"<\d+> ", cell.text()), "no prompt")
        failed = self.run_cell("print Q ;")
        self.assertEqual(failed.reply["content"]["ename"], "QarnestError")
        self.assertEqual(failed.reply["content"]["evalue"],
                         "> Error - line 12 :  'Q' undeclared - print: command ignored ")

    def test_the_overwrite_question_is_asked_or_left_unanswered(self):
        self.run_cell("P := { i | i >= 0 } ;")
        unanswered = self.run_cell("P := { i | i <= 0 } ;")
        self.assertEqual(unanswered.status, "error")
        self.assertIn("> Overwrite (o) , Choose another name (n) ?", unanswered.text("stdout"))
        self.assertIn("No answer: 'P' is left as it was", unanswered.text())
        # A kernel line after the question is no answer to it.
        for kernel_line in ("%picture", "%explore"):
            with self.subTest(kernel_line=kernel_line):
                followed = self.run_cell("P := { i | i <= 1 } ;\n%s\nprint P ;" % kernel_line, timeout=30)
                self.assertEqual(followed.status, "error")
                self.assertIn("No answer: 'P' is left as it was", followed.text())
                self.assertIn("The overwrite question needs its answer on the line after the statement",
                              followed.text("stderr"))
                self.assertIn("> P :=   { i | i >= 0 }\n", followed.text("stdout"))
        asked = []

        def answer(message):
            asked.append(message["content"]["prompt"])
            self.client.input("n" if len(asked) == 1 else "Q")

        renamed = self.run_cell("P := { i | i <= 0 } ;", stdin_hook=answer)
        self.assertEqual(renamed.status, "ok", renamed.text())
        self.assertEqual(len(asked), 2)
        self.assertIn("> Q :=   { i | i <= 0 }\n", renamed.text("stdout"))
        listed = self.run_cell("list ;").text("stdout")
        self.assertIn(">   Q :=   { i | i <= 0 }\n>   P :=   { i | i >= 0 }\n", listed)

    def test_a_cell_that_changes_the_picture_shows_it_as_svg(self):
        self.run_cell("K := { | } ;\nT := { i, j | 0 <= j <= i <= 4 } ;\nS := { i, j | 0 <= i <= 1, 0 <= j <= 1 } ;")
        self.assertEqual(self.run_cell("initvisu (2, K) ;").pictures, [], "nothing shown yet")
        shown = self.run_cell("visu (T) ;")
        self.assertEqual(shown.status, "ok")
        self.assertEqual(len(shown.pictures), 1)
        svg = ElementTree.fromstring(shown.pictures[0])
        self.assertEqual((svg.get("width"), svg.get("height")), ("480", "400"))
        self.assertEqual(picture_of(marker_centres(shown.pictures[0])),
                         {(i, j) for i in range(5) for j in range(i + 1)})
        self.assertEqual(self.run_cell("list ;").pictures, [], "the picture did not change")
        asked = self.run_cell("%picture 200x150")
        self.assertEqual(len(asked.pictures), 1)
        self.assertEqual(ElementTree.fromstring(asked.pictures[0]).get("width"), "200")
        both = self.run_cell("visu (S) ;")
        self.assertEqual(len(both.pictures), 1)
        self.assertEqual(ElementTree.fromstring(both.pictures[0]).get("height"), "150", "the size set stays")
        self.assertEqual(len(marker_centres(both.pictures[0])), 15 + 4)
        masked = self.run_cell("visu (T) ;\nvisu (S) ;")
        self.assertEqual(masked.pictures, [], "nothing shown any more")
        self.assertEqual(len(self.run_cell("visu (S) ;").pictures), 1, "shown again after nothing was")
        self.run_cell("visu (S) ;")
        refused = self.run_cell("%picture 0x10")
        self.assertEqual(refused.status, "error")
        self.assertEqual(refused.text("stderr"), "%picture 0x10: give WIDTHxHEIGHT, each 1 to 8192 pixels\n")
        nothing = self.run_cell("%picture")
        self.assertEqual(nothing.status, "error")
        self.assertIn("no domain is shown", nothing.text("stderr"))

    def test_each_cell_shows_the_picture_as_it_stands_at_its_end(self):
        self.run_cell("K := { N | 0 <= N <= 10 } ;\nT := { i, j, N | 0 <= j <= i <= N } ;\ninitvisu (2, K) ;\n"
                      "parameters (N = 4) ;\nvisu (T) ;")

        def triangle(n):
            return {(i, j) for i in range(n + 1) for j in range(i + 1)}

        cases = [
            # code, the triangle pictured (None: no picture), its width, status
            ("%picture 300x300\nparameters (N = 2) ;", 2, "300", "ok"),
            ("print K ;", None, None, "ok"),
            ("parameters (N = 3) ;\n%picture", 3, "300", "ok"),
            ("%picture\nparameters (N = 5) ;\nparameters (N = 1) ;", 1, "300", "ok"),
            ("%picture 200x150", 1, "200", "ok"),
            ("parameters (N = 6) ;\n%picture 240x200\nprint K ;", 6, "240", "ok"),
            ("list ;", None, None, "ok"),
            ("%picture\nvisu (T) ;", None, None, "error"),
        ]
        for code, n, width, status in cases:
            with self.subTest(code=code):
                cell = self.run_cell(code)
                self.assertEqual(cell.status, status, cell.text())
                if n is None:
                    self.assertEqual(cell.pictures, [])
                    continue
                self.assertEqual(len(cell.pictures), 1, "one picture, the one at the cell's end")
                self.assertEqual(ElementTree.fromstring(cell.pictures[0]).get("width"), width)
                self.assertEqual(picture_of(marker_centres(cell.pictures[0])), triangle(n))
        self.assertIn("no domain is shown", cell.text("stderr"))

    def test_completion_through_the_calculator(self):
        self.run_cell("Triangle := { i, j | 0 <= j <= i <= 3 } ;\nTri2 := { i | i >= 0 } ;")
        os.mkdir(os.path.join(self.place.name, "figures"))
        open(os.path.join(self.place.name, "figures", "plot.svg"), "w").close()
        cases = [
            # code, cursor, matches, cursor_start
            ("pri", 3, ["print"], 0),
            ("list ;\nvisu (Tri", 16, ["Tri2", "Triangle"], 13),
            ("P := con", 8, ["convex"], 5),
            ("figure \"figures/p", 17, ["figures/plot.svg"], 8),
            ("figure \"fig", 11, ["figures/"], 8),
            ("fig", 3, ["figure"], 0),
            ("zzz", 3, [], 0),
        ]
        for code, cursor, matches, start in cases:
            with self.subTest(code=code):
                reply = self.client.complete(code, cursor, reply=True, timeout=30)["content"]
                self.assertEqual(reply["status"], "ok")
                self.assertEqual(reply["matches"], matches)
                self.assertEqual((reply["cursor_start"], reply["cursor_end"]), (start, cursor))

    def test_interrupt_stops_a_long_ehrhart_and_keeps_the_session(self):
        self.run_cell(LONG_EHRHART)
        cell = self.start_cell("ehrhart (T, C) ;")
        time.sleep(1)
        started = time.monotonic()
        self.manager.interrupt_kernel()
        reply = self.finish_cell(cell)
        self.assertLess(time.monotonic() - started, 5)
        self.assertEqual(reply["content"]["status"], "error")
        self.assertIn("was interrupted - command ignored", reply["content"]["evalue"])
        listed = self.run_cell("list ;")
        self.assertEqual(listed.status, "ok")
        self.assertIn(">   C :=   { N, M | N >= 0, M >= 0 }\n>   T :=   ", listed.text("stdout"))

    def test_interrupt_stops_the_rest_of_the_cell(self):
        cell = self.start_cell(LONG_EHRHART + "\nehrhart (T, C) ;\nX := { i | i >= 0 } ;")
        time.sleep(1.5)
        self.manager.interrupt_kernel()
        self.assertEqual(self.finish_cell(cell)["content"]["status"], "error")
        listed = self.run_cell("list ;").text()
        self.assertIn(">   T :=   ", listed)
        self.assertNotIn("X :=", listed)

    def test_a_killed_calculator_is_told_in_the_cell_and_replaced(self):
        self.run_cell(LONG_EHRHART)
        cell = self.start_cell("ehrhart (T, C) ;")
        time.sleep(1)
        calculator = calculator_of(self.manager.provisioner.process.pid)
        self.assertIsNotNone(calculator)
        os.kill(calculator, signal.SIGKILL)
        reply = self.finish_cell(cell)
        self.assertEqual(reply["content"]["status"], "error")
        self.assertEqual(reply["content"]["evalue"], "The calculator ended")
        # Completion goes on, with a fresh calculator.
        completed = self.client.complete("pri", 3, reply=True, timeout=30)["content"]
        self.assertEqual((completed["status"], completed["matches"]), ("ok", ["print"]))
        after = self.run_cell("list ;")
        self.assertEqual(after.status, "ok")
        self.assertEqual(after.text("stdout"), "> Domain List: \n\n> Matrix List : \n\t\n")
        # Killed between cells, it is told in the next one, which runs on a
        # fresh calculator, whether completion came first or not.
        for complete_first in (False, True):
            with self.subTest(complete_first=complete_first):
                self.run_cell("Tri := { i | i >= 0 } ;")
                os.kill(calculator_of(self.manager.provisioner.process.pid), signal.SIGKILL)
                time.sleep(0.2)
                if complete_first:
                    completed = self.client.complete("visu (Tr", 8, reply=True, timeout=30)["content"]
                    self.assertEqual((completed["status"], completed["matches"]), ("ok", []),
                                     "nothing stored in the fresh calculator")
                    completed = self.client.complete("pri", 3, reply=True, timeout=30)["content"]
                    self.assertEqual(completed["matches"], ["print"])
                told = self.run_cell("K := { | } ;")
                self.assertEqual(told.status, "error")
                self.assertIn("The calculator was killed (SIGKILL) since the last cell", told.text("stderr"))
                self.assertIn("> K := { | }\n", told.text("stdout"))
                self.assertEqual(self.run_cell("print K ;").status, "ok")

    def test_the_banner_names_the_kernel_process(self):
        banner = self.client.kernel_info(reply=True, timeout=30)["content"]["banner"]
        self.assertEqual(banner, "Qarnest: a calculator for polyhedral domains (kernel process %d)"
                         % self.manager.provisioner.process.pid)

    def test_restart_starts_a_fresh_calculator(self):
        self.run_cell("P := { i | i >= 0 } ;")
        before = calculator_of(self.manager.provisioner.process.pid)
        self.manager.restart_kernel(now=True)
        self.client.wait_for_ready(timeout=60)
        self.assertEqual(self.run_cell("list ;").text("stdout"), "> Domain List: \n\n> Matrix List : \n\t\n")
        deadline = time.monotonic() + 10
        while os.path.exists("/proc/%d" % before) and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertFalse(os.path.exists("/proc/%d/stat" % before) and
                         " Z " not in open("/proc/%d/stat" % before).read(), "the old calculator is gone")


# The terminal's control sequences in what the console writes.
ESCAPES = re.compile(r"\x1b(?:\[[0-9;?]*[A-Za-z]|[()][A-Z0-9]|[=>])")


class ConsoleTest(unittest.TestCase):
    """Debian's `jupyter console` does not pass Ctrl-C on to the kernel: the
    README says to send SIGINT to the kernel process its banner names."""

    def test_the_kernel_process_named_in_the_banner_takes_the_interrupt(self):
        place = tempfile.TemporaryDirectory(prefix="qarnest-console-test-")
        self.addCleanup(place.cleanup)
        environment = dict(os.environ, **jupyter_environment(os.environ["QARNEST_PREFIX"], place.name),
                           TERM="xterm", COLUMNS="200", LINES="50")
        console, terminal = pty.fork()
        if console == 0:
            os.chdir(place.name)
            os.execvpe("jupyter", ["jupyter", "console", "--kernel", "qarnest"], environment)
        seen = []

        def read_until(pattern, timeout=60):
            deadline = time.monotonic() + timeout
            while not re.search(pattern, ESCAPES.sub("", "".join(seen))):
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([terminal], [], [], left)[0]:
                    self.fail("no %r in %r" % (pattern, "".join(seen)[-2000:]))
                try:
                    seen.append(os.read(terminal, 65536).decode("utf-8", "replace"))
                except OSError:
                    self.fail("the console ended: %r" % "".join(seen)[-2000:])
            return re.search(pattern, ESCAPES.sub("", "".join(seen)))

        def stop_console():
            try:
                os.kill(console, signal.SIGKILL)
            except ProcessLookupError:
                pass
            os.waitpid(console, 0)
            os.close(terminal)

        self.addCleanup(stop_console)
        kernel = int(read_until(r"kernel process (\d+)").group(1))
        self.addCleanup(lambda: os.path.exists("/proc/%d" % kernel) and os.kill(kernel, signal.SIGKILL))
        read_until(r"In \[1\]")
        os.write(terminal, (LONG_EHRHART.replace("\n", " ") + "\r").encode())
        read_until(r"> C :=   \{ N, M \| N >= 0, M >= 0 \}")
        read_until(r"In \[2\]")
        os.write(terminal, b"ehrhart (T, C) ;\r")
        time.sleep(1.5)
        os.kill(kernel, signal.SIGINT)
        read_until(r"the Ehrhart polynomial of 'T' was interrupted - command ignored", timeout=10)
        read_until(r"In \[3\]")
        os.write(terminal, b"list ;\r")
        read_until(r">   C :=   \{ N, M \| N >= 0, M >= 0 \}")


if __name__ == "__main__":
    unittest.main()
