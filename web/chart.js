/* chart - the chart of value_table's rows, y against x as the program wrote them */
'use strict';

/*
 * WebKit under the C locale names its language "C", which Intl refuses; uPlot
 * formats numbers in the browser's language as it loads, and would not load
 * at all.  Its own number formatting is not used here (the axes write their
 * numbers below), so any language Intl knows will do.
 */
try {
  new Intl.NumberFormat(navigator.language);
} catch (error) {
  Object.defineProperty(navigator, 'language', { value: 'en', configurable: true });
}

window.tableChart = (function () {
  /*
   * The rows are read from the program's output, never computed here.  Every
   * k-th row is kept, and k doubles whenever the points pass MOST_POINTS, so
   * that the chart spans the whole table so far in bounded memory.
   */
  const ROW = /^(\d+)\.  x=\s*(\S+)  y=\s*(\S+) $/;
  const MOST_POINTS = 20000;
  const chart = document.getElementById('chart');
  const plotArea = document.getElementById('plot');
  const pointText = document.getElementById('point');
  const cannot = document.getElementById('cannot');
  let table = null;
  let plot = null;
  let labels = '';
  let broken = false;

  function gloss(text) {
    const element = document.createElement('span');
    element.className = 'gloss';
    element.lang = 'en';
    element.textContent = text;
    return element;
  }
  // The English gloss counts as English does (Hungarian keeps "sor" after a number).
  function rows(n) {
    return n === 1 ? '1 row' : `${n} rows`;
  }
  function nth(n) {
    const suffix = n % 100 >= 11 && n % 100 <= 13 ? 'th' : ['th', 'st', 'nd', 'rd'][n % 10] || 'th';
    return n + suffix;
  }

  // The chart's own events (keys, the pointer, a new width) break no more than it.
  function safely(action) {
    return (...args) => {
      try {
        return action(...args);
      } catch (error) {
        failed(error);
      }
    };
  }

  // For the rest of the page: a browser that could not draw once will not.
  function failed(error) {
    broken = true;
    chart.dataset.failed = String(error);
    try {
      if (plot)
        plot.destroy();
    } catch (ignored) {
      // Whatever is left of it is hidden with the area.
    }
    plot = null;
    plotArea.hidden = true;
    cannot.hidden = false;
    chart.hidden = !table;
  }

  function begin(isTable) {
    table = isTable ? { rows: 0, left: 0, every: 1, rest: '', number: [], x: [], y: [], xText: [], yText: [] } : null;
    chart.hidden = true;
    pointText.textContent = '';
    document.getElementById('sampled').replaceChildren();
    document.getElementById('left-out').replaceChildren();
    plotArea.setAttribute('aria-valuemax', '1');
    plotArea.setAttribute('aria-valuenow', '1');
    plotArea.setAttribute('aria-valuetext', 'nincs pont');
  }

  // Takes the rows in a piece of output; true if the chart has news.
  function take(text) {
    if (!table)
      return false;
    const lines = (table.rest + text).split('\n');
    // A line is a row only from its start; a line that long is none.
    table.rest = lines.pop().slice(-200);
    let news = false;
    for (const line of lines) {
      const row = ROW.exec(line);
      if (!row)
        continue;
      table.rows++;
      news = true;
      // "inf" and "nan" as printf writes them have no place on the chart.
      const x = Number(row[2]);
      const y = Number(row[3]);
      if (!Number.isFinite(x) || !Number.isFinite(y)) {
        table.left++;
        continue;
      }
      if ((table.rows - 1) % table.every)
        continue;
      table.number.push(table.rows);
      table.x.push(x);
      table.y.push(y);
      table.xText.push(row[2]);
      table.yText.push(row[3]);
      if (table.number.length > MOST_POINTS) {
        table.every *= 2;
        const keep = (_, i) => (table.number[i] - 1) % table.every === 0;
        for (const key of ['x', 'y', 'xText', 'yText', 'number'])
          table[key] = table[key].filter(keep);
      }
    }
    return news;
  }

  /*
   * uPlot's ticks go from 10^-32 to 10^32, and its scales overflow near the
   * double's largest values; the rows reach 10^308 both ways.  So the values
   * are drawn as (v - offset) / 10^power, and the axis label says so: the
   * offset where the values differ too little for their size, the power where
   * they are too large or too small.
   */
  function frame(values) {
    const low = Math.min(...values);
    const high = Math.max(...values);
    const size = Math.max(Math.abs(low), Math.abs(high));
    const offset = high > low && high - low < size * 1e-6 ? low : 0;
    const largest = Math.max(Math.abs(low - offset), Math.abs(high - offset));
    const power = largest && (largest >= 1e6 || largest < 1e-3) ? Math.floor(Math.log10(largest)) : 0;
    // Written with four decimals, a row's value is 0 or at least 10^-4: no
    // power here comes near the subnormal range.
    const scale = (v) => (v - offset) / 10 ** power;
    return { offset, power, scale };
  }

  const SUPERSCRIPT = { '-': '⁻', 0: '⁰', 1: '¹', 2: '²', 3: '³', 4: '⁴', 5: '⁵', 6: '⁶', 7: '⁷', 8: '⁸', 9: '⁹' };
  function label(name, { offset, power }) {
    const shifted = offset ? `(${name} − ${offset})` : name;
    return power ? `${shifted} / 10${String(power).replace(/./g, (c) => SUPERSCRIPT[c])}` : shifted;
  }

  // A zero-wide range gets room around its value, so that its points are drawn.
  function range(u, low, high) {
    const pad = (high - low) * 0.05 || Math.abs(low) * 0.1 || 1;
    return [low - pad, high + pad];
  }

  // The axes' numbers as plain decimals with a point, as the rows have them,
  // not in the browser's locale; the y axis as wide as its longest number.
  function ticks(u, values) {
    return values.map((v) => String(Number(v.toPrecision(10))));
  }
  function axisWidth(u, values) {
    return 30 + 8 * Math.max(3, ...(values || []).map((v) => v.length));
  }

  function plotSize() {
    const width = Math.max(plotArea.clientWidth, 100);
    return { width, height: Math.round(Math.min(320, width * 0.7)) };
  }

  // uPlot wants its x values rising; a table with a negative step is drawn
  // from its last row.
  function falling() {
    return table.x.length > 1 && table.x[0] > table.x[table.x.length - 1];
  }

  function create(xLabel, yLabel) {
    // Drawn at once inside batch, not in a later microtask, so that a
    // failure to draw is the caller's to catch.
    plot = new uPlot({
      ...plotSize(),
      // uPlot widens a lone x value its own way (0 to 100 for 0) before the
      // range is asked: x is framed from the rows, which are rising.
      scales: { x: { time: false, range: (u) => range(u, u.data[0][0], u.data[0][u.data[0].length - 1]) },
                y: { range } },
      axes: [{ label: xLabel, stroke: '#222', grid: { stroke: '#ddd' }, values: ticks },
             { label: yLabel, stroke: '#222', grid: { stroke: '#ddd' }, values: ticks, size: axisWidth }],
      series: [{ label: 'x' },
               { label: 'y', stroke: '#1a5fb4', width: 2,
                 points: { size: 6, show: (u) => u.data[0].length <= u.width / 8 } }],
      legend: { show: false },
      cursor: { drag: { x: false, y: false } },
      hooks: { setCursor: [safely((u) => { if (u.cursor.idx != null) showPoint(u.cursor.idx); })] },
    }, [[], []], (u, init) => {
      plotArea.append(u.root);
      u.batch(init);
    });
    labels = xLabel + '\n' + yLabel;
  }

  // Only a new width is followed: the chart's own height must not feed back.
  new ResizeObserver(safely(() => {
    if (plot && plotSize().width !== plot.width)
      requestAnimationFrame(safely(() => plot && plot.batch(() => plot.setSize(plotSize()))));
  })).observe(plotArea);

  function draw() {
    if (!table || !table.rows)
      return;
    chart.hidden = false;
    const sampled = document.getElementById('sampled');
    sampled.replaceChildren(table.rows + ' sor' +
      (table.every > 1 ? `; a grafikon minden ${table.every}. sort mutatja. ` : '. '),
      gloss(rows(table.rows) + (table.every > 1 ? `; the chart shows every ${nth(table.every)} row.` : '.')));
    document.getElementById('left-out').replaceChildren(...(table.left ? [
      `${table.left} sor kimaradt a grafikonból: y (vagy x) értéke inf vagy nan, ami nem szám. `,
      gloss(`${rows(table.left)} ${table.left === 1 ? 'is' : 'are'} left out of the chart: ` +
            'their y (or x) is inf or nan, not a number.')] : []));
    if (broken)
      return;
    plotArea.hidden = !table.x.length;
    if (!table.x.length)
      return;
    const xs = table.x.slice();
    const ys = table.y.slice();
    if (falling()) {
      xs.reverse();
      ys.reverse();
    }
    const xFrame = frame(xs);
    const yFrame = frame(ys);
    const xLabel = label('x', xFrame);
    const yLabel = label('y', yFrame);
    if (plot && labels !== xLabel + '\n' + yLabel) {
      plot.destroy();
      plot = null;
    }
    if (!plot)
      create(xLabel, yLabel);
    // The area was hidden until now, or has a new width: no frame at the old size.
    plot.batch(() => {
      if (plotSize().width !== plot.width)
        plot.setSize(plotSize());
      plot.setData([xs.map(xFrame.scale), ys.map(yFrame.scale)]);
    });
    plotArea.setAttribute('aria-valuemax', String(xs.length));
  }

  // The point's row number, x and y as the program wrote them.
  function showPoint(i) {
    if (!table || i >= table.x.length)
      return;
    const j = falling() ? table.x.length - 1 - i : i;
    const text = `${table.number[j]}. sor: x = ${table.xText[j]}, y = ${table.yText[j]}`;
    pointText.replaceChildren(text + ' ', gloss(`row ${table.number[j]}`));
    plotArea.setAttribute('aria-valuenow', String(i + 1));
    plotArea.setAttribute('aria-valuetext', text);
  }

  // The points are chosen by keyboard as a slider's values.
  plotArea.addEventListener('keydown', safely((event) => {
    const n = plot ? plot.data[0].length : 0;
    const step = { ArrowRight: 1, ArrowUp: 1, ArrowLeft: -1, ArrowDown: -1,
                   PageUp: Math.ceil(n / 10), PageDown: -Math.ceil(n / 10) }[event.key];
    const now = Number(plotArea.getAttribute('aria-valuenow')) - 1;
    let i = event.key === 'Home' ? 0 : event.key === 'End' ? n - 1 : step === undefined ? null : now + step;
    if (!n || i === null)
      return;
    event.preventDefault();
    i = Math.max(0, Math.min(n - 1, i));
    plot.setCursor({ left: plot.valToPos(plot.data[0][i], 'x'), top: plot.valToPos(plot.data[1][i], 'y') });
    showPoint(i);
  }));

  // Where each kept row was drawn, in the plot area's pixels, for the browser test.
  function drawn() {
    const points = [];
    const shown = plot && !plotArea.hidden;
    const area = shown && plot.over.getBoundingClientRect();
    for (let i = 0; shown && i < plot.data[0].length; i++) {
      const j = falling() ? table.x.length - 1 - i : i;
      points.push({ number: table.number[j], x: table.xText[j], y: table.yText[j],
                    left: plot.valToPos(plot.data[0][i], 'x'), top: plot.valToPos(plot.data[1][i], 'y') });
    }
    return { rows: table ? table.rows : 0, left: table ? table.left : 0, points,
             width: area ? area.width : 0, height: area ? area.height : 0 };
  }

  return { begin, take, draw, failed, drawn };
})();
