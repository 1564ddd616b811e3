"""The parameter explorer of the notebook kernel: which values of the
viewer's parameters a `%explore` line covers, and the self-contained HTML
page fragment that shows their pictures and counts under sliders.

Everything the fragment shows is computed beforehand by the calculator (its
pictures as SVG, its counts by `card`); the fragment needs no kernel, no
network and no script from elsewhere, so it works in a saved notebook and in
the HTML that nbconvert makes of it."""

import html
import json
import re
import uuid

# At most this many sets of values (frames) per explorer: each frame is one
# picture in the page.
MOST_FRAMES = 100

WINDOW = re.compile(r"^([A-Za-z_][A-Za-z0-9_]*)=(-?\d+)\.\.(-?\d+)$")
COUNT_LINE = re.compile(r"^> (.+?) : (\d+) points?$")


class ExploreError(Exception):
    """A %explore line that cannot be followed; the message says why."""


def requested_windows(text, names):
    """The windows a %explore line names: NAME=LOW..HIGH, separated by blanks
    or commas. Returns {index of the parameter: (low, high)}."""
    windows = {}
    for item in re.split(r"[\s,]+", text.strip()):
        if not item:
            continue
        match = WINDOW.match(item)
        if not match:
            raise ExploreError("%%explore %s: give NAME=LOW..HIGH for the parameters to explore" % item)
        name, low, high = match.group(1), int(match.group(2)), int(match.group(3))
        if name not in names:
            raise ExploreError("%%explore: '%s' is not a parameter of the viewer's context (%s)"
                               % (name, ", ".join(names)))
        if low > high:
            raise ExploreError("%%explore %s: the first value is larger than the last" % item)
        windows[names.index(name)] = (low, high)
    frames = 1
    for low, high in windows.values():
        frames *= high - low + 1
    if frames > MOST_FRAMES:
        raise ExploreError("%%explore: these values make %d pictures, more than the %d an explorer holds"
                           % (frames, MOST_FRAMES))
    return windows


def choose_windows(parameters, requested):
    """A window of values per parameter: the requested ones as given, the
    others grown one value at a time around the current value, in turn and
    within the context's range, while all the windows together make at most
    MOST_FRAMES frames. `parameters` are the calculator's (name, value, low,
    high; None for an unbounded side)."""
    windows = [list(requested.get(k, (p["value"], p["value"]))) for k, p in enumerate(parameters)]

    def frames():
        total = 1
        for low, high in windows:
            total *= high - low + 1
        return total

    growing = [k for k in range(len(parameters)) if k not in requested]
    upward = True
    while growing:
        grown = []
        for k in growing:
            low, high = windows[k]
            size = high - low + 1
            if frames() // size * (size + 1) > MOST_FRAMES:
                continue
            can_rise = parameters[k]["high"] is None or high < parameters[k]["high"]
            can_fall = parameters[k]["low"] is None or low > parameters[k]["low"]
            if can_rise and (upward or not can_fall):
                windows[k][1] += 1
            elif can_fall:
                windows[k][0] -= 1
            else:
                continue
            grown.append(k)
        growing = grown
        upward = not upward
    return [tuple(window) for window in windows]


def value_sets(windows):
    """Every set of values of the windows, the last parameter varying
    fastest (the order of the frames)."""
    sets = [()]
    for low, high in windows:
        sets = [values + (v,) for values in sets for v in range(low, high + 1)]
    return sets


def counts_of(card_answer):
    """{values: count} from card's answer lines ("> N = 3, M = 2 : 10 points")."""
    counts = {}
    for line in card_answer.splitlines():
        match = COUNT_LINE.match(line)
        if match:
            values = tuple(int(v) for v in re.findall(r"= (-?\d+)", match.group(1)))
            counts[values] = int(match.group(2))
    return counts


def split_svg(pictures):
    """The head and tail common to every picture (the svg element and the
    background), and each picture's own middle."""
    if not pictures:
        return "", "", []
    lines = [picture.splitlines(keepends=True) for picture in pictures]
    head = 0
    while all(len(l) > head and l[head] == lines[0][head] for l in lines):
        head += 1
    tail = 0
    while all(len(l) - tail > head and l[-tail - 1] == lines[0][-tail - 1] for l in lines):
        tail += 1
    middles = ["".join(l[head:len(l) - tail]) for l in lines]
    return "".join(lines[0][:head]), "".join(lines[0][len(lines[0]) - tail:]), middles


def script_json(value):
    """JSON that can stand inside a script element."""
    return json.dumps(value, separators=(",", ":")).replace("</", "<\\/").replace("<!--", "<\\!--")


