#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Plays Narravox's web page in headless Chromium as a player does and compares what it shows
with narravox-term's batch mode playing the same game in a text window of the same size.

Usage:
    browser_test.py --site build/web/site --term build/ci/src/term/narravox-term \
        --demo-source games/demo [--artefacts DIR] [unittest options, test names]

The site folder is served by a local HTTP server on 127.0.0.1; Chromium runs headless with a
fresh profile; nothing is downloaded. Exit status 0 when every test passes.
"""

import argparse
import difflib
import faulthandler
import functools
import http.server
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zlib

try:
    from selenium import webdriver
    from selenium.common.exceptions import WebDriverException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
except ImportError:
    print('skipped: Selenium is not installed (Debian\'s python3-selenium)', file=sys.stderr)
    sys.exit(77)

HERE = os.path.dirname(os.path.abspath(__file__))
REPOSITORY = os.path.dirname(os.path.dirname(HERE))

# How long a step may take before the test calls it a hang. Loading covers fetching and
# compiling the engine, the start-up warning and the paced title (a few seconds); a command
# covers the paced ending of the demo, one line a second.
LOAD_TIMEOUT = 30
STEP_TIMEOUT = 15
# The whole run: past this the process dumps its stacks and ends, failing.
RUN_TIMEOUT = 300

# The desktop window's colours, which the page draws with too.
SILVER = (192, 192, 192)
BLACK = (0, 0, 0)
CELL_WIDTH = 8
CELL_HEIGHT = 16

# The browser window's inner size the tests play in, as the desktop test's screen.
VIEWPORT = (1024, 768)

OPTIONS = None  # the command line's options, set in main()


# ---------------------------------------------------------------------------------------------
# The reference: narravox-term in batch mode


def is_yes_answer(line):
    """A script line answering a yes-or-no box as batch mode takes it."""
    return line.lower() in ('да', 'д', 'yes', 'y')


def parse_boxes(stderr):
    """The boxes batch mode wrote to standard error, as (caption, text) pairs."""
    boxes = []
    for match in re.finditer(r'^\[([^\]\n]*)\] (.*?)(?=^\[[^\]\n]*\] |\Z)', stderr,
                             re.MULTILINE | re.DOTALL):
        boxes.append((match.group(1), match.group(2).rstrip('\n')))
    return boxes


class BatchRun:
    def __init__(self, status, lines, boxes, stderr):
        self.status = status
        self.lines = lines
        self.boxes = boxes
        self.stderr = stderr


def run_batch(game_folder, script, columns, lines):
    """Plays `script` (a list of lines) in batch mode in `game_folder` with a text window of
    `lines` x `columns`. The program runs through a link named Narravox, the name the page
    gives the engine, so that error boxes are captioned the same."""
    link_folder = tempfile.mkdtemp(prefix='narravox-link-')
    try:
        link = os.path.join(link_folder, 'Narravox')
        os.symlink(OPTIONS.term, link)
        result = subprocess.run(
            [link, '--batch', '--columns', str(columns), '--lines', str(lines), '--game',
             game_folder],
            input=''.join(line + '\n' for line in script), capture_output=True, text=True,
            timeout=60)
    finally:
        shutil.rmtree(link_folder)
    out = result.stdout.split('\n')
    if out and out[-1] == '':
        out.pop()
    return BatchRun(result.returncode, out, parse_boxes(result.stderr), result.stderr)


def demo_copy():
    """A scratch copy of the demo game as the site serves it, for batch runs that save."""
    folder = tempfile.mkdtemp(prefix='narravox-demo-')
    source = os.path.join(OPTIONS.site, 'games', 'demo')
    for name in os.listdir(source):
        shutil.copy(os.path.join(source, name), folder)
    return folder


def read_lines(path):
    with open(path, encoding='utf-8') as stream:
        return stream.read().split('\n')[:-1]


def walkthrough():
    return read_lines(os.path.join(OPTIONS.demo_source, 'walkthrough.txt'))


def lines_diff(expected, actual, expected_name='narravox-term --batch', actual_name='page'):
    return '\n'.join(difflib.unified_diff([repr(line) for line in expected],
                                          [repr(line) for line in actual], expected_name,
                                          actual_name, lineterm=''))


# ---------------------------------------------------------------------------------------------
# The console font and PNG screenshots


def load_font():
    """The 256 glyphs of 16 rows each, from the window's generated glyph table."""
    with open(OPTIONS.font, encoding='utf-8') as stream:
        text = stream.read()
    glyphs = []
    for match in re.finditer(r'\{\{([^}]*)\}\}', text):
        glyphs.append([int(value, 16) for value in match.group(1).split(',')])
    if len(glyphs) != 256 or any(len(glyph) != 16 for glyph in glyphs):
        raise RuntimeError('%s does not hold 256 glyphs of 16 rows' % OPTIONS.font)
    return glyphs


