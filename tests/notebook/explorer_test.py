"""The parameter explorer (%explore) as a reader meets it: the values it
covers, its frames made by the calculator through the real kernel (driven
by jupyter_client), and the page it makes, saved in a notebook, turned into
HTML by `jupyter nbconvert` without a kernel and opened in a real headless
Chromium, where moving a slider changes the picture and the counts.

Run with Debian's Python: QARNEST_PREFIX names the installed tree and
QARNEST_SOURCE_DIR the repository."""

import json
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.environ.get("QARNEST_SOURCE_DIR", "."), "jupyter"))
from notebook_support import jupyter_environment, marker_centres, picture_of  # noqa: E402
from qarnest_explorer import (MOST_FRAMES, ExploreError, choose_windows, counts_of,  # noqa: E402
                              requested_windows, split_svg)

import nbformat  # noqa: E402
from jupyter_client.manager import KernelManager  # noqa: E402
from nbclient import NotebookClient  # noqa: E402
from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.options import Options  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402

FRAMES = re.compile(r'<script type="application/json" class="qarnest-frames">(.*?)</script>', re.S)

TRIANGLE = ("K := { N | 0 <= N <= 10 } ;\nT := { i, j, N | 0 <= j <= i <= N } ;\ninitvisu (2, K) ;\n"
            "parameters (N = 4) ;\nvisu (T) ;")
# Two parameters, a context that is not a box, two domains.
PAIR = ("C := { N, M | 0 <= N <= 4, 0 <= M <= N } ;\nA := { i, j, N, M | 0 <= j <= i <= N, j <= M } ;\n"
        "B := { i, j, N, M | 0 <= i <= M, 0 <= j <= 1 } ;\ninitvisu (2, C) ;\nparameters (N = 3, M = 1) ;\n"
        "visu (A) ;\nvisu (B) ;")


def triangle(n):
    return {(i, j) for i in range(n + 1) for j in range(i + 1)}


def frames_of(page):
    """The explorer's data: names, windows, pictures and counts per frame."""
    return json.loads(FRAMES.search(page).group(1))


def frame_picture(data, index):
    picture = data["frames"][index]
    return None if picture < 0 else data["head"] + data["pictures"][picture] + data["tail"]


def parameter(name, value, low, high):
    return {"name": name, "value": value, "low": low, "high": high}


class ValuesCoveredTest(unittest.TestCase):
    def test_windows_grow_around_the_current_values_up_to_the_limit(self):
        cases = [
            # parameters, windows asked, windows chosen
            ([parameter("N", 4, 0, 10)], {}, [(0, 10)]),
            ([parameter("N", 4, 0, 1000)], {}, [(0, 99)]),
            ([parameter("N", 500, 0, 1000)], {}, [(451, 550)]),
            ([parameter("N", 3, 0, None)], {}, [(0, 99)]),
            ([parameter("N", 0, None, None)], {}, [(-49, 50)]),
            ([parameter("N", 5, 5, 5)], {}, [(5, 5)]),
            ([parameter("N", 4, 0, 1000), parameter("M", 4, 0, 1000)], {}, [(0, 9), (0, 9)]),
            ([parameter("N", 0, 0, 1)] * 3, {}, [(0, 1)] * 3),
            ([parameter("N", 4, 0, 10), parameter("M", 2, 0, 1000)], {0: (0, 3)}, [(0, 3), (0, 24)]),
            ([parameter("N", 4, 0, 10)], {0: (20, 30)}, [(20, 30)]),
        ]
        for parameters, asked, chosen in cases:
            with self.subTest(parameters=parameters, asked=asked):
                self.assertEqual(choose_windows(parameters, asked), chosen)

    def test_explore_lines(self):
        names = ["N", "M"]
        self.assertEqual(requested_windows("", names), {})
        self.assertEqual(requested_windows("M=-2..3, N=7..7", names), {1: (-2, 3), 0: (7, 7)})
        refused = [
            ("N=5..3", "the first value is larger than the last"),
            ("X=0..1", "'X' is not a parameter of the viewer's context (N, M)"),
            ("N:0..3", "give NAME=LOW..HIGH"),
            ("N=0..%d" % MOST_FRAMES, "make %d pictures, more than the %d" % (MOST_FRAMES + 1, MOST_FRAMES)),
            ("N=0..9 M=0..10", "make 110 pictures"),
        ]
        for text, message in refused:
            with self.subTest(text=text):
                with self.assertRaises(ExploreError) as raised:
                    requested_windows(text, names)
                self.assertIn(message, str(raised.exception))

    def test_counts_are_read_from_cards_answer(self):
        answer = ("> N = 0, M = 0 : 1 point\n> N = 1, M = -2 : 0 points\n"
                  "> N = 2, M = 0 : 123456789012345678901234567890 points\n> Error - line 3 : no\n")
        self.assertEqual(counts_of(answer), {(0, 0): 1, (1, -2): 0, (2, 0): 123456789012345678901234567890})

    def test_pictures_keep_their_text_once_split(self):
        pictures = ['<svg a>\n<rect/>\n<line 1/>\n<path p/>\n</svg>\n', '<svg a>\n<rect/>\n<path q/>\n</svg>\n',
                    '<svg a>\n<rect/>\n</svg>\n']
        head, tail, middles = split_svg(pictures)
        self.assertEqual((head, tail), ('<svg a>\n<rect/>\n', '</svg>\n'))
        self.assertEqual([head + middle + tail for middle in middles], pictures)
        self.assertEqual(middles[2], "")
        head, tail, middles = split_svg(pictures[:1] * 2)
        self.assertEqual((head + tail, middles), (pictures[0], ["", ""]))