def explorer_html(parameters, windows, domains, frames, start):
    """The explorer: `frames` holds, for each set of values in value_sets
    order, None (outside the context) or (svg, [count or None per domain]);
    `start` is the index of the frame of the current values."""
    pictures = [frame[0] for frame in frames if frame is not None]
    head, tail, middles = split_svg(pictures)
    # Equal pictures are kept once.
    kept, index_of, picture_index = [], {}, []
    for middle in middles:
        if middle not in index_of:
            index_of[middle] = len(kept)
            kept.append(middle)
        picture_index.append(index_of[middle])
    # Counts as text: they may pass what a page's numbers hold exactly.
    shown, counts, taken = [], [], iter(picture_index)
    for frame in frames:
        if frame is None:
            shown.append(-1)
            counts.append(None)
        else:
            shown.append(next(taken))
            counts.append([None if count is None else str(count) for count in frame[1]])
    names = [p["name"] for p in parameters]
    identity = "qarnest-explorer-" + uuid.uuid4().hex
    data = {"names": names, "windows": windows, "domains": [d["name"] for d in domains],
            "head": head, "tail": tail, "pictures": kept, "frames": shown, "counts": counts, "outside": OUTSIDE}

    start_values = value_sets(windows)[start]
    sliders = []
    for k, (name, (low, high)) in enumerate(zip(names, windows)):
        sliders.append(
            '<label style="display:block;margin:2px 0">'
            '<span style="display:inline-block;min-width:3em">%s</span>'
            '<input type="range" data-parameter="%d" min="%d" max="%d" step="1" value="%d" style="width:280px;'
            'vertical-align:middle"%s> <output style="display:inline-block;min-width:5em">%s = %d</output></label>'
            % (html.escape(name), k, low, high, start_values[k], ' disabled' if low == high else '',
               html.escape(name), start_values[k]))
    limits = []
    for name, parameter, (low, high) in zip(names, parameters, windows):
        whole_low = "-&infin;" if parameter["low"] is None else str(parameter["low"])
        whole_high = "&infin;" if parameter["high"] is None else str(parameter["high"])
        if (parameter["low"], parameter["high"]) != (low, high):
            limits.append("%s from %d to %d (in the context: %s to %s)"
                          % (html.escape(name), low, high, whole_low, whole_high))
    note = ("%d pictures, at most %d per explorer" % (len(frames), MOST_FRAMES)
            + ("; shown: " + "; ".join(limits) + ". Others: %explore NAME=LOW..HIGH" if limits else "."))
    first = frames[start]
    return (
        '<div class="qarnest-explorer" id="%(id)s" style="font-family:sans-serif;font-size:13px">\n'
        '%(sliders)s\n'
        '<div class="qarnest-counts" style="margin:4px 0">%(counts)s</div>\n'
        '<div class="qarnest-picture">%(picture)s</div>\n'
        '<div class="qarnest-note" style="color:#666;margin-top:4px">%(note)s</div>\n'
        '<script type="application/json" class="qarnest-frames">%(data)s</script>\n'
        '<script>%(code)s</script>\n'
        '</div>\n'
        % {"id": identity, "sliders": "\n".join(sliders),
           "counts": counts_html(domains, first[1] if first else None),
           "picture": first[0] if first else OUTSIDE, "note": note, "data": script_json(data),
           "code": SCRIPT.replace("IDENTITY", identity)})


OUTSIDE = '<p style="color:#c00">These values are outside the context: nothing is drawn.</p>'


def counts_html(domains, counts):
    """Each shown domain's count, after a square of its colour."""
    if counts is None:
        return "&nbsp;"
    parts = []
    for domain, count in zip(domains, counts):
        name, colour = domain["name"], domain["colour"]
        number = "?" if count is None else "%d point%s" % (count, "" if count == 1 else "s")
        parts.append('<span style="margin-right:1.5em"><span style="color:%s">&#9632;</span> %s: '
                     '<span class="qarnest-count">%s</span></span>' % (colour, html.escape(name), number))
    return " ".join(parts)


# The page's part: the sliders choose a frame, shown from the data above.
SCRIPT = r"""
(function () {
  var root = document.currentScript ? document.currentScript.parentNode : document.getElementById("IDENTITY");
  if (!root || !root.querySelector) root = document.getElementById("IDENTITY");
  var data = JSON.parse(root.querySelector("script.qarnest-frames").textContent);
  var sliders = root.querySelectorAll("input[data-parameter]");
  var colours = [];
  root.querySelectorAll(".qarnest-counts > span > span:first-child").forEach(function (swatch) {
    colours.push(swatch.style.color);
  });
  function escape(text) {
    return String(text).replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;");
  }
  function show() {
    var index = 0;
    for (var k = 0; k < sliders.length; ++k) {
      var low = data.windows[k][0], high = data.windows[k][1], value = Number(sliders[k].value);
      sliders[k].nextElementSibling.textContent = data.names[k] + " = " + value;
      index = index * (high - low + 1) + (value - low);
    }
    var picture = data.frames[index], counts = data.counts[index];
    root.querySelector(".qarnest-picture").innerHTML =
      picture < 0 ? data.outside : data.head + data.pictures[picture] + data.tail;
    var parts = [];
    if (counts) {
      for (var d = 0; d < data.domains.length; ++d) {
        var count = counts[d];
        parts.push('<span style="margin-right:1.5em"><span style="color:' + (colours[d] || "#000") +
                   '">&#9632;</span> ' + escape(data.domains[d]) + ': <span class="qarnest-count">' +
                   (count === null ? "?" : count + (count === "1" ? " point" : " points")) + '</span></span>');
      }
    }
    root.querySelector(".qarnest-counts").innerHTML = parts.length ? parts.join(" ") : "&nbsp;";
  }
  for (var k = 0; k < sliders.length; ++k) sliders[k].addEventListener("input", show);
})();
"""