class Png:
    """An 8-bit RGB or RGBA, non-interlaced PNG decoded with zlib alone; `rows` holds each
    pixel row as RGB bytes."""

    def __init__(self, path):
        with open(path, 'rb') as stream:
            data = stream.read()
        if data[:8] != b'\x89PNG\r\n\x1a\n':
            raise ValueError('%s is no PNG file' % path)
        position = 8
        compressed = []
        while position < len(data):
            length, kind = struct.unpack('>I4s', data[position:position + 8])
            body = data[position + 8:position + 8 + length]
            position += 12 + length
            if kind == b'IHDR':
                (self.width, self.height, depth, colour, _, _,
                 interlace) = struct.unpack('>IIBBBBB', body)
                if depth != 8 or colour not in (2, 6) or interlace != 0:
                    raise ValueError('%s: PNG depth %d colour type %d interlace %d not read'
                                     % (path, depth, colour, interlace))
                self.channels = 3 if colour == 2 else 4
            elif kind == b'IDAT':
                compressed.append(body)
        raw = zlib.decompress(b''.join(compressed))
        stride = self.width * self.channels
        self.rows = []
        previous = bytes(stride)
        for y in range(self.height):
            start = y * (stride + 1)
            row = self._unfilter(raw[start], raw[start + 1:start + 1 + stride], previous)
            previous = row
            if self.channels == 4:
                rgb = bytearray(self.width * 3)
                for channel in range(3):
                    rgb[channel::3] = row[channel::4]
                row = bytes(rgb)
            self.rows.append(row)

    def _unfilter(self, kind, row, previous):
        bpp = self.channels
        if kind == 0:
            return bytes(row)
        if kind == 2:
            # Byte-wise addition modulo 256 of the whole row at once.
            size = len(row)
            a = int.from_bytes(row, 'big')
            b = int.from_bytes(previous, 'big')
            low = int.from_bytes(b'\x7f' * size, 'big')
            high = int.from_bytes(b'\x80' * size, 'big')
            total = ((a & low) + (b & low)) ^ ((a ^ b) & high)
            return total.to_bytes(size, 'big')
        out = bytearray(row)
        for i in range(len(out)):
            left = out[i - bpp] if i >= bpp else 0
            up = previous[i]
            if kind == 1:
                out[i] = (out[i] + left) & 0xFF
            elif kind == 3:
                out[i] = (out[i] + ((left + up) >> 1)) & 0xFF
            elif kind == 4:
                upper_left = previous[i - bpp] if i >= bpp else 0
                p = left + up - upper_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - upper_left)
                if pa <= pb and pa <= pc:
                    predictor = left
                elif pb <= pc:
                    predictor = up
                else:
                    predictor = upper_left
                out[i] = (out[i] + predictor) & 0xFF
            else:
                raise ValueError('PNG filter type %d' % kind)
        return bytes(out)

    def pixel(self, x, y):
        row = self.rows[y]
        return row[3 * x], row[3 * x + 1], row[3 * x + 2]

    def span(self, x, y, count):
        """The RGB bytes of `count` pixels from (x, y) rightwards."""
        return self.rows[y][3 * x:3 * (x + count)]

    def colours(self, left, top, right, bottom):
        """The set of colours in the rectangle [left, right) x [top, bottom)."""
        found = set()
        for y in range(top, bottom):
            row = self.rows[y]
            for colour in set(row[3 * x:3 * x + 3] for x in range(left, right)):
                found.add(tuple(colour))
        return found


class GlyphReader:
    """Reads cells of a screenshot back into characters: a cell reads as a character only
    when each of its pixels is exactly the foreground or the background colour, in blocks of
    scale x scale screenshot pixels (crisp), and the whole shows that character's glyph."""

    def __init__(self, font, scale):
        self.scale = scale
        self.font = font
        self.character_of = {}
        for byte in range(0x20, 256):
            try:
                character = bytes([byte]).decode('cp1251')
            except UnicodeDecodeError:
                continue
            self.character_of.setdefault(tuple(font[byte]), character)
        self.patterns = {}
        for foreground, background in ((SILVER, BLACK), (BLACK, SILVER)):
            table = {}
            for bits in range(256):
                row = b''.join(bytes(foreground if bits & (0x80 >> column) else background)
                               * scale for column in range(CELL_WIDTH))
                table[row] = bits
            self.patterns[background] = table

    def cell(self, image, x, y):
        """The character a cell at screenshot pixel (x, y) shows, or None."""
        background = image.pixel(x, y)
        table = self.patterns.get(background)
        if table is None:
            return None
        width = CELL_WIDTH * self.scale
        rows = []
        for row in range(CELL_HEIGHT):
            top = y + row * self.scale
            pixels = image.span(x, top, width)
            bits = table.get(pixels)
            if bits is None or any(image.span(x, top + d, width) != pixels
                                   for d in range(1, self.scale)):
                return None
            rows.append(bits)
        if not any(rows):
            return ' '
        return self.character_of.get(tuple(rows))

    def canonical(self, text):
        """The text as cells read back: look-alike letters (Latin and Cyrillic "р") read as
        the first of them in the code page."""
        out = ''
        for character in text:
            try:
                glyph = tuple(self.font[character.encode('cp1251')[0]])
            except (UnicodeEncodeError, IndexError):
                out += '\ufffd'
                continue
            out += self.character_of.get(glyph, ' ' if not any(glyph) else '\ufffd')
        return out

    def row(self, image, x, y, cells):
        """The characters of `cells` cells from (x, y); U+FFFD for a cell that is no glyph."""
        text = ''
        for i in range(cells):
            character = self.cell(image, x + i * CELL_WIDTH * self.scale, y)
            text += '\ufffd' if character is None else character
        return text


# ---------------------------------------------------------------------------------------------
# The site's server and the browser


class SiteHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      '.wasm': 'application/wasm', '.js': 'text/javascript'}
    failed_requests = []

    def end_headers(self):
        # Every page load fetches the files again: the tests change none, but a stale engine
        # from an earlier run must never be what is tested.
        self.send_header('Cache-Control', 'no-store')
        super().end_headers()

    def log_message(self, format, *args):  # noqa: A002 (the base class's name)
        pass

    def log_request(self, code='-', size='-'):
        if isinstance(code, int) and code >= 400:
            SiteHandler.failed_requests.append('%d %s' % (code, self.path))


class Site:
    """A copy of the site folder with extra game folders next to it, served over HTTP."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix='narravox-site-')
        shutil.copytree(OPTIONS.site, self.root, dirs_exist_ok=True)
        handler = functools.partial(SiteHandler, directory=self.root)
        self.server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
        self.server.daemon_threads = True
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()
        self.url = 'http://127.0.0.1:%d/' % self.server.server_address[1]

    def add_game(self, name, source_folder):
        """Serves a copy of a game folder as /NAME/; returns the copy's path."""
        folder = os.path.join(self.root, name)
        shutil.copytree(source_folder, folder)
        return folder

    def close(self):
        self.server.shutdown()
        self.server.server_close()
        shutil.rmtree(self.root, ignore_errors=True)


def start_browser(scale=1):
    """Headless Chromium with a fresh profile, its page area VIEWPORT CSS pixels."""
    profile = tempfile.mkdtemp(prefix='narravox-chromium-')
    options = webdriver.ChromeOptions()
    options.binary_location = OPTIONS.chromium
    for argument in ('--headless=new', '--no-sandbox', '--disable-gpu',
                     '--disable-dev-shm-usage', '--no-first-run', '--no-default-browser-check',
                     '--disable-extensions', '--disable-background-networking',
                     '--disable-component-update', '--disable-sync', '--lang=ru',
                     '--user-data-dir=' + profile,
                     '--force-device-scale-factor=%d' % scale,
                     '--window-size=%d,%d' % VIEWPORT):
        options.add_argument(argument)
    options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
    driver = webdriver.Chrome(service=Service(OPTIONS.chromedriver), options=options)
    driver.profile_folder = profile
    driver.set_page_load_timeout(LOAD_TIMEOUT)
    driver.set_script_timeout(STEP_TIMEOUT)
    # Headless windows keep room for browser furniture: grow the window until the page itself
    # has the size wanted.
    for _ in range(3):
        inner = driver.execute_script('return [window.innerWidth, window.innerHeight]')
        if tuple(inner) == VIEWPORT:
            break
        outer = driver.get_window_size()
        driver.set_window_size(outer['width'] + VIEWPORT[0] - inner[0],
                               outer['height'] + VIEWPORT[1] - inner[1])
    return driver


