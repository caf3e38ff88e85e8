'use strict';
// The answer log in the page: kept as the bytes of 解答ログ.db in the browser's storage after
// every change, its work curve and weak-pairs map drawn from what the module computes, and the
// file's import and export. Every figure and text comes from the C++; this only draws.
const KetaLog = (() => {
  const LOG_FILE = '解答ログ.db';
  const SVG = 'http://www.w3.org/2000/svg';
  const $ = (id) => document.getElementById(id);
  const { tell, ask } = KetaDialogs;

  let api = null;
  let module = null;
  let download = null; // the page's way to hand a file to the person
  let seen = 0; // the module's count of writes and failures already handled
  let failuresTold = 0;
  let stored = true; // false while the browser holds a log this page could not read
  let keeping = Promise.resolve();
  let shownRound = 0;

  function bind(m) {
    const c = (name, ret, args) => m.cwrap(name, ret, args);
    return {
      load: c('keta_log_load', 'string', ['number', 'number', 'number']),
      commit: c('keta_log_commit', null, []),
      changes: c('keta_log_changes', 'number', []),
      state: c('keta_log_state', 'string', []),
      file: c('keta_log_file', 'number', []),
      curve: c('keta_log_curve', 'string', ['number', 'number']),
      pairs: c('keta_log_pairs', 'string', ['number']),
      importLimit: c('keta_log_import_limit', 'number', []),
    };
  }

  function load(bytes, commit) {
    return JSON.parse(KetaBytes.into(module, bytes, (ptr, len) => api.load(ptr, len, commit)) ||
      '{"outcome":5,"message":"メモリーが足りません。"}');
  }

  // --- Keeping the bytes: after every change, one store at a time, the newest bytes last;
  // taken once the page has drawn, so that a line's change is not held up by the copy.
  function keep() {
    keeping = keeping.then(() => new Promise((resolve) => setTimeout(resolve, 0))).then(async () => {
      if (!stored) return;
      try {
        await KetaStorage.put(LOG_FILE, KetaBytes.outOf(module, api.file()));
      } catch (e) {
        await tell('解答ログの保存',
          'このブラウザーに解答ログを保存できませんでした。ページを閉じると、この回の解答は失われます。' +
          '（ブラウザーの空き容量やプライベートモードを確かめてください。データ → 解答ログ.db を書き出す で残せます）\n' + e);
      }
    });
    return keeping;
  }

  // Called after every event the page forwards: a round written or refused shows here.
  function watch() {
    const changes = api.changes();
    if (changes === seen) return;
    seen = changes;
    const state = JSON.parse(api.state());
    if (state.failures > failuresTold) {
      failuresTold = state.failures;
      tell('解答ログ', state.lastError + '練習と履歴への保存はこれまでどおり続けられます。');
    }
    keep();
  }

  // --- The work curve of a round.
  function svg(name, attributes, parent) {
    const e = document.createElementNS(SVG, name);
    for (const [k, v] of Object.entries(attributes)) e.setAttribute(k, v);
    if (parent) parent.appendChild(e);
    return e;
  }

  function drawCurve(c) {
    const chart = $('curveChart');
    chart.textContent = '';
    const width = 420;
    const height = 200;
    const left = 36;
    const bottom = 24;
    const plotW = width - left - 8;
    const plotH = height - bottom - 10;
    const root = svg('svg', { viewBox: `0 0 ${width} ${height}`, role: 'img', 'aria-label': '作業曲線のグラフ: ' + c.description }, chart);
    const y = (v) => 10 + plotH - (v / c.scale.high) * plotH;
    c.scale.labels.forEach((label, k) => {
      const at = y(c.scale.step * k);
      svg('line', { x1: left, x2: width - 8, y1: at, y2: at, class: 'grid' }, root);
      svg('text', { x: left - 4, y: at + 4, 'text-anchor': 'end' }, root).textContent = label;
    });
    const step = plotW / Math.max(1, c.bins.length);
    c.bins.forEach((bin, k) => {
      const x = left + k * step + step * 0.15;
      const w = step * 0.7;
      svg('rect', { x, y: y(bin.correctRate), width: w, height: Math.max(0, y(0) - y(bin.correctRate)), class: 'right' }, root);
      svg('rect', { x, y: y(bin.rate), width: w, height: Math.max(0, y(bin.correctRate) - y(bin.rate)), class: 'wrong' }, root);
      svg('text', { x: left + k * step, y: height - 10, 'text-anchor': 'middle' }, root).textContent = bin.from;
    });
    if (c.bins.length) svg('text', { x: left + plotW, y: height - 10, 'text-anchor': 'middle' }, root).textContent = c.bins[c.bins.length - 1].to;
  }

  function showCurve(id, step) {
    const c = JSON.parse(api.curve(id, step));
    const body = $('curveRows');
    body.textContent = '';
    $('curveChart').textContent = '';
    $('curveProblem').hidden = true;
    if (!c.found) {
      $('curveHeading').textContent = '解答ログにまだ回がありません。1回遊ぶとできます。';
      $('curvePlace').textContent = '';
      $('cmdCurvePrevious').disabled = true;
      $('cmdCurveNext').disabled = true;
      for (const id of ['curveSpeed', 'curveAnswers', 'curveCorrect', 'curveErrors', 'curveAccuracy']) $(id).textContent = 'なし';
      return;
    }
    shownRound = c.id;
    $('curveHeading').textContent = c.title;
    $('curvePlace').textContent = `${c.position} / ${c.count} 回`;
    $('curvePlace').setAttribute('aria-label', `解答ログの ${c.count} 回のうち ${c.position} 回目`);
    $('cmdCurvePrevious').disabled = !c.hasPrevious;
    $('cmdCurveNext').disabled = !c.hasNext;
    if (c.damaged) {
      $('curveProblem').hidden = false;
      $('curveProblem').textContent = 'この回の記録には、ドリルでは起こりえない値が入っています。曲線と数値は出しません。';
      for (const id of ['curveSpeed', 'curveAnswers', 'curveCorrect', 'curveErrors', 'curveAccuracy']) $(id).textContent = 'なし';
      return;
    }
    drawCurve(c);
    $('curveSpeed').textContent = c.speed;
    $('curveAnswers').textContent = c.answers;
    $('curveCorrect').textContent = c.correct;
    $('curveErrors').textContent = c.errors;
    $('curveAccuracy').textContent = c.accuracy;
    for (const bin of c.bins) {
      const tr = document.createElement('tr');
      for (const text of [`${bin.from}–${bin.to}`, bin.answers, bin.errors, bin.correctRateText, bin.rateText]) {
        const td = document.createElement('td');
        td.textContent = text;
        tr.appendChild(td);
      }
      body.appendChild(tr);
    }
  }

  // --- The weak-pairs map.
  function showPairs() {
    const p = JSON.parse(api.pairs(Number($('pairsMode').value)));
    $('pairsSummary').textContent = p.summary;
    const body = $('pairsRows');
    body.textContent = '';
    for (let a = 0; a <= 9; ++a) {
      const tr = document.createElement('tr');
      const th = document.createElement('th');
      th.scope = 'row';
      th.textContent = `左 ${a}`;
      tr.appendChild(th);
      for (let b = 0; b <= 9; ++b) {
        const cell = p.cells[a * 10 + b];
        const td = document.createElement('td');
        td.textContent = cell.text;
        td.title = cell.described;
        td.className = cell.state;
        if (cell.rgb) {
          const [r, g, bl] = cell.rgb;
          td.style.background = `rgb(${r}, ${g}, ${bl})`;
          // Light text on a dark cell, as on the desktop.
          if (0.5 * (Math.max(r, g, bl) + Math.min(r, g, bl)) < 140) td.classList.add('dark');
        }
        td.setAttribute('aria-label', cell.described);
        tr.appendChild(td);
      }
      body.appendChild(tr);
    }
    $('pairsLegend').textContent = '色の見方 ' + p.legend;
    const weak = $('weakRows');
    weak.textContent = '';
    for (const row of p.weakest) {
      const tr = document.createElement('tr');
      for (const text of row) {
        const td = document.createElement('td');
        td.textContent = text;
        tr.appendChild(td);
      }
      weak.appendChild(tr);
    }
    $('weakTable').hidden = p.weakest.length === 0;
    $('weakNote').hidden = p.weakest.length > 0;
    $('weakNote').textContent = p.note;
  }

  // --- Import and export of 解答ログ.db.
  async function importLog(file) {
    const limit = api.importLimit();
    if (file.size > limit) {
      await tell('解答ログの読み込み', `${file.name} は大きすぎるため読み込みませんでした（${Math.floor(limit / 1048576)} MB まで）。今の解答ログはそのままです。`);
      return;
    }
    const report = load(new Uint8Array(await file.arrayBuffer()), 0);
    if (report.message) {
      await tell('解答ログの読み込み', `${file.name}: ${report.message}今の解答ログはそのままです。`);
      return;
    }
    const now = JSON.parse(api.state()).rounds;
    if (!(await ask('解答ログの読み込み', `${file.name} の ${report.rounds} 回の記録を読み込みます。今の解答ログ ${now} 回と置き換えますか？`))) return;
    api.commit();
    stored = true;
    seen = api.changes();
    await keep();
  }

  // At start-up: the log the browser keeps, or a new one.
  async function open(m, bytes, pageDownload) {
    module = m;
    api = bind(m);
    download = pageDownload;
    const report = load(bytes || new Uint8Array(0), 1);
    if (report.message) {
      // Never written over: the bytes stay in the browser for the person to export and keep.
      stored = false;
      tell('解答ログの読み込み', `このブラウザーに保存されている解答ログを読めませんでした: ${report.message}\n` +
        '解答ログは記録しませんが、練習と履歴への保存はこれまでどおり続けられます。');
      load(new Uint8Array(0), 1);
    }
    seen = api.changes();
    if (!bytes) keep();
  }

  function build() {
    const curve = $('curveDialog');
    $('cmdCurve').addEventListener('click', () => { showCurve(0, 0); curve.showModal(); });
    $('cmdCurvePrevious').addEventListener('click', () => showCurve(shownRound, -1));
    $('cmdCurveNext').addEventListener('click', () => showCurve(shownRound, 1));
    $('cmdCurveClose').addEventListener('click', () => curve.close());
    const pairs = $('pairsDialog');
    $('cmdPairs').addEventListener('click', () => { showPairs(); pairs.showModal(); });
    $('pairsMode').addEventListener('change', showPairs);
    $('cmdPairsClose').addEventListener('click', () => pairs.close());
    $('cmdImportLog').addEventListener('click', () => $('logFile').click());
    $('logFile').addEventListener('change', async () => {
      const file = $('logFile').files[0];
      $('logFile').value = '';
      if (file) await importLog(file);
    });
    $('cmdExportLog').addEventListener('click', () =>
      download(KetaBytes.outOf(module, api.file()), LOG_FILE, 'application/vnd.sqlite3'));
  }

  return { open, build, watch, LOG_FILE, kept: () => keeping };
})();
