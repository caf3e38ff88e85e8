'use strict';
// The session page: draws what the C++ practice session gives it and forwards the person's
// keys with the time they came. The schedule of lines, the rest and the ready lights, the
// scoring and every figure of the result run in the WebAssembly module; nothing here decides
// a result.
const KetaSession = (() => {
  const SETTINGS = 'セッション設定';
  const TITLE = '本番形式で練習';
  const STOP_QUESTION = '練習を中止しますか？\n終わった行の結果を表示し、途中の行は数えません。';
  const TICK_MS = 25; // as the desktop's timer: well inside a line's 10 s at the least
  const FLASH_MS = 900; // the row's frame in the cue's colour, long enough to be seen
  const $ = (id) => document.getElementById(id);
  const { tell, ask } = KetaDialogs;
  // From the call that crossed a line's end to the new row laid out, in milliseconds, the
  // last few hundred (read by a benchmark).
  const lineChanges = [];

  let api = null;
  let last = null; // the last snapshot drawn
  let drawnChanges = -1;
  let focusRequests = 0;
  let lineCount = 0;
  let timer = 0;
  let flashTimer = 0;
  let audio = null;
  let asking = false;
  let shown = true; // the last session's result is on the page
  const boxes = [];
  const digits = [];

  // The time of day for the rows' deal, as the drill's page reads it: seconds since the
  // midnight of the day the page was opened, from the monotonic clock.
  const opened = new Date();
  const midnight = new Date(opened.getFullYear(), opened.getMonth(), opened.getDate()).getTime();
  const secondsSinceMidnight = () => (performance.timeOrigin + performance.now() - midnight) / 1000;

  function bind(m) {
    const c = (name, ret, args) => m.cwrap(name, ret, args);
    return {
      configure: c('keta_session_configure', 'string',
        ['number', 'number', 'number', 'number', 'number', 'number', 'number']),
      settings: c('keta_session_settings', 'string', []),
      start: c('keta_session_start', null, ['number', 'number']),
      tick: c('keta_session_tick', 'number', ['number']),
      boxEdited: c('keta_session_box_edited', null, ['number', 'string', 'number']),
      endRest: c('keta_session_end_rest', null, ['number']),
      stop: c('keta_session_stop', null, ['number']),
      pause: c('keta_session_pause', null, ['number']),
      resume: c('keta_session_resume', null, ['number']),
      snapshot: c('keta_session_snapshot', 'string', []),
      result: c('keta_session_result', 'string', []),
      earlier: c('keta_session_earlier', 'string', []),
      setLocalTime: c('keta_set_local_time', null, ['number', 'number', 'number', 'number', 'number', 'number']),
    };
  }

  // --- The pages.
  function showPage(id) {
    for (const page of ['settingsPage', 'workPage', 'resultPage']) $(page).hidden = page !== id;
  }

  // --- The settings: every value goes through the engine's clamping and comes back.
  const FIELDS = ['lineSeconds', 'firstHalfLines', 'secondHalfLines', 'restMinutes'];

  function fillSelect(select, [low, high], label) {
    for (let v = low; v <= high; ++v) select.add(new Option(label(v), String(v)));
  }

  function buildSettings(s) {
    fillSelect($('lineSeconds'), s.limits.lineSeconds, (v) => `${v} 秒`);
    fillSelect($('firstHalfLines'), s.limits.firstHalfLines, String);
    fillSelect($('secondHalfLines'), s.limits.secondHalfLines, (v) => (v === 0 ? '0（前半のみ）' : String(v)));
    fillSelect($('restMinutes'), s.limits.restMinutes, (v) => `${v} 分`);
    s.modes.forEach((text, k) => $('mode').add(new Option(text, String(k))));
    for (const id of [...FIELDS, 'mode', 'showMarks', 'showTimeLeft']) {
      $(id).addEventListener('change', () => keepSettings(configure(chosenSettings())));
    }
    $('settingsForm').addEventListener('submit', (e) => {
      e.preventDefault();
      start();
    });
  }

  function showSettings(s) {
    for (const id of FIELDS) $(id).value = String(s[id]);
    $('mode').value = String(s.mode);
    $('showMarks').checked = s.showMarks;
    $('showTimeLeft').checked = s.showTimeLeft;
  }

  function chosenSettings() {
    const s = {};
    for (const id of FIELDS) s[id] = Number($(id).value);
    s.mode = Number($('mode').value);
    s.showMarks = $('showMarks').checked;
    s.showTimeLeft = $('showTimeLeft').checked;
    return s;
  }

  // Returns the settings in force, as the engine clamped them.
  function configure(s) {
    const whole = (v) => (Number.isFinite(Number(v)) ? Math.trunc(Number(v)) : -1);
    const inForce = JSON.parse(api.configure(whole(s.lineSeconds), whole(s.firstHalfLines),
      whole(s.secondHalfLines), whole(s.restMinutes), whole(s.mode), s.showMarks === true ? 1 : 0,
      s.showTimeLeft === true ? 1 : 0));
    showSettings(inForce);
    return inForce;
  }

  function keepSettings(s) {
    const kept = {};
    for (const id of [...FIELDS, 'mode', 'showMarks', 'showTimeLeft']) kept[id] = s[id];
    KetaStorage.put(SETTINGS, kept).catch(() =>
      tell(TITLE, '変えた設定はこのまま使えますが、次に開いたときには元に戻ります。'));
  }

  // --- The working page.
  function buildRow() {
    for (let j = 1; j <= 15; ++j) {
      const d = document.createElement('div');
      d.className = 'digit';
      d.id = 'digit' + j;
      $('digits').appendChild(d);
      digits.push(d);
    }
    for (let i = 1; i <= 14; ++i) {
      const box = document.createElement('input');
      box.className = 'box';
      box.id = 'box' + i;
      box.type = 'text';
      box.autocomplete = 'off';
      box.spellcheck = false;
      box.setAttribute('autocapitalize', 'off');
      box.setAttribute('inputmode', 'numeric');
      box.setAttribute('aria-label', `答え ${i}（${i} 番目と ${i + 1} 番目の数字）`);
      box.disabled = true;
      box.addEventListener('input', (e) => {
        if (!e.isComposing) forward((now) => api.boxEdited(i, box.value, now));
      });
      box.addEventListener('compositionend', () => forward((now) => api.boxEdited(i, box.value, now)));
      $('boxes').appendChild(box);
      boxes.push(box);
    }
  }

  // The number pad for touch screens, as on the drill's page: types where the person is.
  function buildPad() {
    KetaPad.build($('pad'), boxes, () => (last && last.focus >= 1 ? last.focus : 0), (target, key) => {
      if (!last || !last.working) return;
      forward((now) => api.boxEdited(target, boxes[target - 1].value + key, now));
    });
  }

  // A short tone with the frame's flash, as the desktop beeps; silent where sound is refused.
  function beep() {
    if (!audio) return;
    try {
      const tone = audio.createOscillator();
      const gain = audio.createGain();
      tone.frequency.value = 880;
      gain.gain.value = 0.05;
      tone.connect(gain).connect(audio.destination);
      tone.start();
      tone.stop(audio.currentTime + 0.08);
    } catch (e) {
      audio = null;
    }
  }

  function cue() {
    $('row').classList.add('cue');
    clearTimeout(flashTimer);
    flashTimer = setTimeout(() => $('row').classList.remove('cue'), FLASH_MS);
    setTimeout(beep, 0); // after the new row: the sound's setting up costs the row no time
  }

  function draw(s) {
    const inRow = boxes.includes(document.activeElement);
    for (let j = 0; j < 15; ++j) {
      if (digits[j].textContent !== s.digits[j]) digits[j].textContent = s.digits[j];
    }
    for (let i = 0; i < 14; ++i) {
      const box = boxes[i];
      const b = s.boxes[i];
      if (box.value !== b.text) box.value = b.text;
      const cls = b.mark === 'none' ? 'box' : 'box ' + b.mark;
      if (box.className !== cls) box.className = cls;
      box.disabled = !s.working;
    }
    $('lineLabel').textContent = s.lineLabel;
    $('modeSign').textContent = s.modeSign;
    $('modeName').textContent = s.modeName;
    $('timeLeft').textContent = s.timeLeft;
    if ($('status').textContent !== s.status) $('status').textContent = s.status;
    $('status').classList.toggle('rest', s.state === 'rest');
    s.lights.forEach((on, k) => $('light' + (k + 1)).classList.toggle('on', on));
    $('cmdEndRest').hidden = s.state !== 'rest';
    $('cmdStop').hidden = !s.running;
    if (s.lineChanges !== lineCount) {
      lineCount = s.lineChanges;
      cue();
    }
    if (s.focusRequests !== focusRequests && !asking) {
      focusRequests = s.focusRequests;
      if (s.working && s.focus >= 1 && s.focus <= 14) boxes[s.focus - 1].focus({ preventScroll: true });
    }
    // The keys stay on the page while the row waits (the rest, the lights).
    if (!s.working && inRow && !$('workPage').hidden) $('workPage').focus();
    drawnChanges = s.changes;
    last = s;
    if (!shown && (s.state === 'finished' || s.state === 'stopped')) finish();
  }

  // Runs one event with the clock read just before it and draws what changed. A line change
  // it brought is timed from the call to the new row laid out.
  function forward(event) {
    const now = performance.now();
    const changes = event(now);
    if (typeof changes === 'number' && changes === drawnChanges) return;
    const before = lineCount;
    draw(JSON.parse(api.snapshot()));
    if (lineCount !== before) {
      void $('row').offsetWidth; // the layout, which the new digits need before they are seen
      lineChanges.push(performance.now() - now);
      if (lineChanges.length > 1000) lineChanges.shift();
    }
    KetaLog.watch();
  }

  function start() {
    if (last && last.running) return;
    configure(chosenSettings());
    try {
      audio = audio || new AudioContext();
    } catch (e) {
      audio = null;
    }
    showPage('workPage');
    shown = false;
    focusRequests = -1;
    // The first row flashes as every new line does; only a line's end is timed. The clock's
    // date and time stamp the session in the answer log.
    const t = new Date();
    api.setLocalTime(t.getFullYear(), t.getMonth() + 1, t.getDate(), t.getHours(), t.getMinutes(), t.getSeconds());
    api.start(performance.now(), secondsSinceMidnight());
    draw(JSON.parse(api.snapshot()));
    clearInterval(timer);
    timer = setInterval(() => forward((now) => api.tick(now)), TICK_MS);
  }

  async function askStop() {
    if (asking || !last || !last.running) return;
    asking = true;
    // No line runs on behind the question; "no" goes on where the line was.
    forward((now) => api.pause(now));
    const yes = await ask(TITLE, STOP_QUESTION);
    asking = false;
    forward((now) => (yes ? api.stop(now) : api.resume(now)));
    // The session may have ended the moment the question opened.
    if (shown) {
      $('resultTitle').focus();
    } else if (last.working && last.focus >= 1) {
      boxes[last.focus - 1].focus();
    } else {
      $('workPage').focus();
    }
  }

  function finish() {
    shown = true;
    clearInterval(timer);
    timer = 0;
    clearTimeout(flashTimer);
    $('row').classList.remove('cue');
    showPage('resultPage'); // first, so that the curve takes the width it is shown at
    KetaSessionResult.show(JSON.parse(api.result()), JSON.parse(api.earlier()));
    $('resultTitle').focus();
    document.body.dataset.session = last.state;
  }

  function buildKeys() {
    $('workPage').tabIndex = -1; // keeps the keys on the page while the row is disabled
    document.addEventListener('keydown', (e) => {
      if (!last || $('workPage').hidden || $('askDialog').open || $('tellDialog').open) return;
      if (e.key === 'Escape' && last.running) {
        e.preventDefault();
        askStop();
      } else if (last.state === 'rest' && (e.key === ' ' || e.key === 'Enter')) {
        e.preventDefault();
        forward((now) => api.endRest(now));
      }
    });
    $('cmdStop').addEventListener('click', askStop);
    $('cmdEndRest').addEventListener('click', () => forward((now) => api.endRest(now)));
    $('cmdAgain').addEventListener('click', () => {
      showPage('settingsPage');
      $('cmdStart').focus();
    });
  }

  async function open() {
    const module = await createKetatobi();
    api = bind(module);
    const defaults = JSON.parse(api.settings());
    buildSettings(defaults);
    buildRow();
    buildPad();
    buildKeys();
    let stored = null;
    let storedLog = null;
    if (!(await KetaStorage.claim())) tell(TITLE, 'ケタトビはほかのタブかウィンドウでも開いています。結果や練習の記録が混ざって失われないよう、このページでは何も保存しません。ほかのタブを閉じてから、このページを読み込み直してください。');
    try {
      stored = await KetaStorage.get(SETTINGS);
      storedLog = await KetaStorage.get(KetaLog.LOG_FILE);
    } catch (e) {
      tell(TITLE, 'このブラウザーの保存領域を開けませんでした。設定と練習の記録は次に開いたときには残りません。\n' + e);
    }
    await KetaLog.open(module, storedLog);
    configure(Object.assign({}, defaults, stored && typeof stored === 'object' ? stored : {}));
    $('cmdStart').disabled = false;
    document.body.dataset.ready = 'true';
  }

  window.addEventListener('DOMContentLoaded', () => {
    open().catch((e) => {
      document.body.dataset.ready = 'failed';
      tell(TITLE, '練習を読み込めませんでした。\n' + e);
    });
  });

  return { lineChanges, snapshot: () => last };
})();
