#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Tests `narravox-ply publish`: the one HTML file it writes for a game, looked into, played
from file:// in headless Chromium against narravox-term's batch mode, and what it refuses.

Usage:
    publish_test.py --ply build/ci/tools/ply/narravox-ply \
        --term build/ci/src/term/narravox-term --demo-source games/demo \
        --template build/web/player-template.html [unittest options, test names]

The page is driven with browser_test.py's machinery (its Page, batch reference and browser);
each published file is opened alone in its own folder, so that nothing beside it can be
loaded. Nothing is downloaded. Exit status 0 when every test passes, 77 when Chromium, its
driver or Selenium is missing.
"""

import argparse
import faulthandler
import html.parser
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import browser_test  # noqa: E402  (exits with 77 without Selenium)
from browser_test import (LOAD_TIMEOUT, NOTHING_CARRIED, STEP_TIMEOUT,  # noqa: E402
                          INDEXEDDB_KEYS, By, Keys, Page, PageError, run_batch, tail_from,
                          walkthrough)

RUN_TIMEOUT = 180
SIZE_LIMIT = 400 * 1024
SAVE_SIZE = 4102
# Attributes through which a page loads or leads to another file.
URL_ATTRIBUTES = {'src', 'href', 'srcset', 'poster', 'action', 'formaction', 'data',
                  'xlink:href', 'background', 'manifest'}

OPTIONS = None  # the command line's options, set in main()


# ---------------------------------------------------------------------------------------------
# The program and the games


def run_ply(arguments, program=None, cwd=None):
    return subprocess.run([program or OPTIONS.ply] + arguments, capture_output=True, text=True,
                          timeout=60, cwd=cwd)


def scratch(test, prefix):
    folder = tempfile.mkdtemp(prefix='narravox-publish-' + prefix + '-')
    test.addCleanup(shutil.rmtree, folder, True)
    return folder


def publish(test, source, name='game.html', extra=()):
    """Publishes `source` into a folder of its own; the result and the page's path."""
    out = os.path.join(scratch(test, 'out'), name)
    arguments = ['publish', source, '-o', out, '--template', OPTIONS.template] + list(extra)
    result = run_ply(arguments)
    test.assertEqual(result.returncode, 0, 'narravox-ply %s failed:\n%s'
                     % (' '.join(arguments), result.stderr))
    test.assertTrue(os.path.isfile(out), 'publish wrote no ' + out)
    return result, out


def compiled_demo(test):
    """The demo compiled by `narravox-ply build` into a scratch folder."""
    folder = os.path.join(scratch(test, 'demo'), 'demo')
    result = run_ply(['build', os.path.join(OPTIONS.demo_source, 'demo.nvx'), '-o', folder])
    test.assertEqual(result.returncode, 0, result.stderr)
    return folder


def game_copy(test, folder, files=()):
    """A scratch copy of a game's folder with extra files in it, for batch runs."""
    copy = os.path.join(scratch(test, 'batch'), 'game')
    shutil.copytree(folder, copy)
    for path, name in files:
        shutil.copy(path, os.path.join(copy, name))
    return copy


def unescape(text):
    """A quoted text of the scenario language as the game shows it."""
    plain = {'n': '\n', 't': '\t', '"': '"', '\\': '\\'}
    return re.sub(r'\\(x[0-9A-Fa-f]{2}|.)', lambda m: plain.get(m.group(1)) or
                  bytes([int(m.group(1)[1:], 16)]).decode('cp1251'), text)


def info_title(source):
    """The first line of the information text of a game's source."""
    with open(source, encoding='utf-8') as stream:
        match = re.search(r'^info\s+"((?:[^"\\\n]|\\.)*)"', stream.read(), re.MULTILINE)
    if not match:
        raise AssertionError('%s has no info text' % source)
    return unescape(match.group(1)).split('\n')[0]


def read_text(path):
    with open(path, encoding='utf-8') as stream:
        return stream.read()


