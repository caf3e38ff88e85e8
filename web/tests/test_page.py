"""The page in headless Chromium, played as a person plays it: keys typed into the boxes,
buttons clicked, files picked, the page reloaded with and without its server."""
import os
import shutil
import tempfile
import unittest

from selenium.webdriver.common.by import By

from page_fixture import PageCase, expected_answer, hostile_files

# Lines as the desktop writes them: code page 932, CR LF, texts quoted, counts bare.
DESKTOP_HISTORY = (
    '"2026/12/03","22:18:51",111,103,8,"92.8%","1.72/秒","60秒","－"\r\n'
    '"2026/12/04","16:34:23",67,64,3,"95.5%","1.07/秒","60秒","＋"\r\n'
    '"2026/12/08","09:54:38",97,92,5,"94.8%","1.53/秒","60秒","＋"\r\n'
).encode('cp932')


class DrillTest(PageCase):
    def test_a_round_typed_at_the_keyboard_is_scored_saved_and_kept_across_a_reload(self):
        self.open_page()
        self.start_round(10)
        d = self.digits()
        right = expected_answer(d[0], d[1], '＋')
        self.box(1).send_keys(str(right))
        self.assertEqual(self.box_colour(1), 'green')
        # The focus moved on by itself: the next key goes into box 2.
        wrong = (expected_answer(d[1], d[2], '＋') + 1) % 10
        self.driver.switch_to.active_element.send_keys(str(wrong))
        self.assertEqual(self.box_colour(2), 'red')
        self.assertEqual([self.text('lblOk'), self.text('lblNg'), self.text('lblRitu')],
                         ['1', '1', '50.0%'])

        # Time up: the round stays open until the next answer, which still counts and closes
        # it, as in the desktop program. Two right answers in a 10 s round: 0.20 a second,
        # saved by the auto-save at the close.
        self.wait(lambda: self.driver.execute_script('return KetaApp.snapshot().play') is False,
                  15, 'the time did not run out')
        self.assertEqual(self.text('lblByou'), '')
        self.driver.switch_to.active_element.send_keys(str(expected_answer(d[2], d[3], '＋')))
        self.assertEqual(self.box_colour(3), 'green')
        self.assertEqual([self.text('lblOk'), self.text('lblNg'), self.text('lblRitu'),
                          self.text('lblByou')], ['2', '1', '66.7%', '0.20/秒'])
        rows = self.history_rows()
        self.assertEqual(len(rows), 1)
        self.assertEqual(rows[0][3:], ['3', '2', '1', '66.7%', '0.20/秒', '10秒', '＋'])

        self.driver.refresh()
        self.open_page()
        self.assertEqual(self.history_rows(), rows)


class HistoryFileTest(PageCase):
    def pick_file(self, path):
        self.el('cmdData').click()
        self.el('historyFile').send_keys(path)

    def test_a_desktop_history_is_imported_and_exported_byte_for_byte(self):
        self.open_page()
        with tempfile.NamedTemporaryFile(suffix='.txt', delete=False) as f:
            f.write(DESKTOP_HISTORY)
        try:
            self.pick_file(f.name)
            question = self.answer_dialog('askDialog', 'askYes')
        finally:
            os.remove(f.name)
        self.assertIn('3 件', question)
        self.el('cmdDataClose').click()
        rows = self.history_rows()
        self.assertEqual([r[:3] for r in rows],
                         [['1', '2026/12/03', '22:18:51'], ['2', '2026/12/04', '16:34:23'],
                          ['3', '2026/12/08', '09:54:38']])
        self.assertEqual(rows[0][9], '－')

        self.el('cmdData').click()
        self.el('cmdExportHistory').click()
        self.assertEqual(self.wait_download('履歴.txt'), DESKTOP_HISTORY)
        # The CSV as the desktop exports it: a byte-order mark, the grid's headers, CR LF.
        self.el('cmdExportCsv').click()
        csv = self.wait_download('履歴.csv')
        self.assertTrue(csv.startswith(b'\xef\xbb\xbf'))
        lines = csv[3:].decode('utf-8').split('\r\n')
        self.assertEqual(len(lines), 5)  # the headers, three records and the end
        self.assertEqual(lines[4], '')
        self.assertIn('2026/12/03', lines[1])
        self.assertIn('22:18:51', lines[1])
        self.el('cmdDataClose').click()

        self.driver.refresh()
        self.open_page()
        self.assertEqual(self.history_rows(), rows)

    def test_files_that_are_no_history_are_refused_and_nothing_is_stored(self):
        self.open_page()
        before = self.history_rows()
        folder = tempfile.mkdtemp(prefix='keta-hostile-')
        files = hostile_files(folder, '.txt')
        try:
            for kind, said in (('binary', '見つかりません'), ('other', '見つかりません'),
                               ('huge', '大きすぎる')):
                with self.subTest(kind):
                    self.pick_file(files[kind])
                    message = self.answer_dialog('tellDialog', 'tellOk')
                    self.assertIn(said, message)
                    self.el('cmdDataClose').click()
                    self.assertEqual(self.history_rows(), before)
        finally:
            shutil.rmtree(folder)
        self.driver.refresh()
        self.open_page()
        self.assertEqual(self.history_rows(), before)


if __name__ == '__main__':
    unittest.main()