class ExplorerKernelTest(unittest.TestCase):
    """%explore through the real kernel: every frame and count checked."""

    @classmethod
    def setUpClass(cls):
        cls.place = tempfile.TemporaryDirectory(prefix="qarnest-explorer-test-")
        os.environ.update(jupyter_environment(os.environ["QARNEST_PREFIX"], cls.place.name))

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

    def run_cell(self, code, timeout=120):
        outputs = {"stdout": "", "stderr": "", "pages": [], "pictures": []}

        def output(message):
            kind, content = message["msg_type"], message["content"]
            if kind == "stream":
                outputs[content["name"]] += content["text"]
            elif kind == "display_data":
                if "text/html" in content["data"]:
                    outputs["pages"].append(content["data"]["text/html"])
                else:
                    outputs["pictures"].append(content["data"]["image/svg+xml"])

        reply = self.client.execute_interactive(code, output_hook=output, timeout=timeout, stop_on_error=False)
        outputs["status"] = reply["content"]["status"]
        return outputs

    def test_refusals(self):
        cases = [
            # cell, message
            ("%explore", "%explore: no domain is shown\n"),
            ("E := { | } ;\nQ := { i, j | 0 <= i <= 1, 0 <= j <= 1 } ;\ninitvisu (2, E) ;\nvisu (Q) ;\n%explore",
             "%explore: the viewer's context has no parameters\n"),
            (TRIANGLE + "\n%explore X=0..2", "%explore: 'X' is not a parameter of the viewer's context (N)\n"),
            ("%explore N=0..100", "%explore: these values make 101 pictures, more than the 100 an explorer holds\n"),
            ("%explore N=3", "%explore N=3: give NAME=LOW..HIGH for the parameters to explore\n"),
        ]
        for code, message in cases:
            with self.subTest(code=code):
                cell = self.run_cell(code)
                self.assertEqual(cell["status"], "error")
                self.assertEqual(cell["stderr"], message)
                self.assertEqual(cell["pages"], [])

    def test_every_frame_is_the_viewers_picture_and_cards_count(self):
        self.run_cell(TRIANGLE)
        cell = self.run_cell("%explore")
        self.assertEqual(cell["status"], "ok", cell["stderr"])
        self.assertEqual((cell["pictures"], len(cell["pages"])), ([], 1))
        data = frames_of(cell["pages"][0])
        self.assertEqual((data["names"], data["windows"], data["domains"]), (["N"], [[0, 10]], ["T"]))
        for n in range(11):
            with self.subTest(N=n):
                self.assertEqual(picture_of(marker_centres(frame_picture(data, n))), triangle(n))
                self.assertEqual(data["counts"][n], [str((n + 1) * (n + 2) // 2)])
        self.assertIn("11 pictures, at most 100 per explorer.", cell["pages"][0])
        self.assertIn('value="4"', cell["pages"][0], "the slider starts at the current value")
        self.assertEqual(re.findall(r"src=|href=|https?://(?!www\.w3\.org/2000/svg)", cell["pages"][0]), [],
                         "nothing fetched from elsewhere")
        # The viewer has its values back; the requests counted no line.
        self.assertEqual(self.run_cell("list ;")["pictures"], [], "the picture is the one before")
        shown = self.run_cell("%picture")
        self.assertEqual(picture_of(marker_centres(shown["pictures"][0])), triangle(4))
        self.assertIn("> Error - line 7 :  'Q' undeclared", self.run_cell("print Q ;")["stderr"])
        # A cell that changes the picture and explores shows the explorer alone.
        cell = self.run_cell("parameters (N = 2) ;\n%explore N=1..3")
        self.assertEqual((len(cell["pages"]), cell["pictures"]), (1, []))
        data = frames_of(cell["pages"][0])
        self.assertEqual([c[0] for c in data["counts"]], ["3", "6", "10"])
        self.assertEqual(self.run_cell("list ;")["pictures"], [])

    def test_two_parameters_values_outside_the_context_and_two_domains(self):
        self.assertEqual(self.run_cell(PAIR)["status"], "ok")
        cell = self.run_cell("%explore")
        self.assertEqual(cell["status"], "ok", cell["stderr"])
        data = frames_of(cell["pages"][0])
        self.assertEqual((data["windows"], data["domains"]), ([[0, 4], [0, 4]], ["A", "B"]))
        index = 0
        for n in range(5):
            for m in range(5):
                with self.subTest(N=n, M=m):
                    if m > n:
                        self.assertEqual((data["frames"][index], data["counts"][index]), (-1, None))
                    else:
                        a = sum(min(i, m) + 1 for i in range(n + 1))
                        self.assertEqual(data["counts"][index], [str(a), str((m + 1) * 2)])
                        self.assertIsNotNone(frame_picture(data, index))
                index += 1
        self.assertEqual(len(data["pictures"]), len(set(data["pictures"])), "each picture kept once")
        self.assertIn("<output", cell["pages"][0])
        self.assertIn("N = 3", cell["pages"][0])
        self.assertIn("M = 1", cell["pages"][0])

    def test_a_large_range_is_cut_to_the_limit_and_said(self):
        self.run_cell("K := { N | N >= 0 } ;\nT := { i, j, N | 0 <= j <= i <= N } ;\ninitvisu (2, K) ;\n"
                      "parameters (N = 500) ;\nvisu (T) ;\n%picture 60x60")
        cell = self.run_cell("%explore")
        data = frames_of(cell["pages"][0])
        self.assertEqual(data["windows"], [[451, 550]])
        self.assertEqual(data["counts"][0], [str(452 * 453 // 2)])
        self.assertIn("100 pictures, at most 100 per explorer; shown: N from 451 to 550 (in the context: 0 to "
                      "&infin;). Others: %explore NAME=LOW..HIGH", cell["pages"][0])

    def test_interrupt_stops_the_explorer_and_gives_the_values_back(self):
        self.run_cell("K := { N | 0 <= N <= 200 } ;\nW := { i, j, N | 0 <= i <= 199, 0 <= j <= 49, "
                      "i + j <= N + 150 } ;\ninitvisu (2, K) ;\nparameters (N = 99) ;\nvisu (W) ;\n%picture 2000x2000")
        message = self.client.execute("%explore", stop_on_error=False)
        time.sleep(1.5)
        self.manager.interrupt_kernel()
        deadline = time.monotonic() + 30
        while True:
            reply = self.client.get_shell_msg(timeout=max(0.1, deadline - time.monotonic()))
            if reply["parent_header"].get("msg_id") == message:
                break
        self.assertEqual(reply["content"]["status"], "error")
        self.assertIn("%explore was interrupted", reply["content"]["evalue"])
        self.assertEqual(self.run_cell("list ;")["pictures"], [], "the values are back")


class ExplorerPageTest(unittest.TestCase):
    """The explorer saved in a notebook, made into HTML by nbconvert without
    a kernel, and used in Chromium."""

    @classmethod
    def setUpClass(cls):
        cls.place = tempfile.TemporaryDirectory(prefix="qarnest-explorer-page-")
        os.environ.update(jupyter_environment(os.environ["QARNEST_PREFIX"], cls.place.name))
        notebook = nbformat.v4.new_notebook(metadata={"kernelspec": {"name": "qarnest", "display_name": "Qarnest",
                                                                     "language": "qarnest"}})
        notebook.cells = [nbformat.v4.new_code_cell(TRIANGLE), nbformat.v4.new_code_cell("%explore"),
                          nbformat.v4.new_code_cell(PAIR), nbformat.v4.new_code_cell("%explore")]
        NotebookClient(notebook, kernel_name="qarnest", timeout=120,
                       resources={"metadata": {"path": cls.place.name}}).execute()
        cls.saved = os.path.join(cls.place.name, "explore.ipynb")
        with open(cls.saved, "w", encoding="utf-8") as out:
            nbformat.write(notebook, out)

    @classmethod
    def tearDownClass(cls):
        cls.place.cleanup()

    def test_the_saved_notebook_holds_the_explorers(self):
        with open(self.saved, encoding="utf-8") as source:
            notebook = nbformat.read(source, as_version=4)
        pages = [output.data["text/html"] for cell in notebook.cells for output in cell.outputs
                 if output.output_type == "display_data" and "text/html" in output.data]
        self.assertEqual(len(pages), 2)
        self.assertEqual(len(frames_of(pages[0])["frames"]), 11)

    def test_sliders_change_the_picture_and_the_counts_in_a_real_browser(self):
        converted = subprocess.run(["jupyter", "nbconvert", "--to", "html", self.saved], capture_output=True,
                                   text=True, env=dict(os.environ))
        self.assertEqual(converted.returncode, 0, converted.stderr)
        page = os.path.join(self.place.name, "explore.html")
        options = Options()
        options.binary_location = "/usr/bin/chromium"
        for flag in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--disable-dev-shm-usage", "--window-size=1200,1000",
                     "--user-data-dir=" + os.path.join(self.place.name, "chromium")]:
            options.add_argument(flag)
        browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        try:
            browser.set_page_load_timeout(60)
            browser.get("file://" + page)
            explorers = browser.find_elements(By.CSS_SELECTOR, ".qarnest-explorer")
            self.assertEqual(len(explorers), 2)
            first, second = explorers

            def shown(explorer):
                svg = explorer.find_elements(By.CSS_SELECTOR, ".qarnest-picture svg")
                counts = explorer.find_element(By.CSS_SELECTOR, ".qarnest-counts").text
                return (picture_of(marker_centres(svg[0].get_attribute("outerHTML"))) if svg else None), counts

            self.assertEqual(shown(first), (triangle(4), "■ T: 15 points"))
            slider = first.find_element(By.CSS_SELECTOR, "input[type=range]")
            browser.execute_script("arguments[0].scrollIntoView();", slider)
            slider.send_keys(Keys.ARROW_RIGHT, Keys.ARROW_RIGHT)
            self.assertEqual(shown(first), (triangle(6), "■ T: 28 points"))
            self.assertEqual(first.find_element(By.TAG_NAME, "output").text, "N = 6")
            slider.send_keys(Keys.HOME)
            self.assertEqual(shown(first), (triangle(0), "■ T: 1 point"))
            slider.send_keys(Keys.END)
            self.assertEqual(shown(first), (triangle(10), "■ T: 66 points"))
            # The second explorer, two sliders: its own picture and counts.
            n_slider, m_slider = second.find_elements(By.CSS_SELECTOR, "input[type=range]")
            browser.execute_script("arguments[0].scrollIntoView();", n_slider)
            self.assertEqual(shown(second)[1], "■ A: 7 points ■ B: 4 points")
            m_slider.send_keys(Keys.ARROW_RIGHT)
            self.assertEqual(shown(second)[1], "■ A: 9 points ■ B: 6 points")
            m_slider.send_keys(Keys.ARROW_RIGHT, Keys.ARROW_RIGHT)
            self.assertEqual(shown(second)[0], None)
            self.assertIn("outside the context", second.find_element(By.CSS_SELECTOR, ".qarnest-picture").text)
            n_slider.send_keys(Keys.END)
            picture, counts = shown(second)
            self.assertIsNotNone(picture)
            self.assertEqual(counts, "■ A: 15 points ■ B: 10 points")
            self.assertEqual(shown(first)[1], "■ T: 66 points", "the first explorer stays as it was")
            # The page's own scripts (require.js, MathJax) are missing here; the explorer's ran without error.
            self.assertEqual([entry for entry in browser.get_log("browser")
                              if entry["level"] == "SEVERE" and entry["source"] != "network"], [])
        finally:
            browser.quit()


if __name__ == "__main__":
    unittest.main()
