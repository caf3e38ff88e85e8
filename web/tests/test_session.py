"""The session page in headless Chromium: sessions of 10 s lines typed at the keyboard (and on the
touch screen's number pad), the answers worked out here by hand from the digits shown, and the
result read back as the page shows it."""
import json
import time
import unittest

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

from page_fixture import PageCase, axe_violations, expected_answer, tap

STOP_QUESTION = '練習を中止しますか？\n終わった行の結果を表示し、途中の行は数えません。'
MODES = {'＋': '0', '－': '1', '交互': '2'}


class SessionPage(PageCase):
    def open_session(self):
        self.driver.get(self.url + 'session.html')
        self.wait(lambda: self.el('body', By.TAG_NAME).get_attribute('data-ready') in ('true', 'failed'), 15)
        self.assertEqual(self.el('body', By.TAG_NAME).get_attribute('data-ready'), 'true')

    def choose(self, line_seconds, first, second, rest, mode, marks, time_left):
        for element_id, value in (('lineSeconds', line_seconds), ('firstHalfLines', first),
                                  ('secondHalfLines', second), ('restMinutes', rest),
                                  ('mode', MODES[mode])):
            Select(self.el(element_id)).select_by_value(str(value))
        for element_id, on in (('showMarks', marks), ('showTimeLeft', time_left)):
            if self.el(element_id).is_selected() != on:
                self.el(element_id).click()

    def settings_shown(self):
        return ([Select(self.el(i)).first_selected_option.get_attribute('value')
                 for i in ('lineSeconds', 'firstHalfLines', 'secondHalfLines', 'restMinutes', 'mode')]
                + [self.el('showMarks').is_selected(), self.el('showTimeLeft').is_selected()])

    def start(self):
        self.el('cmdStart').click()
        # As in the test room, the lights come first, with no row to work on.
        self.wait(lambda: self.text('status') == '前半を始めます。', 2, 'no ready signal before line 1')
        self.assertEqual(self.text('lineLabel'), '用意')
        self.assertFalse(self.box(1).is_enabled())
        self.wait(lambda: self.box(1).is_enabled(), 5, 'the first line did not begin')

    def box(self, i):
        return self.el(f'box{i}')

    def row(self):
        return [int(self.text(f'digit{j}')) for j in range(1, 16)]

    def type_line(self, plan, mode):
        """Types one answer per entry of `plan` into boxes 1, 2, …: right for True, one off for
        False, at the keyboard into whatever has the focus (the session moves it on)."""
        digits = self.row()
        for k, right in enumerate(plan):
            answer = expected_answer(digits[k], digits[k + 1], mode)
            self.driver.switch_to.active_element.send_keys(str(answer if right else (answer + 1) % 10))
            self.wait(lambda: self.box(k + 1).get_attribute('value') != '', 2)

    def press(self, key):
        ActionChains(self.driver).send_keys(key).perform()

    def marks(self, count):
        return [next((c for c in ('right', 'wrong') if c in self.box(i).get_attribute('class').split()), 'none')
                for i in range(1, count + 1)]

    def wait_result(self, timeout):
        self.wait(lambda: self.el('resultPage').is_displayed(), timeout, 'no result was shown')

    def line_rows(self):
        rows = self.driver.find_elements(By.CSS_SELECTOR, '#lineRows tr')
        return [[c.text for c in r.find_elements(By.CSS_SELECTOR, 'th, td')] for r in rows]

    def figures(self):
        rows = self.driver.find_elements(By.CSS_SELECTOR, '#figureRows tr')
        return {r.find_element(By.CSS_SELECTOR, 'th .caption').text: r.find_element(By.TAG_NAME, 'td').text
                for r in rows}

    def assert_accessible(self, screen):
        self.assertEqual(axe_violations(self.driver), [], screen)