def stop_browser(driver):
    try:
        driver.quit()
    finally:
        shutil.rmtree(driver.profile_folder, ignore_errors=True)


# Everything the browser's console said, with the test it was said in.
CONSOLE = []


def drain_console(driver, test_name):
    try:
        entries = driver.get_log('browser')
    except WebDriverException as error:
        entries = [{'level': 'SEVERE', 'message': 'the console could not be read: %s' % error}]
    for entry in entries:
        CONSOLE.append((test_name, entry))


# ---------------------------------------------------------------------------------------------
# The page as the tests see it

SNAPSHOT_SCRIPT = r"""
const visible = element => !!element && element.getClientRects().length > 0;
const dialogOf = selector => {
    const dialog = document.querySelector(selector);
    if (!dialog || !dialog.open) return null;
    const caption = dialog.querySelector('h2');
    const text = dialog.querySelector('p');
    return {
        caption: caption ? caption.textContent : null,
        text: text ? text.innerText : null,
        buttons: Array.from(dialog.querySelectorAll('button'))
            .filter(visible).map(button => button.textContent.trim()),
    };
};
const log = document.getElementById('text-window');
const command = document.getElementById('command');
const nv = window.narravox;
let busy = null;
try { busy = nv && typeof nv.busy === 'function' ? !!nv.busy() : null; } catch (e) {
    busy = 'busy() threw ' + e;
}
return {
    state: document.body ? (document.body.dataset.state || '') : '',
    busy: busy,
    box: dialogOf('dialog.box'),
    file: dialogOf('dialog.file-dialog'),
    log: log ? Array.from(log.children).map(line => line.textContent) : null,
    command: command ? command.value : null,
    caret: command ? [command.selectionStart, command.selectionEnd] : null,
    focus: document.activeElement ? (document.activeElement.id ||
                                      document.activeElement.tagName) : null,
};
"""


class Snapshot(dict):
    """What the page shows. `log` is #text-window's lines: the text window's completed lines
    (leading empty ones may be left out after the screen is cleared), then its unfinished
    bottom line, empty while the game waits for a command."""

    __getattr__ = dict.get

    @property
    def lines(self):
        return (self.log or [''])[:-1]

    @property
    def bottom(self):
        return (self.log or [None])[-1]

    def settled(self):
        """A box or the file dialog waits for the player, or the page waits for a command."""
        return bool(self.box or self.file or
                    (self.busy is False and self.state not in ('', 'loading')))

    def describe(self):
        lines = self.lines or []
        return ('state=%r busy=%r box=%r file dialog=%r command=%r focus=%r, last lines:\n%s'
                % (self.state, self.busy, self.box, self.file, self.command, self.focus,
                   '\n'.join('    |' + line for line in lines[-8:])))


class PageError(AssertionError):
    pass


def tail_from(lines, marker):
    """The lines from the last one that is `marker` on."""
    if marker not in lines:
        return []
    return lines[len(lines) - 1 - lines[::-1].index(marker):]


