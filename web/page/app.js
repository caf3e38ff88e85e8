'use strict';
// The page: draws what the C++ drill and history give it and forwards the person's events.
// Every rule (the row, the scoring, the round's timing, the figures, the record lines) runs in
// the WebAssembly module; nothing here decides a result.
const KetaApp = (() => {
  const HISTORY_FILE = '履歴.txt';
  const HISTORY_CSV = '履歴.csv';
  const SETTINGS = '設定';
  const $ = (id) => document.getElementById(id);
  const { tell, ask } = KetaDialogs;
  // Keystroke to drawn colour, in milliseconds, the last few hundred (read by the benchmark).
  const timings = [];

  let api = null;
  let module = null;
  let last = null; // the last snapshot drawn
  let focusRequests = 0;
  let savesKept = 0;
  let saveFailures = 0;
  let rowsShown = 0;
  const boxes = [];
  const digits = [];

  // --- The clock: seconds since the midnight of the day the page was opened, growing past
  // 86 400 after midnight, from the monotonic clock so that a changed system time cannot jump.
  const opened = new Date();
  const midnight = new Date(opened.getFullYear(), opened.getMonth(), opened.getDate()).getTime();
  const secondsSinceMidnight = () => (performance.timeOrigin + performance.now() - midnight) / 1000;

  function tellClock() {
    api.setNow(secondsSinceMidnight());
    const t = new Date();
    api.setLocalTime(t.getFullYear(), t.getMonth() + 1, t.getDate(), t.getHours(), t.getMinutes(), t.getSeconds());
  }

  function bind(m) {
    const c = (name, ret, args) => m.cwrap(name, ret, args);
    return {
      setNow: c('keta_drill_set_now', null, ['number']),
      setLocalTime: c('keta_set_local_time', null, ['number', 'number', 'number', 'number', 'number', 'number']),
      setMode: c('keta_drill_set_mode', null, ['string']),
      setTimeLimit: c('keta_drill_set_time_limit', 'number', ['number']),
      setAutoSave: c('keta_drill_set_auto_save', null, ['number']),
      start: c('keta_drill_start', null, []),
      tick: c('keta_drill_tick', null, []),
      boxEdited: c('keta_drill_box_edited', null, ['number', 'string']),
      boxClicked: c('keta_drill_box_clicked', null, ['number']),
      save: c('keta_drill_save', null, []),
      snapshot: c('keta_drill_snapshot', 'string', []),
      historyLoad: c('keta_history_load', 'string', ['number', 'number', 'number']),
      historyCommit: c('keta_history_commit', null, []),
      historyRows: c('keta_history_rows', 'string', ['number']),
      historyCount: c('keta_history_count', 'number', []),
      historyClear: c('keta_history_clear', null, []),
      historyFile: c('keta_history_file', 'number', []),
      historyCsv: c('keta_history_csv', 'number', []),
      importLimit: c('keta_history_import_limit', 'number', []),
    };
  }

  // --- Bytes in and out of the module.
  const withBytes = (bytes, use) => KetaBytes.into(module, bytes, use);
  const takeOut = (ptr) => KetaBytes.outOf(module, ptr);

  // --- Drawing a snapshot.
  function draw(s) {
    for (let j = 0; j < 15; ++j) {
      if (digits[j].textContent !== s.digits[j]) digits[j].textContent = s.digits[j];
    }
    for (let i = 0; i < 14; ++i) {
      const box = boxes[i];
      const b = s.boxes[i];
      if (box.value !== b.text) box.value = b.text;
      const cls = 'box ' + b.colour + (b.visible ? '' : ' hidden');
      if (box.className !== cls) box.className = cls;
      box.disabled = !b.visible;
    }
    $('lblOk').textContent = s.results.ok;
    $('lblNg').textContent = s.results.ng;
    $('lblRitu').textContent = s.results.ritu;
    $('lblByou').textContent = s.results.byou;
    let lit = 0;
    s.lights.forEach((on, k) => {
      $('imgStart_' + (k + 1)).classList.toggle('on', on);
      if (on) lit = k + 1;
    });
    const countdown = s.countdown || (lit === 3 && s.play) ? `カウントダウン ${lit}/3` : '';
    if ($('countdownText').textContent !== countdown) $('countdownText').textContent = countdown;
    const percent = Math.max(0, Math.min(100, s.bar * 100));
    $('shpJikanK').style.width = percent + '%';
    $('shpJikan').setAttribute('aria-valuenow', String(Math.round(percent)));
    $('cmdStart').disabled = !s.startEnabled;
    if (s.focusRequests !== focusRequests) {
      focusRequests = s.focusRequests;
      if (s.focus === -1) $('cmdStart').focus();
      else if (s.focus >= 1 && s.focus <= 14) boxes[s.focus - 1].focus();
    }
    last = s;
    if (s.saveFailures !== saveFailures) {
      saveFailures = s.saveFailures;
      tell('保存エラー', s.saveError);
    }
    if (s.saves !== savesKept) {
      savesKept = s.saves;
      showNewRows();
      keepHistory();
    }
  }

  // From the key's event (its time stamp is on the performance.now() clock) to its colour set.
  function note(since) {
    timings.push(performance.now() - since);
    if (timings.length > 1000) timings.shift();
  }

  function refresh() {
    draw(JSON.parse(api.snapshot()));
  }

  // Runs one forwarded event with the clock read just before it, then draws the result.
  function forward(event) {
    tellClock();
    event();
    refresh();
    KetaLog.watch();
  }

  // --- The history table and its file.
  function showNewRows() {
    const rows = JSON.parse(api.historyRows(rowsShown));
    if (rows.length === 0) return;
    const body = $('historyRows');
    const fragment = document.createDocumentFragment();
    for (const row of rows) {
      const tr = document.createElement('tr');
      for (const cell of row) {
        const td = document.createElement('td');
        td.textContent = cell;
        tr.appendChild(td);
      }
      fragment.appendChild(tr);
    }
    body.appendChild(fragment);
    rowsShown += rows.length;
    const scroll = $('historyScroll');
    scroll.scrollTop = scroll.scrollHeight;
  }

  function redrawRows() {
    $('historyRows').textContent = '';
    rowsShown = 0;
    showNewRows();
  }

  async function keepHistory() {
    const bytes = takeOut(api.historyFile());
    try {
      await KetaStorage.put(HISTORY_FILE, bytes);
      KetaStorage.persist().then(noteStorage, () => {});
    } catch (e) {
      await tell('保存エラー',
        'このブラウザーに履歴を保存できませんでした。結果は画面にはありますが、ページを閉じると失われます。' +
        '（ブラウザーの空き容量やプライベートモードを確かめてください。データ → 履歴.txt を書き出す で残せます）\n' + e);
    }
  }

  function keepSettings() {
    const settings = { timeLimit: Number($('cboJikan').value), autoSave: $('chkAs').checked ? 1 : 0 };
    KetaStorage.put(SETTINGS, settings).catch(() =>
      tell('設定の保存', '変えた設定はこのまま使えますが、次に開いたときには元に戻ります。'));
  }

  function noteStorage(persisted) {
    $('storageNote').textContent = !KetaStorage.owner()
      ? 'ほかのタブで開いているため、このページでは記録を保存していません。'
      : persisted
      ? '記録はこのブラウザーに保存されています（消去されない設定）。'
      : '記録はこのブラウザーに保存されています。';
  }

  function download(bytes, name, type) {
    const url = URL.createObjectURL(new Blob([bytes], { type }));
    const a = document.createElement('a');
    a.href = url;
    a.download = name;
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 10000);
  }

  async function importHistory(file) {
    const limit = api.importLimit();
    if (file.size > limit) {
      await tell('履歴の読み込み', `${file.name} は大きすぎるため読み込みませんでした（${Math.floor(limit / 1048576)} MB まで）。今の履歴はそのままです。`);
      return;
    }
    const bytes = new Uint8Array(await file.arrayBuffer());
    const report = JSON.parse(withBytes(bytes, (ptr, len) => api.historyLoad(ptr, len, 0)) || '{"message":"メモリーが足りません。"}');
    if (report.message) {
      await tell('履歴の読み込み', `${file.name}: ${report.message}今の履歴はそのままです。`);
      return;
    }
    let text = `${file.name} から ${report.records} 件の記録を読み込みます。`;
    if (report.skippedLines > 0) text += `記録の形になっていない ${report.skippedLines} 行（最初は ${report.firstSkippedLine} 行目）は除きます。`;
    text += `今の履歴 ${api.historyCount()} 件と置き換えますか？`;
    if (!(await ask('履歴の読み込み', text))) return;
    api.historyCommit();
    redrawRows();
    await keepHistory();
  }

  // --- Building the page's parts.
  function buildRow() {
    const digitRow = $('digits');
    const boxRow = $('boxes');
    for (let j = 1; j <= 15; ++j) {
      const d = document.createElement('div');
      d.className = 'digit';
      d.id = 'lblMondai_' + j;
      digitRow.appendChild(d);
      digits.push(d);
    }
    for (let i = 1; i <= 14; ++i) {
      const box = document.createElement('input');
      box.className = 'box hidden';
      box.id = 'txtKaitou_' + i;
      box.type = 'text';
      box.autocomplete = 'off';
      box.spellcheck = false;
      box.setAttribute('autocapitalize', 'off');
      box.setAttribute('inputmode', 'numeric');
      box.setAttribute('aria-label', `答え ${i}（${i} 番目と ${i + 1} 番目の数字）`);
      box.disabled = true;
      let keyAt = null;
      box.addEventListener('keydown', (e) => { keyAt = e.timeStamp; });
      box.addEventListener('input', (e) => {
        if (e.isComposing) return;
        forward(() => api.boxEdited(i, box.value));
        if (keyAt !== null) note(keyAt);
        keyAt = null;
      });
      box.addEventListener('compositionend', () => forward(() => api.boxEdited(i, box.value)));
      box.addEventListener('click', (e) => {
        if (e.button === 0) forward(() => api.boxClicked(i));
      });
      boxRow.appendChild(box);
      boxes.push(box);
    }
  }

  // The number pad for touch screens: types into the focused box without the system keyboard.
  function buildPad() {
    KetaPad.build($('pad'), boxes, () => (last && last.focus >= 1 ? last.focus : 0), (target, key) => {
      if (!last || !last.boxes[target - 1].visible) return;
      const started = performance.now();
      forward(() => api.boxEdited(target, boxes[target - 1].value + key));
      note(started);
    });
  }

  function buildSettings(settings) {
    const limit = $('cboJikan');
    for (let s = 10; s <= 180; s += 10) limit.add(new Option(String(s), String(s)));
    const stored = String(settings.timeLimit);
    if (![...limit.options].some((o) => o.value === stored)) limit.add(new Option(stored, stored), 0);
    limit.value = stored;
    api.setTimeLimit(settings.timeLimit);
    $('chkAs').checked = settings.autoSave === 1;
    api.setAutoSave(settings.autoSave);
    api.setMode($('cboMode').value);

    limit.addEventListener('change', () => {
      if (api.setTimeLimit(Number(limit.value))) keepSettings();
    });
    $('chkAs').addEventListener('change', () => {
      api.setAutoSave($('chkAs').checked ? 1 : 0);
      keepSettings();
    });
    $('cboMode').addEventListener('change', () => api.setMode($('cboMode').value));
  }

  function buildButtons() {
    $('cmdStart').addEventListener('click', () => forward(() => api.start()));
    $('cmdHozon').addEventListener('click', () => forward(() => api.save()));
    $('cmdClear').addEventListener('click', async () => {
      if (!(await ask('クリア確認', '履歴データをクリアします。よろしいですか？'))) return;
      api.historyClear();
      redrawRows();
      await keepHistory();
      await tell('クリア終了', '履歴データをクリアしました');
    });
    const data = $('dataDialog');
    $('cmdData').addEventListener('click', () => data.showModal());
    $('cmdDataClose').addEventListener('click', () => data.close());
    $('cmdImportHistory').addEventListener('click', () => $('historyFile').click());
    $('historyFile').addEventListener('change', async () => {
      const file = $('historyFile').files[0];
      $('historyFile').value = '';
      if (file) await importHistory(file);
    });
    $('cmdExportHistory').addEventListener('click', () =>
      download(takeOut(api.historyFile()), HISTORY_FILE, 'text/plain'));
    $('cmdExportCsv').addEventListener('click', () =>
      download(takeOut(api.historyCsv()), HISTORY_CSV, 'text/csv'));
    KetaLog.build();
  }

  async function start() {
    module = await createKetatobi();
    api = bind(module);
    buildRow();
    buildPad();
    let settings = { timeLimit: 60, autoSave: 1 };
    let stored = null;
    let storedLog = null;
    if (!(await KetaStorage.claim())) tell('ケタトビ', 'ケタトビはほかのタブかウィンドウでも開いています。結果や練習の記録が混ざって失われないよう、このページでは何も保存しません。ほかのタブを閉じてから、このページを読み込み直してください。');
    try {
      settings = Object.assign(settings, await KetaStorage.get(SETTINGS));
      stored = await KetaStorage.get(HISTORY_FILE);
      storedLog = await KetaStorage.get(KetaLog.LOG_FILE);
    } catch (e) {
      tell('履歴ファイルの読み込み', 'このブラウザーの保存領域を開けませんでした。記録は保存されません。\n' + e);
    }
    buildSettings(settings);
    buildButtons();
    if (stored && stored.length) {
      const report = JSON.parse(withBytes(stored, (ptr, len) => api.historyLoad(ptr, len, 1)));
      if (report.message) tell('履歴ファイルの読み込み', report.message);
    }
    await KetaLog.open(module, storedLog, download);
    showNewRows();
    noteStorage(false);
    tellClock();
    refresh();
    setInterval(() => forward(() => api.tick()), 1000);
    document.body.dataset.ready = 'true';
    performance.mark('ketatobi-ready');
    if ('serviceWorker' in navigator) navigator.serviceWorker.register('sw.js').catch(() => {});
  }

  window.addEventListener('DOMContentLoaded', () => {
    start().catch((e) => {
      document.body.dataset.ready = 'failed';
      tell('ケタトビ', 'ドリルを読み込めませんでした。\n' + e);
    });
  });

  return { timings, snapshot: () => last };
})();
