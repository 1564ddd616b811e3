"""The Jupyter kernel of Qarnest: one calculator per notebook, driven through
its line mode with the kernel protocol (qarnest --kernel-protocol).

Each line of a cell goes to the calculator in turn; what the calculator
writes back until its next status frame is the line's answer, shown as is.
Answers of lines whose statements were refused go to the error stream and
make the cell's status an error. After a cell that changed what the viewer
shows, the picture comes inline as SVG, written by the calculator's own
figure request. Tab completion asks the calculator. An interrupt is the
calculator's Ctrl-C: the statement running stops and the session goes on.

Kernel lines, which the calculator never sees:
    %picture            show the viewer's picture at the end of this cell,
                        even if it did not change
    %picture 640x480    the same, at that size from now on
    %explore            an explorer of the picture over the parameters'
                        values: sliders, and the picture and counts of each
                        value computed beforehand by the calculator
    %explore N=0..20    the same, over the values named
"""

import codecs
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from qarnest_explorer import (ExploreError, choose_windows, counts_of, explorer_html,  # noqa: E402
                              requested_windows, value_sets)

from IPython.core.error import StdinNotImplementedError
from ipykernel.kernelbase import Kernel

FRAME_MARK = b"\x1e"
DEFAULT_PICTURE_SIZE = (480, 400)
LARGEST_PICTURE_SIDE = 8192
PICTURE_LINE = re.compile(r"^\s*%picture(?:\s+(\S+))?\s*$")
EXPLORE_LINE = re.compile(r"^\s*%explore(?:\s+(.*?))?\s*$")
SIZE = re.compile(r"^(\d+)x(\d+)$")
XML_DECLARATION = re.compile(r"^\s*<\?xml[^>]*\?>\s*")


def calculator_program():
    """The qarnest beside this kernel spec (<prefix>/share/jupyter/kernels/
    qarnest -> <prefix>/bin/qarnest), unless QARNEST_PROGRAM names another."""
    named = os.environ.get("QARNEST_PROGRAM")
    if named:
        return named
    here = os.path.dirname(os.path.abspath(__file__))
    beside = os.path.normpath(os.path.join(here, "..", "..", "..", "..", "bin", "qarnest"))
    return beside if os.access(beside, os.X_OK) else shutil.which("qarnest") or "qarnest"


class CalculatorEnded(Exception):
    """The calculator's output ended: it exited or was killed."""


class Interrupted(Exception):
    """The notebook's interrupt came while the kernel waited."""