SMALL_GAME = '''start Комната
arrival осмотреться
verb осмотреться: осмотреться, о
location Комната
    object:
        on осмотреться:
            text "Пустая комната."
'''


class PageParser(html.parser.HTMLParser):
    """The references, the title, the inline styles and the visible text of a page."""

    def __init__(self, text):
        super().__init__(convert_charrefs=True)
        self.references, self.titles, self.styles, self.text = [], [], [], []
        self.inside = None
        self.feed(text)
        self.close()

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            value = (value or '').strip()
            if name in URL_ATTRIBUTES:
                self.references.append(('<%s %s="%s">' % (tag, name, value[:60]), value))
            elif name == 'style':
                self.styles.append(value)
        if tag in ('title', 'script', 'style', 'template'):
            self.inside = tag
            self.titles += [''] if tag == 'title' else []

    def handle_endtag(self, tag):
        if tag == self.inside:
            self.inside = None

    def handle_data(self, data):
        if self.inside == 'title':
            self.titles[-1] += data
        elif self.inside == 'style':
            self.styles.append(data)
        elif self.inside is None:
            self.text.append(data)


# ---------------------------------------------------------------------------------------------
# The published file, looked into


class PublishedFileTest(unittest.TestCase):
    def assertSelfContained(self, path, title):
        with open(path, 'rb') as stream:
            data = stream.read()
        self.assertLess(len(data), SIZE_LIMIT, '%s is %d bytes' % (path, len(data)))
        page = PageParser(data.decode('utf-8'))
        outside = [shown for shown, value in page.references
                   if value != '#' and not value.lower().startswith('data:')]
        self.assertEqual(outside, [], 'references to other files or servers')
        style_urls = re.findall(r'url\(\s*[\'"]?([^\'")\s]*)', ''.join(page.styles))
        self.assertEqual([url for url in style_urls if not url.lower().startswith('data:')], [],
                         'styles that load other files')
        self.assertNotIn('@import', ''.join(page.styles))
        self.assertEqual(page.titles, [title], 'the page\'s <title>')
        self.assertIn(title, ' '.join(' '.join(page.text).split()),
                      'the loading text does not show the title')

    def test_demo_source(self):
        source = os.path.join(OPTIONS.demo_source, 'demo.nvx')
        title = info_title(source)
        self.assertTrue(title, 'the demo\'s info text starts with an empty line')
        _, out = publish(self, source)
        self.assertSelfContained(out, title)
        # --title wins over the info text, and is kept as given however HTML reads it.
        given = 'Маяк «Огонь» & </title> <b>ночь</b>'
        _, out = publish(self, source, extra=['--title', given])
        self.assertSelfContained(out, given)

    def test_titles_of_folders_and_games_without_info(self):
        folder = compiled_demo(self)
        _, out = publish(self, folder)
        self.assertSelfContained(out, info_title(os.path.join(OPTIONS.demo_source, 'demo.nvx')))
        work = scratch(self, 'small')
        source = os.path.join(work, 'тихий дом.nvx')
        with open(source, 'w', encoding='utf-8') as stream:
            stream.write(SMALL_GAME)
        _, out = publish(self, source)
        self.assertSelfContained(out, 'тихий дом')
        game = os.path.join(work, 'Пустая комната')
        self.assertEqual(run_ply(['build', source, '-o', game]).returncode, 0)
        _, out = publish(self, game)
        self.assertSelfContained(out, 'Пустая комната')
        # A folder given with a slash at its end is still named by itself.
        _, out = publish(self, game + '/')
        self.assertSelfContained(out, 'Пустая комната')


# ---------------------------------------------------------------------------------------------
# The published file in the browser


class FilePage(Page):
    """browser_test's Page on a file opened from disk instead of the served site."""

    def __init__(self, driver, path):
        super().__init__(driver, None)
        self.url = pathlib.Path(path).as_uri()

    def open(self, query=''):
        self.driver.get(self.url + query)
        present = self.driver.execute_script(
            'return !!(window.narravox && window.narravox.ready &&'
            '          typeof window.narravox.busy === "function")')
        if not present:
            raise PageError('window.narravox with ready and busy() is missing')
        return self.settle(LOAD_TIMEOUT)