class Page:
    def __init__(self, driver, site):
        self.driver = driver
        self.site = site

    def snapshot(self):
        return Snapshot(self.driver.execute_script(SNAPSHOT_SCRIPT))

    def wait(self, condition, what, timeout=STEP_TIMEOUT):
        """Polls the page until condition(snapshot) holds; fails with what was last seen."""
        deadline = time.monotonic() + timeout
        while True:
            snap = self.snapshot()
            if condition(snap):
                return snap
            if time.monotonic() > deadline:
                raise PageError('timed out after %ds waiting for %s; the page shows %s'
                                % (timeout, what, snap.describe()))
            time.sleep(0.05)

    def settle(self, timeout=STEP_TIMEOUT):
        # Two frames first, so that a key just delivered has had its handler run.
        self.driver.execute_async_script(
            'const done = arguments[0];'
            'requestAnimationFrame(() => requestAnimationFrame(() => done()));')
        return self.wait(Snapshot.settled, 'the page to wait for the player', timeout)

    def open(self, query=''):
        """Loads the page; returns the first snapshot that waits for the player: the start-up
        warning box, usually."""
        self.driver.get(self.site.url + 'index.html' + query)
        present = self.driver.execute_script(
            'return !!(window.narravox && window.narravox.ready &&'
            '          typeof window.narravox.busy === "function")')
        if not present:
            raise PageError('window.narravox with ready and busy() is missing')
        return self.settle(LOAD_TIMEOUT)

    def wait_ready(self):
        """Waits for window.narravox.ready, which the page resolves once the game started."""
        outcome = self.driver.execute_async_script(
            'const done = arguments[0];'
            'Promise.resolve(window.narravox.ready).then(() => done(null),'
            '    error => done("window.narravox.ready rejected: " + error));')
        if outcome is not None:
            raise PageError(outcome)

    def start_demo(self):
        """Opens the demo and dismisses the start-up warning with Enter; returns the playing
        snapshot."""
        snap = self.open()
        if not snap.box or snap.box['caption'] != '!!!Внимание!!!':
            raise PageError('the start-up warning box did not come first; the page shows '
                            + snap.describe())
        self.keys(Keys.ENTER)
        snap = self.settle(LOAD_TIMEOUT)
        if snap.state != 'playing' or snap.box or snap.file:
            raise PageError('the demo did not start playing: ' + snap.describe())
        self.wait_ready()
        return snap

    def command_line(self):
        return self.driver.find_element(By.ID, 'command')

    def keys(self, *keys):
        """Presses keys where the focus is, as a keyboard does."""
        ActionChains(self.driver).send_keys(*keys).perform()

    def type_command(self, text):
        """Types a command into the command line and presses Enter."""
        line = self.command_line()
        value = line.get_attribute('value')
        if value:
            raise PageError('the command line holds %r before typing %r' % (value, text))
        line.send_keys(text)
        value = line.get_attribute('value')
        if value != text:
            raise PageError('typed %r into the command line, which shows %r; the page shows %s'
                            % (text, value, self.snapshot().describe()))
        line.send_keys(Keys.ENTER)
        return self.settle()

    def click_button(self, dialog_selector, label):
        dialog = self.driver.find_element(By.CSS_SELECTOR, dialog_selector + '[open]')
        for button in dialog.find_elements(By.TAG_NAME, 'button'):
            if button.is_displayed() and button.text.strip() == label:
                if not button.is_enabled():
                    raise PageError('the button %r is disabled; the page shows %s'
                                    % (label, self.snapshot().describe()))
                button.click()
                return
        raise PageError('no button %r in %s; the page shows %s'
                        % (label, dialog_selector, self.snapshot().describe()))

    def choose_file_name(self, name, kind):
        """Answers the file dialog as batch mode takes a name line: an empty line cancels; a
        save's name is typed into #file-name and Enter pressed; a saved game to load is picked
        from the list and loaded with its button."""
        if not name:
            self.keys(Keys.ESCAPE)
            return
        if kind == 'save':
            field = self.driver.find_element(By.ID, 'file-name')
            field.send_keys(Keys.CONTROL, 'a')
            field.send_keys(Keys.DELETE)
            field.send_keys(name)
            value = field.get_attribute('value')
            if value != name:
                raise PageError('typed %r as the name, and #file-name shows %r' % (name, value))
            field.send_keys(Keys.ENTER)
            return
        wanted = name[:-4] if name.endswith('.nvs') else name
        dialog = self.driver.find_element(By.CSS_SELECTOR, 'dialog.file-dialog[open]')
        items = [item for item in dialog.find_elements(By.CSS_SELECTOR, '[role=option]')
                 if item.get_attribute('data-name') == wanted]
        if not items:
            raise PageError('the load dialog does not list %r: it shows %r'
                            % (wanted, dialog.text))
        items[0].click()
        self.click_button('dialog.file-dialog', 'Загрузить')

    def play(self, script):
        """Plays script lines as batch mode reads them: a command a line; a yes-or-no box takes
        the next line as its answer (Enter for yes, Esc for no) and a file dialog the next line
        as the name; an OK box takes no line (Enter). Returns the boxes met, as (caption, text)
        pairs."""
        boxes = []
        index = 0
        snap = self.settle()
        while True:
            if snap.box:
                boxes.append((snap.box['caption'], snap.box['text']))
                if 'Да' in snap.box['buttons']:
                    if index >= len(script):
                        break
                    self.keys(Keys.ENTER if is_yes_answer(script[index]) else Keys.ESCAPE)
                    index += 1
                else:
                    self.keys(Keys.ENTER)
            elif snap.file:
                if index >= len(script):
                    break
                kind = 'save' if 'Сохранить' in snap.file['buttons'] else 'open'
                self.choose_file_name(script[index], kind)
                index += 1
            else:
                if index >= len(script):
                    break
                snap = self.type_command(script[index])
                index += 1
                continue
            snap = self.settle()
        return boxes

    def size(self):
        """The text window's lines and columns as the page started the engine with: told by
        window.narravox when it tells them; else the columns from the command line's length
        (the engine's nv_command_length, one less) and the lines from the canvas's height at
        the console's layout (a title row of 16 pixels, the command line's 24 at the bottom)."""
        size = self.driver.execute_script(r"""
            const nv = window.narravox;
            if (nv && Number.isInteger(nv.lines) && Number.isInteger(nv.columns)) {
                return [nv.lines, nv.columns];
            }
            const canvas = document.getElementById('screen') || document.querySelector('canvas');
            const command = document.getElementById('command');
            if (!canvas || !command || command.maxLength <= 0) return null;
            const k = Math.max(1, Math.floor(window.devicePixelRatio || 1));
            return [Math.floor((canvas.height / k - 16 - 24) / 16), command.maxLength + 1];""")
        if not size:
            raise PageError('the text window size is unknown: no window.narravox.lines and '
                            '.columns, nor a canvas and a #command with a maxLength')
        return size[0], size[1]


# ---------------------------------------------------------------------------------------------
# The tests

NOTHING_CARRIED = '  С собой у вас ничего нет, только непромокаемый плащ на плечах.  '


class BrowserCase(unittest.TestCase):
    """A test on the shared browser at device pixel ratio 1."""

    driver = None
    site = None

    def setUp(self):
        self.page = Page(BrowserCase.driver, BrowserCase.site)

    def tearDown(self):
        drain_console(BrowserCase.driver, self.id())

    def assertLines(self, expected, actual, what):
        if expected != actual:
            self.fail('%s differ:\n%s' % (what, lines_diff(expected, actual)))

    def assertScreen(self, reference, snap, lines, what):
        """The page's log is the last lines of the text window that batch mode printed, the
        ones it leaves out being empty lines at the top, and the bottom line empty."""
        expected = reference[-lines:]
        shown = snap.lines
        self.assertEqual(snap.bottom, '', 'the bottom line of #text-window is not empty '
                         'while the game waits for a command: ' + snap.describe())
        self.assertLessEqual(len(shown), lines, '#text-window holds more lines than the '
                             'text window\'s %d: %s' % (lines, snap.describe()))
        left_out = expected[:len(expected) - len(shown)]
        if any(left_out) or expected[len(left_out):] != shown:
            self.fail('%s: #text-window differs from narravox-term --batch\'s last %d lines '
                      '(the first %d left out):\n%s'
                      % (what, lines, len(left_out), lines_diff(expected, shown)))

    def batch_reference(self, script, lines, columns):
        folder = demo_copy()
        try:
            reference = run_batch(folder, script, columns, lines)
        finally:
            shutil.rmtree(folder)
        self.assertEqual(reference.status, 0, 'narravox-term failed: ' + reference.stderr)
        return reference


