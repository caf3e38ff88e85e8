#!/usr/bin/env python3
"""Pictures of the page for the README, taken in headless Chromium from the local server.

    screenshots.py OUT_DIR [SITE]

web-desktop.png: a round under way at 1280 × 1000; web-curve.png and web-pairs.png: its work
curve and the weak-pairs map once it has closed. web-phone.png: a round played on a 360 × 740
touch screen with the number pad. web-phone-offline.png: the same phone after the round,
reloaded with the server stopped, its result in the history; web-phone-curve.png: its curve.
"""
import os
import shutil
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), 'tests'))

import page_fixture  # noqa: E402
from page_fixture import Server, expected_answer, make_driver, tap  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import Select, WebDriverWait  # noqa: E402


def ready(driver):
    WebDriverWait(driver, 15, 0.05).until(
        lambda d: d.execute_script('return document.body.dataset.ready') == 'true')


def digits(driver):
    return [int(driver.find_element(By.ID, f'lblMondai_{j}').text) for j in range(1, 16)]


def play(driver, answers, press, wrong_at=4):
    Select(driver.find_element(By.ID, 'cboJikan')).select_by_value('10')
    press(driver.find_element(By.ID, 'cmdStart'))
    WebDriverWait(driver, 6, 0.05).until(lambda d: d.find_element(By.ID, 'txtKaitou_1').is_enabled())
    d = digits(driver)
    for i in range(answers):
        answer = expected_answer(d[i], d[i + 1], '＋')
        if i == wrong_at:
            answer = (answer + 1) % 10
        yield answer


def main():
    out = sys.argv[1]
    if len(sys.argv) > 2:
        page_fixture.SITE = sys.argv[2]
    os.makedirs(out, exist_ok=True)
    server = Server()
    url = server.start()
    profiles = []
    try:
        profiles.append(tempfile.mkdtemp())
        driver = make_driver(profiles[-1])
        driver.set_window_size(1280, 1000)
        driver.get(url)
        ready(driver)
        for answer in play(driver, 9, lambda e: e.click()):
            driver.switch_to.active_element.send_keys(str(answer))
        driver.save_screenshot(os.path.join(out, 'web-desktop.png'))
        WebDriverWait(driver, 15, 0.1).until(
            lambda d: d.execute_script('return KetaApp.snapshot().play') is False)
        driver.switch_to.active_element.send_keys('5')
        driver.find_element(By.ID, 'cmdCurve').click()
        driver.save_screenshot(os.path.join(out, 'web-curve.png'))
        driver.find_element(By.ID, 'cmdCurveClose').click()
        driver.find_element(By.ID, 'cmdPairs').click()
        driver.save_screenshot(os.path.join(out, 'web-pairs.png'))
        driver.quit()

        profiles.append(tempfile.mkdtemp())
        phone = make_driver(profiles[-1], mobile=True)
        phone.get(url)
        ready(phone)
        pad = {b.text: b for b in phone.find_elements(By.CSS_SELECTOR, '#pad button')}
        for answer in play(phone, 7, lambda e: tap(phone, e)):
            tap(phone, pad[str(answer)])
        phone.execute_script('window.scrollTo(0, 0)')
        phone.save_screenshot(os.path.join(out, 'web-phone.png'))
        # Time up: the next answer closes the round and the auto-save keeps it.
        WebDriverWait(phone, 15, 0.1).until(
            lambda d: d.execute_script('return KetaApp.snapshot().play') is False)
        tap(phone, pad['5'])
        time.sleep(0.5)  # the history written to IndexedDB
        server.stop()
        phone.refresh()
        ready(phone)
        phone.save_screenshot(os.path.join(out, 'web-phone-offline.png'))
        tap(phone, phone.find_element(By.ID, 'cmdCurve'))
        phone.save_screenshot(os.path.join(out, 'web-phone-curve.png'))
        phone.quit()
    finally:
        server.cleanup()
        for profile in profiles:
            shutil.rmtree(profile, ignore_errors=True)
    return 0


if __name__ == '__main__':
    sys.exit(main())
