"""The text of a Koravel page as a reader sees it, for comparison with the
console report: the words outside the drawings (figures, SVG), the style and
the script, in document order. A page whose elements do not nest is an error.
"""
import re
from html.parser import HTMLParser

VOID = {"meta", "br", "hr", "img", "link", "input", "col", "area", "base", "wbr", "source"}
HIDDEN = {"svg", "style", "script", "title", "figure", "head"}
NUMBER = re.compile(r"-?\d+(?:\.\d+)?(?:\(\d+\))?")


class _Text(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.open, self.hidden, self.chunks = [], 0, []

    def handle_starttag(self, tag, attrs):
        if tag in VOID:
            return
        self.open.append(tag)
        self.hidden += tag in HIDDEN

    def handle_endtag(self, tag):
        if tag in VOID:
            return
        if not self.open or self.open[-1] != tag:
            raise ValueError(f"</{tag}> closes <{self.open[-1] if self.open else 'nothing'}>")
        self.open.pop()
        self.hidden -= tag in HIDDEN

    def handle_data(self, data):
        if not self.hidden:
            self.chunks.append(data)


def page_words(html):
    """The words of the page's text, "=" and ":" left out (the console's
    alignment marks, which a table's columns replace)."""
    parser = _Text()
    parser.feed(html)
    parser.close()
    if parser.open:
        raise ValueError(f"<{parser.open[-1]}> is never closed")
    return report_words(" ".join(parser.chunks))


def report_words(text):
    return [w for w in text.split() if w not in ("=", ":")]


def numbers(words):
    return [m.group(0) for w in words for m in NUMBER.finditer(w)]


def compare(html, console, brief):
    """"" when the page holds the console report's words in order (for a brief
    run: every number of the brief line), else what differs."""
    try:
        got = page_words(html)
    except ValueError as error:
        return f"the page is not well formed: {error}"
    want = report_words(console)
    if brief:
        missing = [n for n in numbers(want) if n not in set(numbers(got))]
        return f"numbers of the brief line missing from the page: {missing}" if missing else ""
    if got == want:
        return ""
    k = next((i for i, (g, w) in enumerate(zip(got, want)) if g != w), min(len(got), len(want)))
    return (f"the page's text differs from the console report at word {k}: "
            f"page {got[max(0, k - 3):k + 4]}, console {want[max(0, k - 3):k + 4]}")