class WalkthroughTest(BrowserCase):
    def test_walkthrough_ends_as_batch_mode_shows(self):
        snap = self.page.open()
        self.assertEqual(snap.box and snap.box['caption'], '!!!Внимание!!!',
                         'the start-up warning box comes first: ' + snap.describe())
        self.assertEqual(snap.state, 'loading', snap.describe())
        lines, columns = self.page.size()
        self.assertGreater(lines, 0, 'the page started a text window without lines')
        self.assertGreater(columns, 1, 'the page started a text window without columns')
        script = walkthrough()
        started = time.monotonic()
        boxes = self.page.play(script)
        snap = self.page.settle()
        print('\n  the walkthrough: %d commands at %dx%d in %.1f s'
              % (len(script), columns, lines, time.monotonic() - started), file=sys.stderr)
        self.assertEqual(snap.state, 'playing', snap.describe())
        self.assertEqual(self.page.size(), (lines, columns), 'the window size changed')
        reference = self.batch_reference(script, lines, columns)
        self.assertEqual(boxes, reference.boxes, 'the boxes met differ from batch mode\'s')
        self.assertTrue(any('КОНЕЦ' in line for line in reference.lines[-lines:]),
                        'the walkthrough does not end at %dx%d' % (columns, lines))
        self.assertScreen(reference.lines, snap, lines, 'the end of the walkthrough')
        # The repository's transcript at 80 columns ends alike (its lines are short enough).
        expected = read_lines(os.path.join(OPTIONS.demo_source, 'walkthrough.out'))
        self.assertLines(expected[-5:], snap.lines[-5:], 'the last lines of walkthrough.out')


class BoxTest(BrowserCase):
    def test_f1_shows_about_box_and_enter_closes_it(self):
        self.page.start_demo()
        url = self.page.driver.current_url
        handles = self.page.driver.window_handles
        self.page.driver.execute_script(
            'window.nvKeyDefaults = {};'
            'window.addEventListener("keydown", event => {'
            '    window.nvKeyDefaults[event.key] = event.defaultPrevented; });')
        self.page.command_line().click()
        self.page.keys(Keys.F1)
        snap = self.page.settle()
        self.assertTrue(snap.box, 'F1 shows no box: ' + snap.describe())
        self.assertEqual(snap.box['caption'], 'О программе')
        self.assertEqual(snap.box['text'].split('\n'),
                         ['Narravox Engine III (3.03)', '(c) 2026 Команда Narravox',
                          'Свободно распространяемая.'])
        self.assertEqual(snap.box['buttons'], ['OK'])
        self.assertIs(self.page.driver.execute_script('return window.nvKeyDefaults.F1'), True,
                      'F1 goes on to the browser (its default action is not prevented)')
        self.page.keys(Keys.ENTER)
        snap = self.page.settle()
        self.assertFalse(snap.box, 'Enter does not close the About box: ' + snap.describe())
        self.assertEqual(snap.state, 'playing')
        self.assertEqual(self.page.driver.current_url, url, 'F1 left the page')
        self.assertEqual(self.page.driver.window_handles, handles, 'F1 opened a window')
        # The Enter went to the box, not to the command line, and the game still answers.
        self.assertEqual(snap.command, '', 'Enter in the box reached the command line')
        self.assertNotIn('>', snap.lines[-1:], 'Enter in the box ran an empty command')
        snap = self.page.type_command('и')
        self.assertEqual(snap.lines[-2:], ['>и', NOTHING_CARRIED], snap.describe())

    def test_box_closed_by_a_click_leaves_typing_to_the_command_line(self):
        self.page.start_demo()
        self.page.driver.find_element(By.ID, 'key-f1').click()
        snap = self.page.settle()
        self.assertEqual(snap.box and snap.box['caption'], 'О программе',
                         'the toolbar\'s F1 shows no About box: ' + snap.describe())
        self.page.click_button('dialog.box', 'OK')
        snap = self.page.settle()
        self.assertFalse(snap.box, 'a click on OK does not close the box: ' + snap.describe())
        self.assertEqual(snap.focus, 'command', 'the command line does not get the focus back')
        # Keys as a player presses them next, wherever the focus is.
        self.page.keys('и', Keys.ENTER)
        snap = self.page.settle()
        self.assertEqual(snap.lines[-2:], ['>и', NOTHING_CARRIED],
                         'after a click on OK, "и" and Enter do not play "и": '
                         + snap.describe())

    def test_quit_asks_and_escape_keeps_playing(self):
        self.page.start_demo()
        snap = self.page.type_command('выход')
        self.assertTrue(snap.box, '"выход" shows no box: ' + snap.describe())
        self.assertEqual((snap.box['caption'], snap.box['text'], snap.box['buttons']),
                         ('Выход', 'Вы действительно хотите выйти?', ['Да', 'Нет']))
        self.page.keys(Keys.ESCAPE)
        snap = self.page.settle()
        self.assertFalse(snap.box, 'Esc does not close the question: ' + snap.describe())
        self.assertEqual(snap.state, 'playing', 'Esc (No) ended the game: ' + snap.describe())
        snap = self.page.type_command('и')
        self.assertEqual(snap.lines[-2:], ['>и', NOTHING_CARRIED],
                         'the game does not go on after No: ' + snap.describe())
        # The Russian "д" answers Yes: the game is over.
        snap = self.page.type_command('quit')
        self.assertEqual(snap.box and snap.box['caption'], 'Выход', snap.describe())
        self.page.keys('д')
        snap = self.page.settle()
        self.assertFalse(snap.box, '"д" does not answer the question: ' + snap.describe())
        self.assertEqual(snap.state, 'over', '"д" (Yes) does not end the game: '
                         + snap.describe())


class CommandLineTest(BrowserCase):
    def test_f3_and_history(self):
        self.page.start_demo()
        self.page.type_command('и')
        self.page.type_command('помощь')
        line = self.page.command_line()
        line.send_keys(Keys.F3)
        snap = self.page.snapshot()
        self.assertEqual(snap.command, 'помощь', 'F3 does not bring back the last command')
        self.assertEqual(snap.caret, [6, 6], 'the caret is not at the end after F3')
        line.send_keys(Keys.ENTER)
        snap = self.page.settle()
        reply = tail_from(snap.lines, '>помощь')
        self.assertEqual(len(reply), 9, 'the recalled command is not played once more: '
                         + snap.describe())
        self.assertEqual(snap.lines[-18:-9], reply, 'the recalled command gets another reply')
        # Up and Down walk the commands typed, the line being typed kept as the draft.
        line.send_keys('осм')
        walk = []
        for key in (Keys.UP, Keys.UP, Keys.UP, Keys.DOWN, Keys.DOWN):
            line.send_keys(key)
            walk.append(self.page.snapshot().command)
        # "помощь" twice in a row is kept once.
        self.assertEqual(walk, ['помощь', 'и', 'и', 'помощь', 'осм'],
                         'the command line after Up, Up, Up, Down, Down from "осм"')


