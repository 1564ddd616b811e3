"""The tour notebook as a reader meets it: kept without outputs, executed by
nbclient on the installed kernel, turned into HTML by nbconvert and opened
in a real headless Chromium, where its pictures must be drawn.

Run with Debian's Python: QARNEST_PREFIX names the installed tree and
QARNEST_SOURCE_DIR the repository."""

import os
import struct
import sys
import tempfile
import unittest
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from notebook_support import jupyter_environment, marker_centres, picture_of  # noqa: E402

import nbformat  # noqa: E402
from nbclient import NotebookClient  # noqa: E402
from nbconvert import HTMLExporter  # noqa: E402
from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.options import Options  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402

TOUR = os.path.join(os.environ.get("QARNEST_SOURCE_DIR", "."), "examples", "tour.ipynb")


def png_pixels(data):
    """Width, height and RGBA rows of an 8-bit RGB or RGBA PNG, as a
    browser's screenshot is."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    position, chunks, header = 8, [], None
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            chunks.append(body)
        position += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert depth == 8 and colour in (2, 6) and interlace == 0, header
    channels = 4 if colour == 6 else 3
    raw = zlib.decompress(b"".join(chunks))
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = line[x - channels] if x >= channels else 0
            up = previous[x]
            corner = previous[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + left) & 255
            elif kind == 2:
                line[x] = (line[x] + up) & 255
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 255
            elif kind == 4:
                guess = left + up - corner
                near = min((abs(guess - left), 0), (abs(guess - up), 1), (abs(guess - corner), 2))[1]
                line[x] = (line[x] + (left, up, corner)[near]) & 255
        rows.append(bytes(line))
        previous = line
    return width, height, channels, rows


def non_white_pixels(png):
    width, height, channels, rows = png_pixels(png)
    return sum(1 for row in rows for x in range(width)
               if min(row[x * channels:x * channels + 3]) < 200)


class TourTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.place = tempfile.TemporaryDirectory(prefix="qarnest-tour-test-")
        os.environ.update(jupyter_environment(os.environ["QARNEST_PREFIX"], cls.place.name))
        with open(TOUR, encoding="utf-8") as source:
            cls.kept = nbformat.read(source, as_version=4)
        cls.executed = nbformat.from_dict(cls.kept)
        NotebookClient(cls.executed, kernel_name="qarnest", timeout=120,
                       resources={"metadata": {"path": cls.place.name}}).execute()

    @classmethod
    def tearDownClass(cls):
        cls.place.cleanup()

    def code_cells(self, notebook):
        return [cell for cell in notebook.cells if cell.cell_type == "code"]

    def test_the_repository_keeps_it_without_outputs(self):
        nbformat.validate(self.kept)
        self.assertEqual(self.kept.metadata.kernelspec.name, "qarnest")
        for cell in self.code_cells(self.kept):
            self.assertEqual((cell.outputs, cell.execution_count), ([], None), cell.source)

    def test_every_cell_answers_without_error(self):
        for cell in self.code_cells(self.executed):
            with self.subTest(cell=cell.source):
                self.assertTrue(cell.outputs, "every cell answers")
                kinds = {output.output_type for output in cell.outputs}
                self.assertNotIn("error", kinds)
                self.assertFalse([o for o in cell.outputs if o.output_type == "stream" and o.name == "stderr"])
        text = "".join(output.get("text", "") for cell in self.code_cells(self.executed) for output in cell.outputs)
        for answer in ["> Both :=   ", "> Sheared :=   ", "( 1/2 * N^2 + 3/2 * N + 1 )", "[ N,  N ]"]:
            self.assertIn(answer, text)

    def test_the_viewer_draws_the_parametric_triangle_at_both_values(self):
        pictures = [output.data["image/svg+xml"] for cell in self.code_cells(self.executed)
                    for output in cell.outputs if output.output_type == "display_data"
                    and "image/svg+xml" in output.data]
        self.assertEqual(len(pictures), 2)
        for picture, n in zip(pictures, (3, 6)):
            self.assertEqual(picture_of(marker_centres(picture)),
                             {(i, j) for i in range(n + 1) for j in range(i + 1)}, "N = %d" % n)

    def test_the_explorer_shows_the_triangle_over_its_parameter(self):
        pages = [output.data["text/html"] for cell in self.code_cells(self.executed)
                 for output in cell.outputs if output.output_type == "display_data" and "text/html" in output.data]
        self.assertEqual(len(pages), 1)
        self.assertIn("13 pictures, at most 100 per explorer; shown: N from 0 to 12", pages[0])
        self.assertIn('value="6"', pages[0], "the slider starts at the value the viewer had")

    def test_the_html_shows_the_pictures_in_a_real_browser(self):
        # Debian's nbconvert empties inline SVG pictures with lxml's HTML
        # cleaner; the template installed with the kernel keeps them.
        html, _ = HTMLExporter(template_name="qarnest").from_notebook_node(self.executed)
        page = os.path.join(self.place.name, "tour.html")
        with open(page, "w", encoding="utf-8") as out:
            out.write(html)
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
            figures = [svg for svg in browser.find_elements(By.CSS_SELECTOR, ".jp-RenderedSVG svg")
                       if svg.get_attribute("width") == "480"]
            self.assertEqual(len(figures), 2)
            explorer = browser.find_element(By.CSS_SELECTOR, ".qarnest-explorer")
            self.assertEqual(explorer.find_element(By.CSS_SELECTOR, ".qarnest-counts").text, "■ T: 28 points")
            for figure in figures:
                browser.execute_script("arguments[0].scrollIntoView();", figure)
                self.assertEqual((figure.size["width"], figure.size["height"]), (480, 400))
                self.assertGreater(non_white_pixels(figure.screenshot_as_png), 500, "edges and markers are drawn")
        finally:
            browser.quit()


if __name__ == "__main__":
    unittest.main()
