"""The page where people practise: on a phone with the number pad, without a network once it
has been opened, asking nothing of the server after it has loaded, and readable by everyone."""
import os
import shutil
import tempfile

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

import page_fixture
from page_fixture import PageCase, axe_violations, expected_answer, tap
from test_page import DESKTOP_HISTORY


def import_history(case, data):
    with tempfile.NamedTemporaryFile(suffix='.txt', delete=False) as f:
        f.write(data)
    try:
        case.el('cmdData').click()
        case.el('historyFile').send_keys(f.name)
        case.answer_dialog('askDialog', 'askYes')
        case.el('cmdDataClose').click()
    finally:
        os.remove(f.name)


class OfflineTest(PageCase):
    def test_after_one_visit_the_page_opens_and_plays_with_its_server_gone(self):
        self.open_page()
        self.driver.set_script_timeout(20)
        kept = self.driver.execute_async_script(
            'const done = arguments[0];'
            'navigator.serviceWorker.ready.then(() => caches.open("ketatobi-page"))'
            '  .then(c => c.keys()).then(k => done(k.length), e => done(-1));')
        self.assertGreaterEqual(kept, 10)
        import_history(self, DESKTOP_HISTORY)
        rows = self.history_rows()

        self.server.stop()
        self.driver.refresh()
        self.open_page()
        self.assertEqual(self.history_rows(), rows)
        self.start_round(10)
        d = self.digits()
        self.box(1).send_keys(str(expected_answer(d[0], d[1], '＋')))
        self.assertEqual(self.box_colour(1), 'green')


class UpdateTest(PageCase):
    """A new version of the page on the server: the person's history stays as it was."""

    @classmethod
    def setUpClass(cls):
        cls.site = tempfile.mkdtemp(prefix='keta-site-')
        shutil.copytree(page_fixture.SITE, cls.site, dirs_exist_ok=True)
        cls.original_site = page_fixture.SITE
        page_fixture.SITE = cls.site
        super().setUpClass()

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        page_fixture.SITE = cls.original_site
        shutil.rmtree(cls.site, ignore_errors=True)

    def test_a_new_version_of_the_page_keeps_the_history(self):
        self.open_page()
        self.driver.set_script_timeout(20)
        self.driver.execute_async_script(
            'const done = arguments[0]; navigator.serviceWorker.ready.then(() => done(1));')
        import_history(self, DESKTOP_HISTORY)
        rows = self.history_rows()
        for name in ('app.js', 'sw.js', 'style.css'):
            with open(os.path.join(self.site, name), 'a', encoding='utf-8') as f:
                f.write('\n/* next version */\n')
        for _ in range(2):  # the new files arrive at the first visit, the new worker takes over
            self.driver.refresh()
            self.open_page()
            self.assertEqual(self.history_rows(), rows)
        served = self.driver.execute_script(
            'return fetch("app.js").then(r => r.text()).then(t => t.endsWith("/* next version */\\n"))')
        self.assertTrue(served)


class NoRequestTest(PageCase):
    def test_once_loaded_the_page_asks_the_server_for_nothing(self):
        self.open_page()
        self.wait(lambda: self.driver.execute_script(
            'return !!navigator.serviceWorker.controller || document.readyState === "complete"'))
        self.driver.execute_async_script('setTimeout(arguments[0], 1500)')
        before = self.server.requests()
        import_history(self, DESKTOP_HISTORY)
        self.start_round(10)
        d = self.digits()
        for i in range(1, 6):
            self.driver.switch_to.active_element.send_keys(str(expected_answer(d[i - 1], d[i], '＋')))
        self.el('cmdHozon').click()
        self.el('cmdData').click()
        self.el('cmdExportHistory').click()
        self.wait_download('履歴.txt')
        self.el('cmdDataClose').click()
        self.assertEqual(self.server.requests(), before)