INDEXEDDB_KEYS = r"""
    const done = arguments[0];
    const request = indexedDB.open('narravox');
    request.onerror = () => done('cannot open: ' + request.error);
    request.onsuccess = () => {
        const db = request.result;
        if (!db.objectStoreNames.contains('saves')) { done('no store "saves"'); return; }
        const all = db.transaction('saves').objectStore('saves').getAllKeys();
        all.onsuccess = () => { done(all.result.map(String)); db.close(); };
        all.onerror = () => done('cannot read: ' + all.error);
    };"""


class SavedGameTest(BrowserCase):
    def test_save_reload_load(self):
        # Up to the matches taken, in the keeper's hut.
        script = walkthrough()[:16]
        self.assertEqual(script[-1], 'возьми спички', 'the walkthrough changed its start')
        self.page.start_demo()
        lines, columns = self.page.size()
        self.page.play(script)
        boxes = self.page.play(['сохранить', 'хижина'])
        self.assertEqual(boxes, [], 'saving showed a box')
        stored = self.page.driver.execute_async_script(INDEXEDDB_KEYS)
        self.assertIsInstance(stored, list, 'IndexedDB "narravox", store "saves": %s' % stored)
        self.assertTrue(any(key.endswith('хижина') for key in stored),
                        'the save is not kept in IndexedDB; its keys: %r' % stored)
        # A new page: the game starts again, without the matches.
        self.page.start_demo()
        snap = self.page.type_command('и')
        self.assertEqual(snap.lines[-1], NOTHING_CARRIED,
                         'a reloaded page does not start a new game: ' + snap.describe())
        boxes = self.page.play(['загрузить', 'хижина', 'и', 'о'])
        self.assertEqual(boxes, [], 'loading showed a box')
        snap = self.page.settle()
        reference = self.batch_reference(script + ['сохранить', 'хижина', 'и', 'о'], lines,
                                         columns)
        expected = tail_from(reference.lines, '>и')
        self.assertIn('    коробок спичек  ', expected, 'the reference run carries no matches')
        self.assertLines(expected, snap.lines[-len(expected):],
                         'the inventory and the look after loading')
        self.assertEqual(self.title(), ' Сторожка', 'the title after loading')

    def test_a_name_with_another_extension_is_still_kept(self):
        # Typed as the player likes: the save is still a .nvs file that the browser keeps.
        self.page.start_demo()
        self.page.play(['с'])
        boxes = self.page.play(['сохранить', 'склон.txt'])
        self.assertEqual(boxes, [], 'saving showed a box')
        stored = self.page.driver.execute_async_script(INDEXEDDB_KEYS)
        self.assertTrue(any(key.endswith('/склон.txt') for key in stored),
                        'the save is not kept in IndexedDB; its keys: %r' % stored)
        self.page.start_demo()
        boxes = self.page.play(['загрузить', 'склон.txt'])
        self.assertEqual(boxes, [], 'loading showed a box')
        self.page.settle()
        self.assertNotEqual(self.title(), ' Причал', 'the save did not take the player uphill')

    def title(self):
        return self.page.driver.find_element(By.ID, 'title-line').get_attribute('textContent')

    def test_upload_of_a_batch_save(self):
        # Up to the bottle taken in the cove, the matches in the pocket.
        script = walkthrough()[:27]
        self.assertEqual(script[-1], 'взять всё', 'the walkthrough changed its start')
        self.page.start_demo()
        lines, columns = self.page.size()
        folder = demo_copy()
        upload_folder = tempfile.mkdtemp(prefix='narravox-upload-')
        try:
            reference = run_batch(folder, script + ['сохранить', 'бухта', 'и', 'о'], columns,
                                  lines)
            saved = os.path.join(folder, 'бухта.nvs')
            self.assertTrue(os.path.isfile(saved), 'narravox-term wrote no save: '
                            + reference.stderr)
            upload = os.path.join(upload_folder, 'берег.nvs')
            shutil.copy(saved, upload)
            snap = self.page.type_command('загрузить')
            self.assertTrue(snap.file, 'загрузить shows no file dialog: ' + snap.describe())
            chooser = self.page.driver.find_element(
                By.CSS_SELECTOR, 'dialog.file-dialog[open] input[type=file]')
            self.assertEqual(chooser.get_attribute('accept'), '.nvs')
            chooser.send_keys(upload)
            snap = self.page.settle()
        finally:
            shutil.rmtree(folder)
            shutil.rmtree(upload_folder)
        self.assertFalse(snap.box or snap.file, 'the upload did not load the game: '
                         + snap.describe())
        self.assertEqual(self.title(), ' Бухта', 'the title after the upload')
        self.page.play(['и', 'о'])
        snap = self.page.settle()
        expected = tail_from(reference.lines, '>и')
        self.assertIn('    бутыль маячного масла  ', expected, 'the reference run carries no oil')
        self.assertLines(expected, snap.lines[-len(expected):],
                         'the inventory and the look after the upload')


class DamagedGameTest(BrowserCase):
    def open_damaged(self, name, damage):
        """Opens a damaged copy of the demo through ?game=, answering its boxes with OK;
        returns the boxes met, the last snapshot and batch mode's run of the same folder."""
        folder = BrowserCase.site.add_game(name, os.path.join(OPTIONS.site, 'games', 'demo'))
        damage(folder)
        snap = self.page.open('?game=' + name)
        boxes = []
        while snap.box:
            boxes.append((snap.box['caption'], snap.box['text']))
            self.assertEqual(snap.box['buttons'], ['OK'], snap.describe())
            self.page.click_button('dialog.box', 'OK')
            snap = self.page.settle(LOAD_TIMEOUT)
        self.page.wait_ready()
        reference = run_batch(folder, [], 80, 24)
        return boxes, snap, reference

    def test_wrong_vocabulary_is_refused(self):
        def wrong_magic(folder):
            with open(os.path.join(folder, 'Commands.ply'), 'r+b') as stream:
                stream.write(b'XXXX')
        boxes, snap, reference = self.open_damaged('wrong-magic', wrong_magic)
        self.assertNotEqual(reference.status, 0, 'narravox-term accepted the damaged game')
        self.assertEqual(reference.boxes, [('Ошибка', 'Неверный файл команд - "Commands.ply"!')])
        self.assertEqual(boxes, reference.boxes, 'the error boxes differ from batch mode\'s')
        self.assertEqual(snap.state, 'refused', snap.describe())
        # Nothing is played: keys change nothing, and no box comes.
        self.page.keys('и', Keys.ENTER, Keys.F1)
        after = self.page.settle()
        self.assertEqual((after.state, after.box, after.log), ('refused', None, snap.log),
                         'keys pressed in a refused game: ' + after.describe())

    def test_short_scenario_is_reported(self):
        def cut(folder):
            with open(os.path.join(folder, 'Scenario.ply'), 'r+b') as stream:
                stream.truncate(100)
        boxes, snap, reference = self.open_damaged('short-scenario', cut)
        self.assertIn(('Narravox', 'Read beyond end of file.'), reference.boxes,
                      'narravox-term reports no short file: ' + reference.stderr)
        self.assertEqual(boxes, reference.boxes, 'the error boxes differ from batch mode\'s')
        self.assertEqual(snap.state, 'refused' if reference.status else 'playing',
                         'narravox-term ended with status %d; the page shows %s'
                         % (reference.status, snap.describe()))