class Calculator:
    """One calculator process and the reading of its answers and frames."""

    def __init__(self, folder):
        environment = dict(os.environ)
        # Its windows go to a display of its own, never onto the user's screen.
        environment.pop("DISPLAY", None)
        self.folder = folder
        self.process = subprocess.Popen(
            [calculator_program(), "--kernel-protocol", "--virtual-display"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            env=environment, start_new_session=True)
        self.text = b""
        self.errors = b""
        self.decoder = codecs.getincrementaldecoder("utf-8")("replace")
        self.error_decoder = codecs.getincrementaldecoder("utf-8")("replace")
        self.frame = None
        self.wake_read, self.wake_write = os.pipe()
        os.set_blocking(self.wake_write, False)
        self.interrupt_pending = False

    def alive(self):
        return self.process.poll() is None

    def how_it_ended(self):
        try:
            status = self.process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            return "stopped answering"
        if status < 0:
            try:
                name = signal.Signals(-status).name
            except ValueError:
                name = "signal %d" % -status
            return "was killed (%s)" % name
        return "exited with status %d" % status

    def send_line(self, line):
        # A line the calculator would take for a request stays a statement line.
        line = line.replace("\x1e", " ")
        try:
            self.process.stdin.write(line.encode("utf-8") + b"\n")
            self.process.stdin.flush()
        except (BrokenPipeError, OSError):
            raise CalculatorEnded()

    def interrupt(self):
        """The calculator's Ctrl-C."""
        if self.alive():
            os.kill(self.process.pid, signal.SIGINT)

    def note_interrupt(self):
        """From the SIGINT handler: wake the wait."""
        self.interrupt_pending = True
        try:
            os.write(self.wake_write, b"!")
        except OSError:
            pass

    def next_answer(self, on_text, on_errors, interruptible=True):
        """Reads until the next frame: on_text gets the calculator's text as
        it comes, on_errors its standard error. Returns the frame (a dict).
        Raises Interrupted when an interrupt comes, before the frame."""
        out = self.process.stdout.fileno()
        err = self.process.stderr.fileno()
        while True:
            frame = self._take_frame(on_text)
            if frame is not None:
                return frame
            if interruptible and self.interrupt_pending:
                self.interrupt_pending = False
                raise Interrupted()
            watched = [out, self.wake_read] + ([err] if err >= 0 else [])
            try:
                ready, _, _ = select.select(watched, [], [])
            except InterruptedError:
                continue
            if self.wake_read in ready:
                os.read(self.wake_read, 64)
            if err in ready:
                data = os.read(err, 65536)
                if data:
                    on_errors(self.error_decoder.decode(data))
                else:
                    err = -1
            if out in ready:
                data = os.read(out, 65536)
                if not data:
                    if self.text:
                        on_text(self.decoder.decode(self.text, final=True))
                        self.text = b""
                    raise CalculatorEnded()
                self.text += data

    def _take_frame(self, on_text):
        mark = self.text.find(FRAME_MARK)
        if mark < 0:
            # Text before a frame can be handed out at once, but a multibyte
            # character is not split and a mark may still follow.
            if self.text:
                on_text(self.decoder.decode(self.text))
                self.text = b""
            return None
        end = self.text.find(b"\n", mark)
        if mark > 0:
            on_text(self.decoder.decode(self.text[:mark]))
            self.text = self.text[mark:]
            end -= mark
            mark = 0
        if end < 0:
            return None
        frame = json.loads(self.text[1:end].decode("utf-8", "replace"))
        self.text = self.text[end + 1:]
        return frame

    def request(self, line, on_text, on_errors):
        """Sends a request and returns its reply frame; the text written
        meanwhile goes to on_text. The next ready frame is read too."""
        self.send_line_raw(FRAME_MARK + line.encode("utf-8") + b"\n")
        reply = None
        while True:
            frame = self.next_answer(on_text, on_errors, interruptible=False)
            if "ready" in frame:
                return reply, frame
            reply = frame

    def send_line_raw(self, data):
        try:
            self.process.stdin.write(data)
            self.process.stdin.flush()
        except (BrokenPipeError, OSError):
            raise CalculatorEnded()

    def stop(self):
        if self.alive():
            try:
                os.killpg(self.process.pid, signal.SIGKILL)
            except OSError:
                self.process.kill()
        try:
            self.process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            pass
        for stream in (self.process.stdin, self.process.stdout, self.process.stderr):
            try:
                stream.close()
            except OSError:
                pass
        os.close(self.wake_read)
        os.close(self.wake_write)


class QarnestKernel(Kernel):
    implementation = "qarnest"
    implementation_version = "1.0"
    banner = "Qarnest: a calculator for polyhedral domains"
    language_info = {
        "name": "qarnest",
        "mimetype": "text/x-qarnest",
        "file_extension": ".qn",
        "codemirror_mode": "text/plain",
        "pygments_lexer": "text",
    }
    help_links = []

    def __init__(self, **kwargs):
        super().__init__(**kwargs)
        self.folder = tempfile.mkdtemp(prefix="qarnest-kernel-")
        self.picture_size = DEFAULT_PICTURE_SIZE
        self.calculator = None
        self.ready = None           # the last ready frame
        self.shown_picture = None   # the digest of the last picture shown
        self.pictures = 0
        self.silent = False
        self.start_failure = ""
        self.untold_end = ""        # a calculator that ended between cells, told in the next one
        self.banner = "%s (kernel process %d)" % (QarnestKernel.banner, os.getpid())
        self.start_calculator()

    # ---- The calculator's life ----

    def start_calculator(self):
        self.calculator = Calculator(self.folder)
        said = []
        try:
            self.ready = self.calculator.next_answer(lambda text: None, said.append, interruptible=False)
        except CalculatorEnded:
            self.ready = {"refused": 0}
        self.start_failure = "".join(said)
        self.shown_picture = None

    def ensure_calculator(self):
        """A fresh calculator after one that ended (its death was told)."""
        if self.calculator is None or not self.calculator.alive():
            if self.calculator is not None:
                self.calculator.stop()
            self.start_calculator()

    # ---- Output ----

    def stream(self, name, text):
        if text and not self.silent:
            self.send_response(self.iopub_socket, "stream", {"name": name, "text": text})

    def picture_svg(self):
        """The picture as the calculator's SVG figure, or None with what the
        calculator said instead in the error stream."""
        width, height = self.picture_size
        self.pictures += 1
        path = os.path.join(self.folder, "picture-%d.svg" % self.pictures)
        said = []
        _, self.ready = self.calculator.request(
            "figure %d %d %s" % (width, height, path), said.append, lambda text: self.stream("stderr", text))
        try:
            with open(path, encoding="utf-8") as figure:
                # Inline in a page, an SVG document has no XML declaration
                # (nbconvert's HTML cleaner refuses one).
                svg = XML_DECLARATION.sub("", figure.read(), count=1)
            os.remove(path)
        except OSError:
            self.stream("stderr", "".join(said))
            return None
        return svg

    def show_picture(self):
        """Asks the calculator for the picture as SVG and shows it; False
        when it could not be made (the reason is in the error stream)."""
        width, height = self.picture_size
        svg = self.picture_svg()
        if svg is None:
            return False
        if not self.silent:
            self.send_response(self.iopub_socket, "display_data", {
                "data": {"image/svg+xml": svg, "text/plain": "<Qarnest picture %dx%d>" % (width, height)},
                "metadata": {},
            })
        self.shown_picture = self.ready.get("picture")
        return True

    # ---- Cells ----

    def do_execute(self, code, silent, store_history=True, user_expressions=None, allow_stdin=False):
        self.silent = silent
        self.failures = []
        self._allow_stdin = allow_stdin
        previous_handler = signal.signal(signal.SIGINT, lambda number, frame: self.note_interrupt())
        try:
            return self.run_cell(code, allow_stdin)
        finally:
            signal.signal(signal.SIGINT, previous_handler)

    def note_interrupt(self):
        if self.calculator is not None:
            self.calculator.note_interrupt()

    def take_ended_calculator(self):
        """A calculator that ended between cells is put aside, its end kept
        to be told in the next cell."""
        if self.calculator is not None and not self.calculator.alive():
            self.untold_end = self.start_failure + "The calculator %s since the last cell: a fresh one is started " \
                "for this cell, with nothing stored.\n" % self.calculator.how_it_ended()
            self.calculator.stop()
            self.calculator = None

    def run_cell(self, code, allow_stdin):
        self.take_ended_calculator()
        if self.untold_end:
            message, self.untold_end = self.untold_end, ""
            return self.error_reply(message, run_after=code, allow_stdin=allow_stdin)
        self.ensure_calculator()
        try:
            return self.run_lines(code.replace("\r\n", "\n").split("\n"), allow_stdin)
        except CalculatorEnded:
            ended = self.calculator.how_it_ended()
            self.calculator.stop()
            self.calculator = None
            return self.error_reply("The calculator %s while it ran this cell: the next cell starts a fresh one, "
                                    "with nothing stored.\n" % ended)

    def error_reply(self, message, run_after=None, allow_stdin=False):
        self.stream("stderr", message)
        if run_after is not None:
            self.ensure_calculator()
            try:
                self.run_lines(run_after.replace("\r\n", "\n").split("\n"), allow_stdin)
            except CalculatorEnded:
                pass
        return self.reply_with(["The calculator ended"] + self.failures)

    def run_lines(self, lines, allow_stdin):
        while lines and not lines[-1].strip():
            lines.pop()
        # The cell's picture is the one at its end: %picture asks for it
        # even if unchanged, wherever the line stands in the cell.
        picture_asked = False
        for index, line in enumerate(lines):
            picture = PICTURE_LINE.match(line)
            explore = EXPLORE_LINE.match(line)
            if (picture or explore) and self.ready.get("answer"):
                # A kernel line is no answer to the overwrite question.
                self.answer_question([], self.ready["refused"], allow_stdin)
            if picture:
                if not self.picture_size_request(picture.group(1)):
                    return self.reply_with(self.failures)
                picture_asked = True
                continue
            if explore:
                if self.explore(explore.group(1) or "") == "interrupted":
                    return self.reply_with(self.failures or ["Interrupted"])
                continue
            if self.answer_line(line, index == len(lines) - 1, allow_stdin) == "interrupted":
                return self.reply_with(self.failures or ["Interrupted"])
        if self.ready.get("answer"):
            self.answer_question([], self.ready["refused"], allow_stdin)
        if self.ready.get("pending"):
            self.drop_unfinished_statement()
        if picture_asked:
            if not self.show_picture():
                self.failures.append("No picture")
        elif self.ready.get("picture") and self.ready["picture"] != self.shown_picture:
            self.show_picture()
        elif not self.ready.get("picture"):
            # Nothing is shown: the same picture shown again is a change.
            self.shown_picture = None
        return self.reply_with(self.failures)

    def answer_line(self, line, last, allow_stdin):
        """Sends one line and shows its answer; "interrupted" when the
        notebook's interrupt stopped it."""
        refused_before = self.ready["refused"]
        self.calculator.send_line(line)
        answer = []
        try:
            frame = self.calculator.next_answer(answer.append, lambda text: self.stream("stderr", text))
        except Interrupted:
            self.calculator.interrupt()
            self.settle(answer)
            self.show_answer(answer, refused_before)
            return "interrupted"
        self.ready = frame
        if frame.get("answer") and last:
            return self.answer_question(answer, refused_before, allow_stdin)
        self.show_answer(answer, refused_before)
        return "ok"

    def settle(self, answer):
        """After an interrupt: everything the calculator says until it has
        read a sync request, which comes after whatever the interrupt did."""
        token = str(os.getpid()) + "-" + str(self.pictures) + "-" + str(len(answer))
        self.calculator.send_line_raw(FRAME_MARK + b"sync " + token.encode() + b"\n")
        while True:
            frame = self.calculator.next_answer(answer.append, lambda text: self.stream("stderr", text),
                                                interruptible=False)
            if frame.get("sync") == token:
                break
            if "ready" in frame:
                self.ready = frame
        self.ready = self.calculator.next_answer(answer.append, lambda text: self.stream("stderr", text),
                                                 interruptible=False)

    def answer_question(self, answer, refused_before, allow_stdin):
        """The overwrite question waits and the cell has no line left for it:
        the user answers it when the notebook can ask, else it is left
        unanswered (the definition is not stored)."""
        while self.ready.get("answer"):
            self.stream("stdout", "".join(answer))
            answer.clear()
            if not allow_stdin:
                self.calculator.interrupt()
                self.settle(answer)
                self.failures.append("The overwrite question needs its answer on the line after the statement "
                                     "(o, or n and a new name on the next line)")
                self.stream("stderr", "".join(answer) + self.failures[-1] + "\n")
                return "ok"
            try:
                reply = self.raw_input("")
            except (KeyboardInterrupt, EOFError, StdinNotImplementedError):
                reply = None
            if reply is None:
                self.calculator.interrupt()
                self.settle(answer)
                break
            self.calculator.send_line(reply)
            self.ready = self.calculator.next_answer(answer.append, lambda text: self.stream("stderr", text),
                                                     interruptible=False)
        self.show_answer(answer, refused_before)
        return "ok"

    def show_answer(self, answer, refused_before):
        text = "".join(answer)
        if self.ready["refused"] > refused_before:
            self.failures.append(text)
            self.stream("stderr", text)
        else:
            self.stream("stdout", text)

    def drop_unfinished_statement(self):
        answer = []
        self.calculator.interrupt()
        self.settle(answer)
        message = "The cell ends inside a statement (a ';' is missing?): the statement is dropped.\n"
        self.failures.append(message)
        self.stream("stderr", "".join(answer) + message)

    def picture_size_request(self, size):
        if size is not None:
            match = SIZE.match(size)
            if not match or not all(1 <= int(side) <= LARGEST_PICTURE_SIDE for side in match.groups()):
                self.fail("%%picture %s: give WIDTHxHEIGHT, each 1 to %d pixels\n" % (size, LARGEST_PICTURE_SIDE))
                return False
            self.picture_size = (int(match.group(1)), int(match.group(2)))
        return True

    def fail(self, message):
        self.failures.append(message)
        self.stream("stderr", message)

    # ---- The explorer ----

    def explore(self, arguments):
        """Shows the explorer of the picture over the parameters' values;
        "interrupted" when the notebook's interrupt stopped it. Every
        picture and count comes from the calculator: the viewer is given
        each set of values in turn and its figure written, each shown
        domain counted by card, and the values are given back at the end."""
        reply, self.ready = self.calculator.request("explore", lambda text: None,
                                                    lambda text: self.stream("stderr", text))
        found = (reply or {}).get("explore", {})
        if "parameters" not in found:
            self.fail("%%explore: %s\n" % found.get("refused", "the calculator did not answer"))
            return "ok"
        parameters, domains = found["parameters"], found["domains"]
        names = [p["name"] for p in parameters]
        try:
            windows = choose_windows(parameters, requested_windows(arguments, names))
        except ExploreError as error:
            self.fail(str(error) + "\n")
            return "ok"
        sets = value_sets(windows)
        current = tuple(p["value"] for p in parameters)
        counts = [self.explore_counts(domain["name"], windows) for domain in domains]
        frames = []
        try:
            for values in sets:
                if self.calculator.interrupt_pending:
                    self.calculator.interrupt_pending = False
                    self.fail("%explore was interrupted: no explorer shown\n")
                    return "interrupted"
                frames.append(self.explore_frame(values, counts))
        finally:
            self.explore_values(current)
        if not self.silent:
            self.send_response(self.iopub_socket, "display_data", {
                "data": {"text/html": explorer_html(parameters, windows, domains, frames,
                                                    sets.index(current) if current in sets else 0),
                         "text/plain": "<Qarnest explorer: %s>" % ", ".join(
                             "%s = %d..%d" % (name, low, high) for name, (low, high) in zip(names, windows))},
                "metadata": {},
            })
        self.shown_picture = self.ready.get("picture")
        return "ok"

    def explore_counts(self, name, windows):
        """{values: count} of one shown domain over the windows, by card."""
        said = []
        refused_before = self.ready["refused"]
        bounds = " ".join("%d %d" % window for window in windows)
        _, self.ready = self.calculator.request("card %s %s" % (name, bounds), said.append,
                                                lambda text: self.stream("stderr", text))
        if self.ready["refused"] > refused_before:
            self.fail("".join(said))
        return counts_of("".join(said))

    def explore_values(self, values):
        reply, self.ready = self.calculator.request("values " + " ".join(str(v) for v in values),
                                                    lambda text: None, lambda text: self.stream("stderr", text))
        return (reply or {}).get("values")

    def explore_frame(self, values, counts):
        """(svg, counts) at these values, or None outside the context."""
        if self.explore_values(values) != "set":
            return None
        svg = self.picture_svg()
        if svg is None:
            return None
        return svg, [domain_counts.get(values) for domain_counts in counts]

    def reply_with(self, failures):
        if not failures:
            return {"status": "ok", "execution_count": self.execution_count, "payload": [],
                    "user_expressions": {}}
        lines = [line for failure in failures for line in failure.splitlines() if line.strip()]
        return {"status": "error", "execution_count": self.execution_count, "ename": "QarnestError",
                "evalue": lines[0] if lines else "", "traceback": lines}

    # ---- Completion ----

    def do_complete(self, code, cursor_pos):
        before = code[:cursor_pos]
        line_start = before.rfind("\n") + 1
        line = before[line_start:].replace("\x1e", " ")
        matches, start = [], cursor_pos
        try:
            # A calculator that ended is told in the next cell; completion
            # goes on with a fresh one.
            self.take_ended_calculator()
            self.ensure_calculator()
            reply, self.ready = self.calculator.request("complete " + line, lambda text: None,
                                                        lambda text: None)
            if reply and "completion" in reply:
                completion = reply["completion"]
                matches = completion["matches"]
                prefix = line.encode("utf-8")[:completion["start"]].decode("utf-8", "replace")
                start = line_start + len(prefix)
        except CalculatorEnded:
            pass
        return {"status": "ok", "matches": matches, "cursor_start": start, "cursor_end": cursor_pos,
                "metadata": {}}

    # ---- Shutdown ----

    def do_shutdown(self, restart):
        if self.calculator is not None:
            self.calculator.stop()
            self.calculator = None
        shutil.rmtree(self.folder, ignore_errors=True)
        return {"status": "ok", "restart": restart}


if __name__ == "__main__":
    from ipykernel.kernelapp import IPKernelApp

    IPKernelApp.launch_instance(kernel_class=QarnestKernel)
