"""What the page tests share: the local server, a headless Chromium driven by chromedriver,
and the person's actions on the page through real key, click and touch events."""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
SITE = os.environ.get('KETATOBI_SITE', os.path.join(ROOT, 'build-web', 'site'))


class Server:
    """The page served from the built site on a free loopback port, every request logged."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix='keta-serve-')
        self.log = os.path.join(self.folder, 'requests.log')
        self.process = None
        self.port = 0
        self.url = None

    def start(self):
        self.process = subprocess.Popen(
            [sys.executable, os.path.join(ROOT, 'web', 'serve.py'), '--port', str(self.port),
             '--log', self.log, SITE], stdout=subprocess.PIPE, text=True)
        self.url = self.process.stdout.readline().strip()
        self.port = int(self.url.rsplit(':', 1)[1].strip('/'))
        return self.url

    def stop(self):
        if self.process:
            self.process.terminate()
            self.process.wait(10)
            self.process.stdout.close()
            self.process = None

    def requests(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log, encoding='utf-8') as log:
            return log.read().splitlines()

    def cleanup(self):
        self.stop()
        shutil.rmtree(self.folder, ignore_errors=True)


def make_driver(profile, mobile=False):
    options = webdriver.ChromeOptions()
    options.binary_location = os.environ.get('KETATOBI_CHROMIUM', '/usr/bin/chromium')
    for arg in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage',
                '--no-first-run', '--disable-extensions', '--lang=ja', f'--user-data-dir={profile}'):
        options.add_argument(arg)
    if mobile:
        options.add_experimental_option('mobileEmulation', {
            'deviceMetrics': {'width': 360, 'height': 740, 'pixelRatio': 2, 'touch': True},
            'userAgent': 'Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 '
                         '(KHTML, like Gecko) Chrome/120.0 Mobile Safari/537.36'})
    else:
        options.add_argument('--window-size=1280,1000')
    service = Service(os.environ.get('KETATOBI_CHROMEDRIVER', '/usr/bin/chromedriver'))
    return webdriver.Chrome(options=options, service=service)


def expected_answer(left, right, mode):
    """The answer worked out by hand: the last digit of the sum, or the difference."""
    return abs(left - right) if mode == '－' else (left + right) % 10


class PageCase(unittest.TestCase):
    """One server and one browser profile per test class; a fresh page per test."""
    mobile = False

    @classmethod
    def setUpClass(cls):
        cls.server = Server()
        cls.url = cls.server.start()
        cls.profile = tempfile.mkdtemp(prefix='keta-profile-')
        cls.downloads = tempfile.mkdtemp(prefix='keta-downloads-')
        cls.driver = make_driver(cls.profile, cls.mobile)
        cls.driver.execute_cdp_cmd('Browser.setDownloadBehavior',
                                   {'behavior': 'allow', 'downloadPath': cls.downloads})

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.cleanup()
        shutil.rmtree(cls.profile, ignore_errors=True)
        shutil.rmtree(cls.downloads, ignore_errors=True)

    # --- Waiting and reading.
    def wait(self, condition, timeout=10, message=''):
        return WebDriverWait(self.driver, timeout, poll_frequency=0.05).until(
            lambda d: condition(), message)

    def open_page(self):
        self.driver.get(self.url)
        self.wait(lambda: self.driver.find_element(By.TAG_NAME, 'body').get_attribute('data-ready')
                  in ('true', 'failed'), 15)
        self.assertEqual(self.el('body', By.TAG_NAME).get_attribute('data-ready'), 'true')

    def el(self, key, by=By.ID):
        return self.driver.find_element(by, key)

    def text(self, element_id):
        return self.el(element_id).text

    def digits(self):
        return [int(self.text(f'lblMondai_{j}')) for j in range(1, 16)]

    def box(self, i):
        return self.el(f'txtKaitou_{i}')

    def box_colour(self, i):
        classes = self.box(i).get_attribute('class').split()
        return next(c for c in ('green', 'red', 'white') if c in classes)

    def history_rows(self):
        rows = self.driver.find_elements(By.CSS_SELECTOR, '#historyRows tr')
        return [[td.text for td in row.find_elements(By.TAG_NAME, 'td')] for row in rows]

    # --- Acting.
    def choose_time_limit(self, seconds):
        Select(self.el('cboJikan')).select_by_value(str(seconds))

    def start_round(self, seconds):
        self.choose_time_limit(seconds)
        self.el('cmdStart').click()
        # The countdown takes three ticks of the one-second timer.
        self.wait(lambda: self.box(1).is_enabled(), 6, 'timed play did not begin')

    def answer_dialog(self, dialog, button):
        self.wait(lambda: self.el(dialog).get_attribute('open') is not None, 10,
                  f'{dialog} did not open')
        text = self.text(dialog.replace('Dialog', 'Text'))
        self.el(button).click()
        self.wait(lambda: self.el(dialog).get_attribute('open') is None, 5)
        return text

    def wait_download(self, name, timeout=10):
        path = os.path.join(self.downloads, name)
        deadline = time.time() + timeout
        while time.time() < deadline:
            if os.path.exists(path) and not os.path.exists(path + '.crdownload'):
                with open(path, 'rb') as f:
                    data = f.read()
                os.remove(path)
                return data
            time.sleep(0.05)
        self.fail(f'{name} was not downloaded')


def hostile_files(folder, ext):
    """Files a person might pick by mistake, by kind: a picture's bytes, another program's
    SQLite database and a 600 MB file (sparse: it costs no disk)."""
    import sqlite3
    files = {kind: os.path.join(folder, kind + ext) for kind in ('binary', 'other', 'huge')}
    with open(files['binary'], 'wb') as f:
        f.write(bytes(range(256)) * 64)
    with sqlite3.connect(files['other']) as db:
        db.execute('create table rounds(id integer primary key, score real, typed text)')
        db.executemany('insert into rounds(score, typed) values (?, ?)', [(1.5, '7')] * 500)
    with open(files['huge'], 'wb') as f:
        f.truncate(600 * 1024 * 1024)
    return files


def tap(driver, element):
    """A finger's tap on the element's centre: touch events, as a phone sends them."""
    driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", element)
    rect = driver.execute_script(
        'const r = arguments[0].getBoundingClientRect(); return [r.x + r.width / 2, r.y + r.height / 2];',
        element)
    point = {'x': rect[0], 'y': rect[1]}
    driver.execute_cdp_cmd('Input.dispatchTouchEvent', {'type': 'touchStart', 'touchPoints': [point]})
    driver.execute_cdp_cmd('Input.dispatchTouchEvent', {'type': 'touchEnd', 'touchPoints': []})


AXE = os.path.join(ROOT, 'web', 'node_modules', 'axe-core', 'axe.min.js')
AXE_TAGS = ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa']


def axe_violations(driver):
    """axe-core's WCAG 2.1 A and AA rules over the page as it stands, one line per violation."""
    if not driver.execute_script('return typeof axe !== "undefined"'):
        with open(AXE, encoding='utf-8') as f:
            driver.execute_script(f.read())
    driver.set_script_timeout(60)
    return driver.execute_async_script(
        'const done = arguments[arguments.length - 1];'
        'axe.run(document, {runOnly: {type: "tag", values: arguments[0]}}).then(r => done('
        '  r.violations.map(v => v.id + ": " + v.nodes.map(n => n.target.join(" ")).join(", "))),'
        '  e => done(["axe failed: " + e]));', AXE_TAGS)