class StorageFailureTest(BrowserCase):
    def test_quota_exceeded_reports_access_denied(self):
        self.page.start_demo()
        self.page.driver.execute_script(
            'IDBObjectStore.prototype.put = function () {'
            '    throw new DOMException("The quota has been exceeded.", "QuotaExceededError");'
            '};')
        boxes = self.page.play(['сохранить', 'полный'])
        snap = self.page.settle()
        self.assertEqual(boxes, [('Narravox', 'File access denied.')],
                         'a save the browser refuses to keep: ' + snap.describe())
        self.assertEqual(snap.state, 'playing', snap.describe())
        snap = self.page.type_command('и')
        self.assertEqual(snap.lines[-2:], ['>и', NOTHING_CARRIED],
                         'the game does not go on after the failed save: ' + snap.describe())


class PacingTest(BrowserCase):
    def test_keys_typed_during_paced_text_are_held(self):
        with open(os.path.join(OPTIONS.demo_source, 'demo.nvx'), encoding='utf-8') as stream:
            if not re.search(r'^\s*center on\s*$', stream.read(), re.MULTILINE):
                self.skipTest('the demo has no paced (centred) text')
        snap = self.page.open()
        self.assertEqual(snap.box and snap.box['caption'], '!!!Внимание!!!', snap.describe())
        self.page.keys(Keys.ENTER)
        # The paced title shows a line a second, the page answering meanwhile.
        partial = self.page.wait(
            lambda s: any('ПОСЛЕДНИЙ ОГОНЬ' in line for line in s.log or []),
            'the paced title', LOAD_TIMEOUT)
        self.assertTrue(partial.busy, 'the title is not paced: ' + partial.describe())
        self.assertFalse(any('игра для Narravox' in line for line in partial.log),
                         'the whole title came at once: ' + partial.describe())
        self.page.command_line().send_keys('и' + Keys.ENTER)
        during = self.page.snapshot()
        self.assertTrue(during.busy, 'the keys came after the pacing; the machine is too '
                        'slow for this test: ' + during.describe())
        self.assertNotIn('>и', during.log, 'a command ran during the paced text')
        snap = self.page.wait(lambda s: s.busy is False and '>и' in s.lines,
                              'the held command to run after the paced title')
        lines, columns = self.page.size()
        reference = self.batch_reference(['и'], lines, columns)
        self.assertScreen(reference.lines, snap, lines,
                          'a command typed during the paced title')
        self.assertEqual(snap.command, '', 'the held Enter did not take the command line')


    def test_paced_text_inside_the_deepest_conditions(self):
        """A box or a paced line waits with the engine's whole stack put aside; the deepest
        nesting of conditions the compiler allows must fit the room kept for it."""
        source_folder = tempfile.mkdtemp(prefix='narravox-deep-')
        try:
            indent = ' ' * 12
            body = []
            for _ in range(64):
                body.append(indent + 'if not флаг:')
                indent += '    '
            body += [indent + 'center on', indent + 'text "глубоко\\nвнутри"',
                     indent + 'center off', indent + 'text "конец"']
            source = os.path.join(source_folder, 'deep.nvx')
            with open(source, 'w', encoding='utf-8') as stream:
                stream.write('\n'.join([
                    'info "Глубоко."', 'start Комната', 'arrival осмотреться', '',
                    'verb осмотреться: осмотреться', 'verb тест: тест', '',
                    'location Комната', '    object:', '        on осмотреться:',
                    '            text "Комната."', '        on тест:'] + body) + '\n')
            game = os.path.join(source_folder, 'game')
            subprocess.run([OPTIONS.ply, 'build', source, '-o', game], check=True,
                           capture_output=True)
            BrowserCase.site.add_game('deep', game)
            snap = self.page.open('?game=deep')
            self.assertEqual(snap.box and snap.box['caption'], '!!!Внимание!!!', snap.describe())
            self.page.keys(Keys.ENTER)
            self.page.settle(LOAD_TIMEOUT)
            self.page.command_line().send_keys('тест' + Keys.ENTER)
            snap = self.page.wait(lambda s: s.busy is False and 'конец' in ' '.join(s.lines),
                                  'the paced lines deep inside the conditions', LOAD_TIMEOUT)
            lines, columns = self.page.size()
            reference = run_batch(game, ['тест'], columns, lines)
            self.assertEqual(reference.status, 0, 'narravox-term failed: ' + reference.stderr)
            self.assertScreen(reference.lines, snap, lines, 'paced text 64 conditions deep')
        finally:
            shutil.rmtree(source_folder, ignore_errors=True)