class SessionTest(SessionPage):
    def test_sessions_of_one_line_a_half_are_scored_and_summed_as_typed(self):
        cases = [
            # mode, answer marks, time left, first line's answers, second line's answers
            ('＋', True, True, [True, True, False, True], [False, True]),
            ('－', False, False, [True, False, False], [True, True, True, True, True]),
        ]
        for mode, marks, time_left, first, second in cases:
            with self.subTest(mode=mode):
                self.open_session()
                self.choose(10, 1, 1, 0, mode, marks, time_left)
                self.assert_accessible('settings')
                self.start()
                self.assertEqual(self.text('lineLabel'), '前半 1 / 1')
                self.assertEqual(self.text('modeSign'), mode)
                self.type_line(first, mode)
                self.assertEqual(self.marks(len(first)),
                                 [('right' if r else 'wrong') if marks else 'none' for r in first])
                self.assertEqual(self.text('timeLeft').startswith('残り '), time_left)
                self.assert_accessible('working')

                # No rest: the ready lights, then the second half's row.
                self.wait(lambda: self.text('status') == '後半を始めます。', 12, 'no ready signal')
                self.assertIn('on', self.el('light1').get_attribute('class').split())
                self.wait(lambda: self.text('lineLabel') == '後半 1 / 1' and self.box(1).is_enabled(), 5)
                self.type_line(second, mode)
                self.wait_result(15)
                self.assert_accessible('result')

                self.assertEqual(self.line_rows(),
                                 [['前半 1', str(len(first)), str(first.count(False))],
                                  ['後半 1', str(len(second)), str(second.count(False))]])
                right = first.count(True) + second.count(True)
                answers = len(first) + len(second)
                figures = self.figures()
                self.assertEqual(figures['解答数'], str(answers))
                self.assertEqual(figures['正答率'], f'{100 * right / answers:.1f}%')
                self.assertEqual(figures['平均（前半）'], f'{len(first):.1f} 問/行')
                # The first k lines after the rest against the first k before it; k = 1 here.
                self.assertEqual(figures['休憩効果'], f'{len(second) / len(first):.2f}')
                self.assertEqual(figures['初頭努力（前半）'], 'なし')  # one line has no middle
                self.assertIn('10 秒 × 1 行、休憩 0 分、1 行、' + mode, self.text('resultFormat'))
                # Both rows came with a line change after their lights, and each was timed.
                timings = self.driver.execute_script('return KetaSession.lineChanges')
                self.assertEqual(len(timings), 2)

    def test_esc_asks_no_keeps_going_and_yes_stops_keeping_the_lines_done(self):
        self.open_session()
        self.choose(10, 2, 1, 1, '＋', False, False)
        self.start()
        self.type_line([True], '＋')
        self.press(Keys.ESCAPE)
        self.wait(lambda: self.el('askDialog').get_attribute('open') is not None, 5)
        self.assertEqual(self.text('askText'), STOP_QUESTION)
        self.assert_accessible('asking')
        # Longer than a line behind the question: the line waits for the answer.
        time.sleep(10.5)
        self.el('askNo').click()
        self.wait(lambda: self.el('askDialog').get_attribute('open') is None, 5)
        self.assertEqual(self.text('lineLabel'), '前半 1 / 2')
        self.assertEqual(self.driver.switch_to.active_element.get_attribute('id'), 'box2')

        self.wait(lambda: self.text('lineLabel') == '前半 2 / 2', 12, 'the second line did not come')
        self.type_line([True, False], '＋')
        # The rest: its countdown and how to end it, then Space ends it.
        self.wait(lambda: self.text('status').startswith('休憩'), 12, 'no rest')
        self.assertIn('Space か Enter で休憩を終えて後半に進みます。', self.text('status'))
        self.assertEqual(self.text('lineLabel'), '休憩')
        self.assertFalse(self.box(1).is_enabled())
        self.assert_accessible('rest')
        self.press(Keys.SPACE)
        self.wait(lambda: self.text('lineLabel') == '後半 1 / 1' and self.box(1).is_enabled(), 5)
        self.type_line([True], '＋')
        self.press(Keys.ESCAPE)
        self.answer_dialog('askDialog', 'askYes')
        self.wait_result(5)
        # Both lines before the rest count; the line stopped in has gone.
        self.assertEqual(self.line_rows(), [['前半 1', '1', '0'], ['前半 2', '2', '1']])
        self.assertIn('（中止：終わった 2 行）', self.text('resultFormat'))
        self.assertEqual(self.figures()['休憩効果'], 'なし')
        self.assertEqual(self.driver.switch_to.active_element.get_attribute('id'), 'resultTitle')

    def test_settings_are_remembered_and_brought_into_range_by_the_engine(self):
        self.open_session()
        self.choose(30, 3, 0, 2, '交互', True, False)
        self.driver.refresh()
        self.open_session()
        self.assertEqual(self.settings_shown(), ['30', '3', '0', '2', '2', True, False])
        self.assertEqual(Select(self.el('secondHalfLines')).first_selected_option.text, '0（前半のみ）')
        cases = [
            ({'lineSeconds': 5, 'firstHalfLines': 0, 'secondHalfLines': 31, 'restMinutes': 11, 'mode': 7,
              'showMarks': False, 'showTimeLeft': True}, ['10', '1', '30', '10', '0', False, True]),
            ({'lineSeconds': 121, 'firstHalfLines': 31, 'secondHalfLines': -1, 'restMinutes': -3, 'mode': 1,
              'showMarks': 1, 'showTimeLeft': 'yes'}, ['120', '30', '0', '0', '1', False, False]),
            ({'lineSeconds': 45}, ['45', '15', '15', '5', '0', False, False]),  # the rest as the engine sets
        ]
        for stored, shown in cases:
            with self.subTest(stored=stored):
                self.driver.execute_async_script(
                    'const done = arguments[1]; KetaStorage.put("セッション設定", JSON.parse(arguments[0]))'
                    '.then(() => done(), (e) => done(String(e)));', json.dumps(stored))
                self.driver.refresh()
                self.open_session()
                self.assertEqual(self.settings_shown(), shown)