DRIVER = None


def driver():
    global DRIVER
    if DRIVER is None:
        DRIVER = browser_test.start_browser()
    return DRIVER


def wait_for(probe, what, timeout=STEP_TIMEOUT):
    """Polls probe() until it gives something other than None."""
    deadline = time.monotonic() + timeout
    while True:
        found = probe()
        if found is not None:
            return found
        if time.monotonic() > deadline:
            raise PageError('timed out after %ds waiting for %s' % (timeout, what))
        time.sleep(0.05)


class BrowserCase(browser_test.BrowserCase):
    """A test on the shared browser: its console must stay free of errors."""

    def setUp(self):
        driver().get_log('browser')  # what earlier tests left

    def tearDown(self):
        severe = [entry.get('message') for entry in driver().get_log('browser')
                  if entry.get('level') == 'SEVERE']
        self.assertEqual(severe, [], 'errors in the browser console')

    def play_demo(self, path):
        """Opens a published demo past its start-up box; its text window's size."""
        self.page = FilePage(driver(), path)
        self.page.start_demo()
        return self.page.size()

    def script(self, text):
        return self.page.driver.execute_script(text)


class PlayTest(BrowserCase):
    def test_walkthrough_from_file(self):
        source = os.path.join(OPTIONS.demo_source, 'demo.nvx')
        _, out = publish(self, source, 'Последний огонь.html')
        lines, columns = self.play_demo(out)
        self.assertEqual(self.script('return document.title'), info_title(source))
        script = walkthrough()
        boxes = self.page.play(script)
        snap = self.page.settle()
        self.assertEqual(snap.state, 'playing', snap.describe())
        reference = run_batch(game_copy(self, compiled_demo(self)), script, columns, lines)
        self.assertEqual(reference.status, 0, reference.stderr)
        self.assertEqual(reference.boxes[0][0], '!!!Внимание!!!', reference.stderr)
        self.assertEqual(boxes, reference.boxes[1:], 'the boxes met differ from batch mode\'s')
        self.assertTrue(any('КОНЕЦ' in line for line in reference.lines[-lines:]),
                        'no ending at %dx%d' % (columns, lines))
        self.assertScreen(reference.lines, snap, lines, 'the end of the walkthrough')

    def test_save_reload_load_and_download(self):
        script = walkthrough()[:16]
        self.assertEqual(script[-1], 'возьми спички', 'the walkthrough changed its start')
        _, out = publish(self, os.path.join(OPTIONS.demo_source, 'demo.nvx'))
        lines, columns = self.play_demo(out)
        self.page.play(script)
        self.assertEqual(self.page.play(['сохранить', 'хижина']), [], 'saving showed a box')
        game_hash = self.script('return window.narravox.gameHash')
        self.assertTrue(game_hash, 'window.narravox.gameHash is not set')
        stored = self.page.driver.execute_async_script(INDEXEDDB_KEYS)
        self.assertIsInstance(stored, list, 'IndexedDB "narravox", store "saves": %s' % stored)
        self.assertTrue([key for key in stored if key.startswith('%s/' % game_hash)
                         and 'хижина' in key], 'no save under the game\'s hash %s: %r'
                        % (game_hash, stored))

        # Reloaded, the game starts anew; loading brings the matches back.
        self.page.start_demo()
        snap = self.page.type_command('и')
        self.assertEqual(snap.lines[-1], NOTHING_CARRIED, 'no new game: ' + snap.describe())
        self.assertEqual(self.page.play(['загрузить', 'хижина', 'и', 'о']), [],
                         'loading showed a box')
        snap = self.page.settle()
        game = compiled_demo(self)
        folder = game_copy(self, game)
        reference = run_batch(folder, script + ['сохранить', 'хижина', 'и', 'о'], columns,
                              lines)
        expected = tail_from(reference.lines, '>и')
        self.assertIn('    коробок спичек  ', expected, 'the reference carries no matches')
        self.assertLines(expected, snap.lines[-len(expected):], 'the game after loading')

        # The save downloaded from the saves dialog is narravox-term's own file.
        downloads = scratch(self, 'downloads')
        self.page.driver.execute_cdp_cmd('Browser.setDownloadBehavior',
                                         {'behavior': 'allow', 'downloadPath': downloads})
        self.page.driver.find_element(By.ID, 'saves').click()
        wait_for(lambda: self.script(
            'const rows = Array.from(document.querySelectorAll("dialog[open] li"));'
            'const row = rows.find(row => row.textContent.includes("хижина"));'
            'const button = row && Array.from(row.querySelectorAll("button"))'
            '    .find(button => button.textContent.trim() === "Скачать");'
            'if (!button) return null;'
            'button.click();'
            'return true;'), '«Скачать» for хижина in the saves dialog')
        saved = wait_for(lambda: self.downloaded(downloads), 'the download')
        self.page.keys(Keys.ESCAPE)
        with open(saved, 'rb') as stream:
            data = stream.read()
        self.assertEqual(len(data), SAVE_SIZE, 'the downloaded save\'s size')
        with open(os.path.join(folder, 'хижина.nvs'), 'rb') as stream:
            self.assertEqual(data, stream.read(), 'the download differs from batch mode\'s save')
        loaded = run_batch(game_copy(self, game, [(saved, 'скачано.nvs')]),
                           ['загрузить', 'скачано', 'и', 'о'], columns, lines)
        self.assertEqual((loaded.status, loaded.boxes[1:]), (0, []), loaded.stderr)
        self.assertLines(snap.lines[-len(expected):], tail_from(loaded.lines, '>и'),
                         'the page and narravox-term after loading the download')

    def downloaded(self, folder):
        names = os.listdir(folder)
        if any(name.endswith('.crdownload') for name in names) or not names:
            return None
        self.assertEqual(len(names), 1, 'downloads: %r' % names)
        self.assertTrue(names[0].endswith('.nvs'), 'downloads: %r' % names)
        return os.path.join(folder, names[0])