class ScreenshotTest(BrowserCase):
    """The console as drawn: its cells read back from a screenshot into the page's text."""

    def check_console(self, driver, scale):
        page = Page(driver, BrowserCase.site)
        page.start_demo()
        page.type_command('и')
        page.command_line().send_keys('осм')
        snap = page.settle()
        self.assertEqual(driver.execute_script('return window.devicePixelRatio'), scale,
                         'the browser runs at another device pixel ratio')
        lines, columns = page.size()
        rect = driver.execute_script(
            'const canvas = document.getElementById("screen");'
            'if (!canvas) return null;'
            'const r = canvas.getBoundingClientRect();'
            'return [r.left, r.top, r.width, r.height];')
        self.assertIsNotNone(rect, 'the page has no canvas#screen')
        folder = OPTIONS.artefacts or tempfile.mkdtemp(prefix='narravox-shot-')
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, 'narravox-web-%dx%d-scale-%d.png' % (VIEWPORT + (scale,)))
        try:
            self.assertTrue(driver.save_screenshot(path), 'no screenshot')
            image = Png(path)
        finally:
            if not OPTIONS.artefacts:
                shutil.rmtree(folder)
        self.assertEqual((image.width, image.height),
                         (VIEWPORT[0] * scale, VIEWPORT[1] * scale), 'the screenshot\'s size')
        left, top = rect[0] * scale, rect[1] * scale
        self.assertEqual((left, top), (int(left), int(top)),
                         'the console does not start on a whole screen pixel')
        left, top, height = int(left), int(top), int(rect[3] * scale)
        width = columns * CELL_WIDTH * scale
        self.assertLessEqual(left + width, image.width, 'the console is wider than the page')
        reader = GlyphReader(load_font(), scale)
        cell = CELL_HEIGHT * scale

        # The title line: black text on silver, its top and bottom pixel rows all silver.
        for y in (top, top + cell - 1):
            self.assertEqual(image.colours(left, y, left + width, y + 1), {SILVER},
                             'title pixel row %d is not all silver' % y)
        title = page.driver.find_element(By.ID, 'title-line').get_attribute('textContent')
        self.assertEqual(title, ' Причал', 'the title line\'s text')
        drawn = reader.row(image, left, top, columns)
        self.assertEqual(drawn.rstrip(), reader.canonical(title), 'the title line drawn')

        # The text window: every cell an exact glyph, silver on black, reading back as the
        # page's log, and black below its last line down to the command line.
        drawn = [reader.row(image, left, top + (1 + line) * cell, columns)
                 for line in range(lines)]
        logged = [''] * (lines - len(snap.lines)) + snap.lines
        self.assertLines([reader.canonical(text).rstrip() for text in logged],
                         [text.rstrip() for text in drawn],
                         'the text window drawn (U+FFFD: no exact glyph) and #text-window')
        self.assertTrue(all('\ufffd' not in text for text in drawn), 'cells that are no glyph')
        prompt_y = top + height - 24 * scale
        self.assertEqual(image.colours(left, top + (1 + lines) * cell, left + width, prompt_y),
                         {BLACK}, 'the rows between the text window and the command line')
        self.assertGreater(prompt_y, top + lines * cell, 'the command line overlaps the text')

        # The command line: ">" in the bottom left cell and the text typed, silver on black.
        self.assertEqual(reader.cell(image, left, prompt_y), '>',
                         'no ">" in silver on black at (%d, %d)' % (left, prompt_y))
        self.assertEqual(reader.row(image, left + CELL_WIDTH * scale, prompt_y, 3),
                         reader.canonical('осм'),
                         'the command line drawn')

    def test_console_at_scale_1(self):
        self.check_console(BrowserCase.driver, 1)

    def test_console_at_scale_2(self):
        driver = start_browser(scale=2)
        try:
            self.check_console(driver, 2)
        finally:
            drain_console(driver, self.id())
            stop_browser(driver)


class ConsoleLogTest(unittest.TestCase):
    """Run last: what the browser's console said across the whole run."""

    def test_no_errors_in_browser_console(self):
        drain_console(BrowserCase.driver, self.id())
        severe = ['%s: %s' % (test, entry.get('message'))
                  for test, entry in CONSOLE if entry.get('level') == 'SEVERE']
        self.assertEqual(severe, [], 'errors in the browser console:\n' + '\n'.join(severe))
        self.assertEqual(SiteHandler.failed_requests, [], 'requests the server failed')


ORDER = [WalkthroughTest, BoxTest, CommandLineTest, SavedGameTest, DamagedGameTest,
         StorageFailureTest, PacingTest, ScreenshotTest, ConsoleLogTest]


def missing_inputs(program, paths):
    """The exit status when the browser or one of `paths` is missing (77, the status of a test
    that cannot run here, for the browser; 2 for an input), after saying which; else None."""
    for path in (OPTIONS.chromium, OPTIONS.chromedriver):
        if not os.path.exists(path):
            print('skipped: %s is not installed' % path, file=sys.stderr)
            return 77
    for path in paths:
        if not os.path.exists(path):
            print('%s: %s does not exist' % (program, path), file=sys.stderr)
            return 2
    return None


def selected_suite(module, order, names):
    """The tests of the module named on the command line, or all its cases in their order."""
    loader = unittest.TestLoader()
    if names:
        return loader.loadTestsFromNames(names, module)
    return unittest.TestSuite(loader.loadTestsFromTestCase(case) for case in order)


def main():
    global OPTIONS
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--site', required=True, help='the built site folder')
    parser.add_argument('--term', required=True, help='narravox-term, the reference')
    parser.add_argument('--ply', required=True, help='narravox-ply, to compile test games')
    parser.add_argument('--demo-source', required=True,
                        help='games/demo: walkthrough.txt, walkthrough.out, demo.nvx')
    parser.add_argument('--font', default=os.path.join(
        REPOSITORY, 'src', 'app', 'font', 'console_font_glyphs.inc'),
        help='the console font\'s glyph table')
    parser.add_argument('--chromium', default='/usr/bin/chromium')
    parser.add_argument('--chromedriver', default='/usr/bin/chromedriver')
    parser.add_argument('--artefacts', help='keep the screenshots in this folder')
    OPTIONS, rest = parser.parse_known_args()
    OPTIONS.site = os.path.abspath(OPTIONS.site)
    OPTIONS.term = os.path.abspath(OPTIONS.term)
    OPTIONS.ply = os.path.abspath(OPTIONS.ply)
    OPTIONS.demo_source = os.path.abspath(OPTIONS.demo_source)
    status = missing_inputs('browser_test.py', (
        os.path.join(OPTIONS.site, 'index.html'), OPTIONS.term,
        os.path.join(OPTIONS.demo_source, 'walkthrough.txt'), OPTIONS.font))
    if status is not None:
        return status
    faulthandler.dump_traceback_later(RUN_TIMEOUT, exit=True)

    suite = selected_suite(sys.modules[__name__], ORDER, rest)
    site = Site()
    try:
        BrowserCase.site = site
        BrowserCase.driver = start_browser()
        try:
            started = time.monotonic()
            result = unittest.TextTestRunner(verbosity=2).run(suite)
            print('browser tests took %.0f s' % (time.monotonic() - started))
        finally:
            stop_browser(BrowserCase.driver)
    finally:
        site.close()
    return 0 if result.wasSuccessful() else 1


if __name__ == '__main__':
    sys.exit(main())
