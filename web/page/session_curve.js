'use strict';
// The result of a session: its curve drawn on a canvas from the numbers the module gives (the
// lines' places, the counts, the count axis's round ticks and their texts), the lines and every
// figure as tables. Nothing here computes a figure or a tick.
const KetaSessionResult = (() => {
  const $ = (id) => document.getElementById(id);
  const ANSWERS = '#1f5fb0';
  const ERRORS = '#d02020';
  const INK = '#000';
  const GRID = '#c8c8c8';
  const GAP = '#ece9e2';
  let shown = null;

  function cell(tag, text, className) {
    const element = document.createElement(tag);
    element.textContent = text;
    if (className) element.className = className;
    return element;
  }

  function fillLines(r) {
    const body = $('lineRows');
    body.textContent = '';
    for (const half of r.halves) {
      for (const line of half.lines) {
        const tr = document.createElement('tr');
        const th = cell('th', `${half.name} ${line.line}`);
        th.scope = 'row';
        tr.append(th, cell('td', String(line.answers)), cell('td', String(line.errors)));
        body.appendChild(tr);
      }
    }
    if (!body.firstChild) {
      const tr = document.createElement('tr');
      const td = cell('td', '終わった行はありません。', 'empty');
      td.colSpan = 3;
      tr.appendChild(td);
      body.appendChild(tr);
    }
  }

  function fillFigures(r, earlier) {
    const body = $('figureRows');
    body.textContent = '';
    r.figures.forEach((f, i) => {
      const tr = document.createElement('tr');
      const th = document.createElement('th');
      th.scope = 'row';
      th.append(cell('span', f.caption, 'caption'), cell('span', f.meaning, 'meaning'));
      const mean = earlier.means ? earlier.means[i] : null;
      const before = cell('td', mean ? mean.value : 'なし');
      if (mean) before.title = mean.covers;
      tr.append(th, cell('td', f.value), before);
      body.appendChild(tr);
    });
  }

  // The earlier sessions in this format: what the means cover, and each one's answers per line.
  function fillEarlier(earlier) {
    $('earlierTitle').textContent = earlier.title || '';
    const body = $('trendRows');
    body.textContent = '';
    for (const [when, first, second] of earlier.trend || []) {
      const tr = document.createElement('tr');
      const th = cell('th', when);
      th.scope = 'row';
      tr.append(th, cell('td', first), cell('td', second));
      body.appendChild(tr);
    }
  }

  function mark(g, x, y, r, cross) {
    g.beginPath();
    if (cross) {
      g.moveTo(x - r, y - r);
      g.lineTo(x + r, y + r);
      g.moveTo(x - r, y + r);
      g.lineTo(x + r, y - r);
      g.stroke();
    } else {
      g.arc(x, y, r, 0, 2 * Math.PI);
      g.fill();
    }
  }

  function drawCurve() {
    if (!shown) return;
    const c = shown.curve;
    const canvas = $('curve');
    const width = Math.max(240, canvas.parentElement.clientWidth);
    const height = Math.round(Math.min(320, Math.max(210, width * 0.5)));
    const ratio = window.devicePixelRatio || 1;
    canvas.width = Math.round(width * ratio);
    canvas.height = Math.round(height * ratio);
    const g = canvas.getContext('2d');
    g.setTransform(ratio, 0, 0, ratio, 0, 0);
    const size = 13;
    g.font = `${size}px ${getComputedStyle(canvas).fontFamily}`;
    g.fillStyle = '#fff';
    g.fillRect(0, 0, width, height);

    const labelWidth = Math.max(...c.yTicks.map(([, text]) => g.measureText(text).width));
    const plot = { left: labelWidth + size + 12, top: size * 2.8, right: width - 10, bottom: height - size * 2.8 };
    const xAt = (x) => plot.left + ((x - c.low) / (c.high - c.low)) * (plot.right - plot.left);
    const yAt = (y) => plot.bottom - ((y - c.yLow) / (c.yHigh - c.yLow)) * (plot.bottom - plot.top);

    g.textBaseline = 'middle';
    g.strokeStyle = GRID;
    g.lineWidth = 1;
    for (const [v, text] of c.yTicks) {
      g.beginPath();
      g.moveTo(plot.left, yAt(v));
      g.lineTo(plot.right, yAt(v));
      g.stroke();
      g.fillStyle = INK;
      g.textAlign = 'right';
      g.fillText(text, plot.left - 4, yAt(v));
    }
    if (c.gapLabel) {
      // A shaded band where no line runs, its name written top to bottom.
      const x = xAt(c.gapX);
      const half = Math.max(xAt(c.gapX + 0.5) - x, size * 0.6);
      g.fillStyle = GAP;
      g.fillRect(x - half, plot.top + 1, 2 * half, plot.bottom - plot.top - 2);
      g.fillStyle = INK;
      g.textAlign = 'center';
      const chars = [...c.gapLabel];
      chars.forEach((ch, k) => g.fillText(ch, x, (plot.top + plot.bottom) / 2 + (k - (chars.length - 1) / 2) * size * 1.2));
    }
    g.strokeStyle = INK;
    g.strokeRect(plot.left, plot.top, plot.right - plot.left, plot.bottom - plot.top);
    // Labels across, skipping those that would overlap the one before.
    g.textAlign = 'center';
    g.textBaseline = 'top';
    let lastRight = -Infinity;
    for (const [x, text] of c.xTicks) {
      const w = g.measureText(text).width;
      const cx = xAt(x);
      if (cx - w / 2 < lastRight + 4) continue;
      g.beginPath();
      g.moveTo(cx, plot.bottom);
      g.lineTo(cx, plot.bottom + 4);
      g.stroke();
      g.fillText(text, cx, plot.bottom + 5);
      lastRight = cx + w / 2;
    }
    g.fillText(c.across, (plot.left + plot.right) / 2, plot.bottom + size + 10);
    g.save();
    g.translate(size * 0.2, (plot.top + plot.bottom) / 2);
    g.rotate(-Math.PI / 2);
    g.textBaseline = 'top';
    g.fillText(c.up, 0, 0);
    g.restore();

    const r = 4;
    g.lineWidth = 2;
    for (const half of shown.halves) {
      g.strokeStyle = ANSWERS;
      g.fillStyle = ANSWERS;
      g.beginPath();
      half.lines.forEach((l, k) => (k === 0 ? g.moveTo : g.lineTo).call(g, xAt(l.x), yAt(l.answers)));
      g.stroke();
      for (const l of half.lines) mark(g, xAt(l.x), yAt(l.answers), r, false);
      g.strokeStyle = ERRORS;
      for (const l of half.lines) if (l.errors > 0) mark(g, xAt(l.x), yAt(l.errors), r, true);
    }

    // The legend along the top.
    g.textAlign = 'left';
    g.textBaseline = 'middle';
    let x = plot.left;
    const y = size * 1.2;
    for (const [name, colour, cross] of [[c.answersName, ANSWERS, false], [c.errorsName, ERRORS, true]]) {
      g.strokeStyle = colour;
      g.fillStyle = colour;
      mark(g, x + r, y, r, cross);
      g.fillStyle = INK;
      g.fillText(name, x + 2 * r + 4, y);
      x += 2 * r + g.measureText(name).width + 20;
    }
  }

  function show(r, earlier) {
    shown = r;
    $('resultFormat').textContent = r.format + (r.stopped ? '　' + r.stopped : '');
    // What the figures say, in the module's words, before the figures.
    $('resultSentences').replaceChildren(...r.sentences.map((text) => {
      const p = document.createElement('p');
      p.textContent = text;
      return p;
    }));
    $('curveTitle').textContent = r.curve.title;
    fillLines(r);
    fillFigures(r, earlier);
    fillEarlier(earlier);
    drawCurve();
  }

  window.addEventListener('resize', drawCurve);
  return { show };
})();
