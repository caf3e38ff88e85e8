#!/usr/bin/env python3
"""The browser edition's speed and size, measured in headless Chromium from the local server.

    bench_page.py [SITE]

Prints "name: value (target)" lines:
- page_ready_ms: navigation start to the first round possible (start button enabled, the
  module compiled, the stored history read), empty cache and a new profile each time; the
  median of 5 loads.
- keystroke_to_colour_p99_ms: a key's event time stamp to its box's colour set, over 200 keys
  typed into rounds through chromedriver (real key events); p50 and the maximum beside it.
- session_line_change_max_ms: a session's tick that crosses a line's end to the new row laid out,
  over a session of six 10 s lines with answers typed in each; the median beside it.
- first_load_gzip_kb: the files the page asks for before its first round, as a server sends
  them with gzip (level 6); site_gzip_kb: every file, as the service worker keeps them for use
  without a network.
"""
import gzip
import os
import statistics
import sys
import tempfile
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), 'tests'))

import page_fixture  # noqa: E402
from page_fixture import Server, expected_answer, make_driver  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import Select, WebDriverWait  # noqa: E402

READY_TARGET_MS = 1000
KEY_TARGET_MS = 16
# SQLite is compiled into the module (about 215 KB of this), since every round goes into the
# answer log from the first one. About 2 s once on a slow mobile link (1.6 Mbit/s); after that
# the service worker serves it from the browser.
FIRST_LOAD_BUDGET_KB = 400
# What the service worker keeps: the session page and the icons on top.
SITE_BUDGET_KB = 450


def load_times(url, runs=5):
    times = []
    fetched = set()
    for _ in range(runs):
        profile = tempfile.mkdtemp(prefix='keta-bench-')
        driver = make_driver(profile)
        try:
            driver.get(url)
            WebDriverWait(driver, 15, 0.02).until(
                lambda d: d.execute_script('return document.body.dataset.ready') == 'true')
            times.append(driver.execute_script(
                'return performance.getEntriesByName("ketatobi-ready")[0].startTime'))
            fetched.update(driver.execute_script(
                'return performance.getEntriesByType("resource").filter(e => e.startTime <= '
                'performance.getEntriesByName("ketatobi-ready")[0].startTime)'
                '.map(e => new URL(e.name).pathname.slice(1))'))
        finally:
            driver.quit()
            shutil.rmtree(profile, ignore_errors=True)
    return times, fetched


def key_times(url, keys=200):
    profile = tempfile.mkdtemp(prefix='keta-bench-')
    driver = make_driver(profile)
    try:
        driver.get(url)
        WebDriverWait(driver, 15, 0.02).until(
            lambda d: d.execute_script('return document.body.dataset.ready') == 'true')
        Select(driver.find_element(By.ID, 'cboJikan')).select_by_value('180')
        driver.find_element(By.ID, 'cmdStart').click()
        WebDriverWait(driver, 6, 0.05).until(
            lambda d: d.find_element(By.ID, 'txtKaitou_1').is_enabled())
        typed = 0
        while typed < keys:
            digits = [int(driver.find_element(By.ID, f'lblMondai_{j}').text) for j in range(1, 16)]
            for i in range(14):
                if typed == keys:
                    break
                answer = expected_answer(digits[i], digits[i + 1], '＋')
                if typed % 10 == 9:
                    answer = (answer + 1) % 10  # some wrong ones: the red path too
                driver.switch_to.active_element.send_keys(str(answer))
                typed += 1
        return driver.execute_script('return KetaApp.timings.slice()')
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)


def line_change_times(url, lines=6):
    profile = tempfile.mkdtemp(prefix='keta-bench-')
    driver = make_driver(profile)
    try:
        driver.get(url + 'session.html')
        WebDriverWait(driver, 15, 0.02).until(
            lambda d: d.execute_script('return document.body.dataset.ready') == 'true')
        for element_id, value in (('lineSeconds', 10), ('firstHalfLines', lines),
                                  ('secondHalfLines', 0), ('restMinutes', 0)):
            Select(driver.find_element(By.ID, element_id)).select_by_value(str(value))
        driver.find_element(By.ID, 'cmdStart').click()
        WebDriverWait(driver, 6, 0.05).until(lambda d: d.find_element(By.ID, 'box1').is_enabled())
        while driver.find_element(By.ID, 'resultPage').get_attribute('hidden') is not None:
            try:
                driver.switch_to.active_element.send_keys('5')
            except Exception:  # the row changing under the key: the next one goes on
                pass
            driver.execute_async_script('setTimeout(arguments[0], 200)')
        return driver.execute_script('return KetaSession.lineChanges.slice()')
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)


def transfer_kb(site, names=None):
    total = 0
    for name in sorted(names if names is not None else os.listdir(site)):
        with open(os.path.join(site, name), 'rb') as f:
            total += len(gzip.compress(f.read(), 6))
    return total / 1024


def percentile(values, q):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(q * len(ordered)))]


def main():
    site = sys.argv[1] if len(sys.argv) > 1 else page_fixture.SITE
    page_fixture.SITE = site
    server = Server()
    url = server.start()
    try:
        ready, fetched = load_times(url)
        keys = key_times(url)
        changes = line_change_times(url)
    finally:
        server.cleanup()
    print(f'page_ready_ms: {statistics.median(ready):.0f} (target <= {READY_TARGET_MS}; '
          f'runs {", ".join(f"{t:.0f}" for t in ready)})')
    print(f'keystroke_to_colour_p99_ms: {percentile(keys, 0.99):.1f} (target <= {KEY_TARGET_MS}; '
          f'p50 {statistics.median(keys):.1f}, max {max(keys):.1f}, {len(keys)} keys)')
    print(f'session_line_change_max_ms: {max(changes):.1f} (target <= {KEY_TARGET_MS}; '
          f'median {statistics.median(changes):.1f}, {len(changes)} changes)')
    first = sorted(fetched | {'index.html'})
    print(f'first_load_gzip_kb: {transfer_kb(site, first):.1f} (budget <= {FIRST_LOAD_BUDGET_KB}; '
          f'{", ".join(first)})')
    print(f'site_gzip_kb: {transfer_kb(site):.1f} (budget <= {SITE_BUDGET_KB})')
    return 0


if __name__ == '__main__':
    sys.exit(main())