class ReadmeTest(BrowserCase):
    def readme_shown(self):
        """Opens the readme from the toolbar; the text of its dialog's <pre>, then closes it."""
        button = self.page.driver.find_element(By.ID, 'readme')
        self.assertTrue(button.is_displayed(), 'the readme button is hidden')
        button.click()
        shown = wait_for(lambda: self.script(
            'const pre = document.querySelector("dialog[open] pre");'
            'return pre ? pre.textContent : null'), 'a dialog with a <pre>')
        self.page.keys(Keys.ESCAPE)
        snap = self.page.settle()
        self.assertFalse(self.script('return document.querySelector("dialog[open]") !== null'),
                         'Esc leaves the readme open')
        self.assertEqual(snap.state, 'playing', snap.describe())
        return shown.replace('\r\n', '\n').rstrip('\n')

    def test_read1st_beside_the_source(self):
        _, out = publish(self, os.path.join(OPTIONS.demo_source, 'demo.nvx'))
        self.play_demo(out)
        expected = read_text(os.path.join(OPTIONS.demo_source, 'Read1st!.txt'))
        self.assertEqual(self.readme_shown(), expected.replace('\r\n', '\n').rstrip('\n'))

    def test_readme_option_and_a_folder_without_one(self):
        folder = compiled_demo(self)
        readme = os.path.join(scratch(self, 'readme'), 'заметки.txt')
        text = 'Прочтите!\n<script>alert(1)</script> & </pre></dialog>\n\tотступ «ё»'
        with open(readme, 'w', encoding='utf-8') as stream:
            stream.write(text + '\n')
        title = 'Маяк & </title> <b>'
        _, out = publish(self, folder, extra=['--readme', readme, '--title', title])
        self.play_demo(out)
        self.assertEqual(self.script('return document.title'), title)
        self.assertEqual(self.readme_shown(), text)
        # Without Read1st!.txt there is nothing to read: no button offers it.
        _, out = publish(self, folder)
        self.play_demo(out)
        buttons = self.page.driver.find_elements(By.ID, 'readme')
        self.assertFalse(buttons and buttons[0].is_displayed(),
                         'a readme button for a game without Read1st!.txt')
        snap = self.page.type_command('и')
        self.assertEqual(snap.lines[-1], NOTHING_CARRIED, snap.describe())