class EarlierSessionsTest(SessionPage):
    def trend(self):
        rows = self.driver.find_elements(By.CSS_SELECTOR, '#trendRows tr')
        return [[c.text for c in r.find_elements(By.CSS_SELECTOR, 'th, td')] for r in rows]

    def earlier_figures(self):
        rows = self.driver.find_elements(By.CSS_SELECTOR, '#figureRows tr')
        return {r.find_element(By.CSS_SELECTOR, 'th .caption').text:
                r.find_elements(By.TAG_NAME, 'td')[1].text for r in rows}

    def session(self, plan):
        self.open_session()
        self.choose(10, 1, 0, 0, '＋', False, False)
        self.start()
        self.type_line(plan, '＋')
        self.wait_result(15)
        self.driver.set_script_timeout(10)
        self.driver.execute_async_script('KetaLog.kept().then(arguments[arguments.length - 1]);')

    def test_a_session_is_set_beside_the_earlier_ones_in_its_format_across_reloads(self):
        self.session([True, True])
        self.assertEqual(self.text('earlierTitle'), '同じ設定で終えた回はまだありません。')
        self.assertEqual(self.earlier_figures()['解答数'], 'なし')
        # A stopped session in the same format is no finished one: it is not compared with.
        self.open_session()
        self.start()
        self.type_line([True], '＋')
        self.press(Keys.ESCAPE)
        self.answer_dialog('askDialog', 'askYes')
        self.wait_result(5)
        self.assertIn('1 回', self.text('earlierTitle'))
        # A new page: the log was kept in the browser.
        self.session([True, False, True, True])
        self.assertTrue(self.text('earlierTitle').startswith('同じ設定で終えた 1 回。'))
        figures = self.earlier_figures()
        self.assertEqual(figures['解答数'], '2.0')  # the one earlier session's 2, as a mean
        self.assertEqual(figures['正答率'], '100.0%')
        self.assertEqual(figures['平均（前半）'], '2.0 問/行')
        trend = self.trend()
        self.assertEqual([r[1:] for r in trend], [['2.0', 'なし'], ['4.0', 'なし']])
        self.assertEqual(trend[-1][0], 'この回')
        self.assert_accessible('result beside the earlier sessions')


class PhoneSessionTest(SessionPage):
    mobile = True

    def test_the_number_pad_types_into_the_row(self):
        self.open_session()
        self.choose(10, 1, 0, 0, '＋', True, False)
        self.assert_accessible('settings on a phone')
        self.start()
        self.assertTrue(self.el('pad').is_displayed())
        digits = self.row()
        pad = {b.text: b for b in self.driver.find_elements(By.CSS_SELECTOR, '#pad button')}
        right = expected_answer(digits[0], digits[1], '＋')
        tap(self.driver, pad[str(right)])
        tap(self.driver, pad[str((expected_answer(digits[1], digits[2], '＋') + 1) % 10)])
        self.assertEqual(self.marks(2), ['right', 'wrong'])
        self.assert_accessible('working on a phone')
        self.wait_result(15)
        self.assertEqual(self.line_rows(), [['前半 1', '2', '1']])
        self.assertEqual(self.figures()['正答率'], '50.0%')
        self.assert_accessible('result on a phone')


if __name__ == '__main__':
    unittest.main()
