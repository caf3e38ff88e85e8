"""The answer log in the page: a round typed at the keyboard in its work curve and the
weak-pairs map, kept across a reload, 解答ログ.db exported for the desktop and a desktop log
brought in, and files that are no log of this program refused with nothing stored."""
import os
import shutil
import sqlite3
import tempfile
import unittest

from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select

from page_fixture import PageCase, axe_violations, expected_answer, hostile_files

LOG_MARK = 0x4B545442  # "KTTB"


class LogCase(PageCase):
    def play_round(self):
        """A 10 s round: box 1 right, box 2 wrong, box 3 right after the time is up (it closes
        the round). Returns the digits."""
        self.start_round(10)
        d = self.digits()
        self.box(1).send_keys(str(expected_answer(d[0], d[1], '＋')))
        self.driver.switch_to.active_element.send_keys(str((expected_answer(d[1], d[2], '＋') + 1) % 10))
        self.wait(lambda: self.driver.execute_script('return KetaApp.snapshot().play') is False,
                  15, 'the time did not run out')
        self.driver.switch_to.active_element.send_keys(str(expected_answer(d[2], d[3], '＋')))
        self.wait_log_kept()
        return d

    def wait_log_kept(self):
        self.driver.set_script_timeout(10)
        self.driver.execute_async_script('KetaLog.kept().then(arguments[arguments.length - 1]);')

    def curve(self, check_access=False):
        self.el('cmdCurve').click()
        self.wait(lambda: self.el('curveDialog').get_attribute('open') is not None)
        if check_access:
            self.assertEqual(axe_violations(self.driver), [], 'the work curve')
        rows = [[td.text for td in tr.find_elements(By.TAG_NAME, 'td')]
                for tr in self.driver.find_elements(By.CSS_SELECTOR, '#curveRows tr')]
        seen = {'heading': self.text('curveHeading'), 'place': self.text('curvePlace'),
                'rows': rows, 'accuracy': self.text('curveAccuracy'),
                'speed': self.text('curveSpeed')}
        self.el('cmdCurveClose').click()
        return seen

    def pick_log(self, path):
        self.el('cmdData').click()
        self.el('logFile').send_keys(path)

    def export_log(self):
        self.el('cmdData').click()
        self.el('cmdExportLog').click()
        data = self.wait_download('解答ログ.db')
        self.el('cmdDataClose').click()
        return data


# Each test in a class of its own: a browser profile of its own, so an empty log to begin with.
class CurveAndPairsTest(LogCase):
    def test_a_round_shows_in_its_work_curve_and_the_pairs_map_after_a_reload(self):
        self.open_page()
        d = self.play_round()
        self.driver.refresh()
        self.open_page()
        seen = self.curve(check_access=True)
        # 2 right of 3 in 10 s; bins of 5 s; the two first answers came within the first 5 s.
        self.assertIn('・＋・10秒・正解 2/3・0.20/秒', seen['heading'])
        self.assertEqual(seen['place'], '1 / 1 回')
        self.assertEqual([r[0] for r in seen['rows']], ['0–5', '5–10'])
        self.assertEqual(sum(int(r[1]) for r in seen['rows']), 3)
        self.assertEqual(sum(int(r[2]) for r in seen['rows']), 1)
        self.assertEqual(seen['accuracy'], '66.7%')
        self.assertEqual(seen['speed'], '0.20/秒')

        self.el('cmdPairs').click()
        self.wait(lambda: self.el('pairsDialog').get_attribute('open') is not None)
        self.assertIn('＋ モードの 1 回・解答 3、ミス 1（33.3%）', self.text('pairsSummary'))
        cell = self.driver.find_elements(By.CSS_SELECTOR, '#pairsRows tr')[d[0]] \
            .find_elements(By.TAG_NAME, 'td')[d[1]]
        described = cell.get_attribute('aria-label')
        self.assertTrue(described.startswith(f'{d[0]}＋{d[1]}：解答 '), described)
        self.assertIn('5問未満', described)
        self.assertEqual(axe_violations(self.driver), [], 'the pairs map')
        Select(self.el('pairsMode')).select_by_value('1')
        self.assertIn('－ モードの 0 回', self.text('pairsSummary'))
        self.el('cmdPairsClose').click()

class LogFileTest(LogCase):
    def test_the_log_goes_to_the_desktop_and_a_desktop_log_comes_in(self):
        self.open_page()
        self.play_round()
        folder = tempfile.mkdtemp(prefix='keta-log-')
        path = os.path.join(folder, '解答ログ.db')
        try:
            with open(path, 'wb') as f:
                f.write(self.export_log())
            with sqlite3.connect(path) as db:
                self.assertEqual(db.execute('PRAGMA application_id').fetchone()[0], LOG_MARK)
                self.assertEqual(db.execute('PRAGMA user_version').fetchone()[0], 3)
                self.assertEqual(db.execute('PRAGMA quick_check').fetchone()[0], 'ok')
                self.assertEqual(db.execute('SELECT answers, correct, wrong, time_limit FROM rounds')
                                 .fetchall(), [(3, 2, 1, 10)])
                self.assertEqual(db.execute('SELECT count(*) FROM answers WHERE cleared = 0')
                                 .fetchone()[0], 3)
                # The desktop adds a round of its own, writing through WAL as it does.
                db.execute('PRAGMA journal_mode = WAL')
                db.execute("INSERT INTO rounds (started_at, time_limit, mode_text, answers, correct,"
                           " wrong, kind) VALUES ('2026-12-01T20:00:00', 60, '－', 1, 1, 0, 0)")
                db.execute("INSERT INTO answers VALUES (2, 0, 1500, 4, 9, 2, '7', 7, 1, 0)")
            with sqlite3.connect(path) as db:
                db.execute('PRAGMA wal_checkpoint(TRUNCATE)')
            self.pick_log(path)
            question = self.answer_dialog('askDialog', 'askYes')
            self.assertIn('2 回の記録', question)
            self.assertIn('今の解答ログ 1 回', question)
            self.el('cmdDataClose').click()
            self.wait_log_kept()
        finally:
            for name in os.listdir(folder):
                os.remove(os.path.join(folder, name))
            os.rmdir(folder)
        self.driver.refresh()
        self.open_page()
        seen = self.curve()
        self.assertEqual(seen['place'], '2 / 2 回')
        self.assertIn('2026/12/01 20:00:00 開始・－・60秒・正解 1/1', seen['heading'])

class HostileLogTest(LogCase):
    def test_files_that_are_no_log_of_this_program_are_refused_and_nothing_is_stored(self):
        self.open_page()
        self.play_round()
        folder = tempfile.mkdtemp(prefix='keta-hostile-log-')
        files = hostile_files(folder, '.db')
        files['newer'] = os.path.join(folder, 'newer.db')
        with open(files['newer'], 'wb') as f:
            f.write(self.export_log())
        with sqlite3.connect(files['newer']) as db:
            db.execute('PRAGMA user_version = 4')
        try:
            for kind, said in (('binary', 'データベースではありません'),
                               ('other', 'ケタトビの解答ログではありません'),
                               ('newer', '新しい版'), ('huge', '大きすぎる')):
                with self.subTest(kind):
                    self.pick_log(files[kind])
                    message = self.answer_dialog('tellDialog', 'tellOk')
                    self.assertIn(said, message)
                    self.el('cmdDataClose').click()
                    self.assertEqual(self.curve()['place'], '1 / 1 回')
        finally:
            shutil.rmtree(folder)
        self.driver.refresh()
        self.open_page()
        self.assertEqual(self.curve()['place'], '1 / 1 回')


if __name__ == '__main__':
    unittest.main()