# ---------------------------------------------------------------------------------------------
# Refusals: nothing written, and an older page left as it was


class RefusalTest(unittest.TestCase):
    KEPT = '<!DOCTYPE html><title>the page published earlier</title>\n'

    def assertRefused(self, arguments, messages, program=None, cwd=None):
        """publish ARGUMENTS -o OUT exits with 1, says each of `messages` on standard error and
        writes nothing, whether OUT is new or there already; returns the standard error."""
        folder = scratch(self, 'refused')
        out = os.path.join(folder, 'игра.html')
        command = ['publish'] + arguments + ['-o', out]
        for existing in (False, True):
            if existing:
                with open(out, 'w', encoding='utf-8') as stream:
                    stream.write(self.KEPT)
            result = run_ply(command, program, cwd)
            self.assertEqual(result.returncode, 1, 'publish %s: status %d, standard error:\n%s'
                             % (' '.join(arguments), result.returncode, result.stderr))
            for message in messages:
                self.assertIn(message, result.stderr)
            self.assertEqual(os.listdir(folder), ['игра.html'] if existing else [],
                             'files written by a failed publish')
            if existing:
                self.assertEqual(read_text(out), self.KEPT, 'a failed publish changed OUT')
        return result.stderr

    def assertSameErrors(self, reference, stderr):
        """Every error of `reference` (build's or check's lines) is in `stderr`: its message
        and the file it is in, however the path is written."""
        errors = [line for line in reference.splitlines() if ': error: ' in line]
        self.assertTrue(errors, 'the reference reports no error:\n' + reference)
        for line in errors:
            where, message = line.split(': error: ', 1)
            name = os.path.basename(where.split(':')[0])
            self.assertTrue([said for said in stderr.splitlines()
                             if said.endswith('error: ' + message) and name in said],
                            'publish does not report %r; it says:\n%s' % (line, stderr))

    def test_missing_template(self):
        demo = os.path.join(OPTIONS.demo_source, 'demo.nvx')
        self.assertRefused([demo, '--template', '/nonexistent/player-template.html'],
                           ['/nonexistent', 'player-template.html'])
        # A program found alone, with no template beside it, in ../share or installed.
        prefix = self.install_prefix()
        installed = os.path.join(prefix, 'share', 'narravox', 'web', 'player-template.html')
        if os.path.exists(installed):
            self.skipTest('a template is installed: ' + installed)
        alone = os.path.join(scratch(self, 'alone'), 'bin')
        os.mkdir(alone)
        program = shutil.copy(OPTIONS.ply, alone)
        stderr = self.assertRefused([demo], ['player-template.html'], program, alone)
        self.assertIn('web', stderr.lower(), 'the message does not tell of the web build')

    def test_template_found_beside_the_program_and_in_share(self):
        demo = os.path.join(OPTIONS.demo_source, 'demo.nvx')
        root = scratch(self, 'lookup')
        for program_folder, template_folder in (
                ('beside', 'beside'), ('tree/bin', 'tree/share/narravox/web')):
            for folder in {program_folder, template_folder}:
                os.makedirs(os.path.join(root, folder))
            program = shutil.copy(OPTIONS.ply, os.path.join(root, program_folder))
            shutil.copy(OPTIONS.template, os.path.join(root, template_folder))
            out = os.path.join(root, program_folder, 'page.html')
            result = run_ply(['publish', demo, '-o', out], program, cwd=root)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(PageParser(read_text(out)).titles, [info_title(demo)])

    @staticmethod
    def install_prefix():
        """The prefix the program was built for, from the CMake cache above it."""
        folder = os.path.dirname(OPTIONS.ply)
        while folder != os.path.dirname(folder):
            cache = os.path.join(folder, 'CMakeCache.txt')
            if os.path.exists(cache):
                match = re.search(r'^CMAKE_INSTALL_PREFIX:\w+=(.*)$', read_text(cache),
                                  re.MULTILINE)
                if match:
                    return match.group(1)
            folder = os.path.dirname(folder)
        return '/usr/local'

    def test_source_that_does_not_compile(self):
        source = os.path.join(scratch(self, 'bad'), 'ошибка.nvx')
        with open(source, 'w', encoding='utf-8') as stream:
            stream.write(SMALL_GAME.replace('text "', 'txt "') + 'location Комната\n')
        built = run_ply(['build', source, '-o', os.path.join(os.path.dirname(source), 'game')])
        self.assertEqual(built.returncode, 1, 'the broken game compiles')
        stderr = self.assertRefused([source, '--template', OPTIONS.template], [])
        self.assertSameErrors(built.stderr, stderr)

    def test_damaged_game_folders(self):
        def truncated(folder):
            with open(os.path.join(folder, 'Scenario.ply'), 'r+b') as stream:
                stream.truncate(100)

        def wrong_magic(folder):
            with open(os.path.join(folder, 'Commands.ply'), 'r+b') as stream:
                stream.write(b'XXXX')

        for damage in (truncated, wrong_magic):
            with self.subTest(damage.__name__):
                folder = compiled_demo(self)
                damage(folder)
                checked = run_ply(['check', folder])
                self.assertEqual(checked.returncode, 1, 'check passes the damaged game')
                stderr = self.assertRefused([folder, '--template', OPTIONS.template], [])
                self.assertSameErrors(checked.stdout + checked.stderr, stderr)
        folder = compiled_demo(self)
        os.remove(os.path.join(folder, 'Scenario.ply'))
        self.assertRefused([folder, '--template', OPTIONS.template], ['Scenario.ply'])