class TouchTest(PageCase):
    mobile = True

    def test_a_phone_plays_with_the_number_pad_and_the_page_fits_its_width(self):
        self.open_page()
        pad = self.el('pad')
        self.assertTrue(pad.is_displayed())
        self.assertEqual(self.box(1).get_attribute('inputmode'), 'none')
        self.assertLessEqual(self.driver.execute_script('return document.documentElement.scrollWidth'), 360)
        Select(self.el('cboJikan')).select_by_value('10')
        tap(self.driver, self.el('cmdStart'))
        self.wait(lambda: self.box(1).is_enabled(), 6, 'timed play did not begin')
        d = self.digits()
        keys = {b.text: b for b in pad.find_elements(By.TAG_NAME, 'button')}
        tap(self.driver, keys[str(expected_answer(d[0], d[1], '＋'))])
        self.assertEqual(self.box_colour(1), 'green')
        tap(self.driver, keys[str((expected_answer(d[1], d[2], '＋') + 1) % 10)])
        self.assertEqual(self.box_colour(2), 'red')
        self.assertEqual([self.text('lblOk'), self.text('lblNg')], ['1', '1'])
        self.assertEqual(axe_violations(self.driver), [])


class AccessTest(PageCase):
    def test_every_screen_passes_the_wcag_21_aa_rules(self):
        self.open_page()
        self.assertEqual(axe_violations(self.driver), [], 'at rest')
        import_history(self, DESKTOP_HISTORY)
        self.start_round(10)
        d = self.digits()
        self.box(1).send_keys(str(expected_answer(d[0], d[1], '＋')))
        self.driver.switch_to.active_element.send_keys(str((expected_answer(d[1], d[2], '＋') + 1) % 10))
        self.assertEqual(axe_violations(self.driver), [], 'during a round')
        self.el('cmdData').click()
        self.assertEqual(axe_violations(self.driver), [], 'the data dialog')
        self.el('cmdDataClose').click()
        self.el('cmdClear').click()
        self.assertEqual(axe_violations(self.driver), [], 'the clear question')
        self.answer_dialog('askDialog', 'askNo')

    def test_the_drill_is_played_from_the_keyboard_alone(self):
        self.open_page()
        # The start button has the focus once the page is ready, as in the desktop window, and
        # Tab then walks the tool bar.
        self.assertEqual(self.driver.switch_to.active_element.get_attribute('id'), 'cmdStart')
        ActionChains(self.driver).send_keys(Keys.TAB).perform()
        self.assertEqual(self.driver.switch_to.active_element.get_attribute('id'), 'cmdHozon')
        ActionChains(self.driver).key_down(Keys.SHIFT).send_keys(Keys.TAB).key_up(Keys.SHIFT).perform()
        self.assertEqual(self.driver.switch_to.active_element.get_attribute('id'), 'cmdStart')
        self.driver.switch_to.active_element.send_keys('\n')
        self.wait(lambda: self.box(1).is_enabled(), 6, 'timed play did not begin')
        self.assertEqual(self.driver.switch_to.active_element.get_attribute('id'), 'txtKaitou_1')


class TwoTabsTest(PageCase):
    def open_second_tab(self):
        """The page again in a second tab, which waits for the first to let go of the files,
        then says why it keeps nothing."""
        first = self.driver.current_window_handle
        self.driver.switch_to.new_window('tab')
        self.driver.get(self.url)
        self.wait(lambda: self.el('body', By.TAG_NAME).get_attribute('data-ready') == 'true', 15)
        return first

    def test_a_second_tab_keeps_nothing_so_that_neither_loses_the_others_results(self):
        self.open_page()
        import_history(self, DESKTOP_HISTORY)
        first = self.open_second_tab()
        told = self.answer_dialog('tellDialog', 'tellOk')
        self.assertIn('ほかのタブかウィンドウでも開いています', told)
        self.assertIn('保存していません', self.text('storageNote'))
        self.assertEqual(len(self.history_rows()), 3)
        # The second tab clears its history; the first tab's files stay as they were.
        self.el('cmdClear').click()
        self.answer_dialog('askDialog', 'askYes')
        self.answer_dialog('tellDialog', 'tellOk')
        self.assertEqual(self.history_rows(), [])
        self.driver.close()
        self.driver.switch_to.window(first)
        self.driver.refresh()
        self.open_page()
        self.assertEqual(len(self.history_rows()), 3)
        self.assertNotIn('保存していません', self.text('storageNote'))