ORDER = [PublishedFileTest, RefusalTest, PlayTest, ReadmeTest]


def main():
    global OPTIONS
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--ply', required=True, help='narravox-ply, the program tested')
    parser.add_argument('--term', required=True, help='narravox-term, the reference')
    parser.add_argument('--demo-source', required=True,
                        help='games/demo: demo.nvx, Read1st!.txt, walkthrough.txt')
    parser.add_argument('--template', required=True, help='the web build\'s player template')
    parser.add_argument('--chromium', default='/usr/bin/chromium')
    parser.add_argument('--chromedriver', default='/usr/bin/chromedriver')
    OPTIONS, rest = parser.parse_known_args()
    for name in ('ply', 'term', 'demo_source', 'template'):
        setattr(OPTIONS, name, os.path.abspath(getattr(OPTIONS, name)))
    browser_test.OPTIONS = OPTIONS
    status = browser_test.missing_inputs('publish_test.py', (
        OPTIONS.ply, OPTIONS.term, OPTIONS.template,
        os.path.join(OPTIONS.demo_source, 'walkthrough.txt')))
    if status is not None:
        return status
    faulthandler.dump_traceback_later(RUN_TIMEOUT, exit=True)
    suite = browser_test.selected_suite(sys.modules[__name__], ORDER, rest)
    started = time.monotonic()
    try:
        result = unittest.TextTestRunner(verbosity=2).run(suite)
    finally:
        if DRIVER is not None:
            browser_test.stop_browser(DRIVER)
    print('publish tests took %.0f s' % (time.monotonic() - started))
    return 0 if result.wasSuccessful() else 1


if __name__ == '__main__':
    sys.exit(main())
