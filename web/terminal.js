/* terminal - runs the programs in a terminal on the page, typed into as a console */
'use strict';

(function () {
  // The programs' bytes are Windows-1250, both ways.  A table decodes
  // them: a TextDecoder costs more than the few bytes of a row.
  const decoder = new TextDecoder('windows-1250');
  const letters = [];
  const encoding = new Map();
  for (let byte = 0; byte < 256; byte++) {
    const letter = decoder.decode(new Uint8Array([byte]));
    letters.push(letter);
    if (letter !== '\ufffd' && !encoding.has(letter))
      encoding.set(letter, byte);
  }
  function decode(bytes) {
    let text = '';
    for (const byte of bytes)
      text += letters[byte];
    return text;
  }
  // A letter Windows-1250 has no byte for is typed as a question mark, as
  // the Windows console does.
  function encode(text) {
    const bytes = [];
    for (const letter of text)
      bytes.push(encoding.has(letter) ? encoding.get(letter) : 0x3f);
    return bytes;
  }

  // Lines the terminal keeps, scrolled-off ones included (README says so).
  const SCROLLBACK = 10000;
  const term = new Terminal({
    cols: 80,
    rows: 30,
    scrollback: SCROLLBACK,
    convertEol: true,
    cursorBlink: true,
    fontFamily: 'monospace',
    // The screen's lines are kept in the page's text for a screen reader.
    screenReaderMode: true,
  });
  term.open(document.getElementById('terminal'));

  const status = document.getElementById('status');
  const buttons = document.querySelectorAll('#programs button');
  const screen = document.getElementById('terminal');

  // The run on the screen: its line being typed, the lines the program has
  // not asked for yet, and the program's read waiting for a line, if any.
  let run = null;

  /*
   * The program runs on the page's own thread, so the terminal draws nothing
   * while it writes: left alone, a long table would pile up in the terminal
   * until xterm.js refuses it (at 50 MB).  As a console's program waits while
   * the screen is behind, a write waits while the terminal holds more than
   * HIGH_WATER characters not yet shown, and the program goes on once they
   * are down to LOW_WATER.  The page shows its marks and the most it held
   * (data-high-water, data-unshown-peak on #terminal) for the browser test.
   */
  const HIGH_WATER = 100000;
  const LOW_WATER = 10000;
  let unshown = 0;
  let peak = 0;
  screen.dataset.highWater = String(HIGH_WATER);

  function toScreen(text, shown) {
    unshown += text.length;
    if (unshown > peak) {
      peak = unshown;
      screen.dataset.unshownPeak = String(peak);
    }
    term.write(text, () => {
      unshown -= text.length;
      if (shown)
        shown();
      if (unshown <= LOW_WATER && run && run.blocked)
        release(run);
    });
  }

  // The write that waited goes out, and the program after it, in a task of
  // its own rather than inside xterm.js's drawing.
  function release(current) {
    const { text, resume } = current.blocked;
    current.blocked = null;
    try {
      toScreen(text);
    } catch (error) {
      return fail(current, error);
    }
    setTimeout(() => {
      if (!current.ended)
        resume();
    });
  }

  // A run ends here whichever way it ends: a program that is never resumed
  // never runs again.
  function end(current) {
    current.ended = true;
    current.blocked = null;
    current.waiting = null;
  }

  function restartButton(name) {
    return [{ tag: 'button', id: 'restart', text: 'Újraindítás', click: () => start(name) },
            ' ', { gloss: true, text: 'start again' }];
  }

  // Ctrl+C or the stop button: as a console's Ctrl+C, the program ends at
  // once, with no exit status of its own.
  function stop(current) {
    if (current.ended || run !== current)
      return;
    end(current);
    toScreen('^C\r\n');
    status.dataset.stopped = 'true';
    say(['A program leállítva. ', { gloss: true, text: 'The program was stopped.' }, ' ',
         ...restartButton(current.name)]);
  }

  // Whatever breaks a run is said, so that none stays "running" with nothing happening.
  function fail(current, error) {
    if (current.ended)
      return;
    end(current);
    if (run !== current)
      return;
    status.dataset.failed = 'true';
    say(['A futás hibával megszakadt (' + error + '). ', { gloss: true, text: 'The run failed.' }, ' ',
         ...restartButton(current.name)]);
  }
  // An error event without an error (a ResizeObserver's notice) is no failure.
  window.addEventListener('error', (event) => {
    if (run && !run.ended && event.error)
      fail(run, event.error);
  });
  window.addEventListener('unhandledrejection', (event) => {
    if (run && !run.ended)
      fail(run, event.reason);
  });

  function say(text) {
    status.replaceChildren();
    for (const part of text) {
      if (typeof part === 'string') {
        status.append(part);
      } else {
        let element;
        if (part.gloss) {
          element = gloss(part.text);
        } else {
          element = document.createElement(part.tag || 'span');
          element.textContent = part.text;
        }
        if (part.click)
          element.addEventListener('click', part.click);
        if (part.id)
          element.id = part.id;
        status.append(element);
      }
    }
  }

  function gloss(text) {
    const element = document.createElement('span');
    element.className = 'gloss';
    element.lang = 'en';
    element.textContent = text;
    return element;
  }

  function loadScript(name) {
    return new Promise((resolve, reject) => {
      if (window[name])
        return resolve(window[name]);
      const script = document.createElement('script');
      script.src = name + '.js';
      script.onload = () => resolve(window[name]);
      script.onerror = () => reject(new Error('cannot load ' + script.src));
      document.head.append(script);
    });
  }

  // The single-file page carries each program's WebAssembly in base64, since
  // a page opened from disk may fetch nothing; the served page has none.
  function inlinedWasm(name) {
    const block = document.getElementById('wasm-' + name);
    if (!block)
      return undefined;
    const text = atob(block.textContent.trim());
    const bytes = new Uint8Array(text.length);
    for (let i = 0; i < text.length; i++)
      bytes[i] = text.charCodeAt(i);
    return bytes;
  }

  /*
   * The chart of value_table's rows (chart.js) is an extra: whatever breaks
   * it, uPlot missing or failing to draw, leaves the run and its rows going,
   * and the chart's place says that this browser cannot draw it.
   */
  function charting(action) {
    try {
      return action(window.tableChart);
    } catch (error) {
      try {
        window.tableChart.failed(error);
      } catch (ignored) {
        // No chart.js at all: there is no chart to speak of.
      }
      return false;
    }
  }
  let drawing = null;

  // Drawn a few times a second while rows come, not for every row.
  function drawSoon() {
    if (!drawing)
      drawing = setTimeout(() => {
        drawing = null;
        charting((chart) => chart.draw());
      }, 200);
  }

  async function start(name, script) {
    // sent: the lines handed over so far; script: lines still to be typed,
    // each when the program asks for one, from a link or a paste; blocked:
    // a write waiting for the screen to catch up, with the program's resume.
    const current = { name, line: '', lines: [], waiting: null, ended: false, sent: [], script: script || [],
                      blocked: null, first: null };
    // Another program's run gives way, as it would to a new one in a console.
    if (run)
      end(run);
    run = current;
    for (const button of buttons)
      button.setAttribute('aria-pressed', String(button.dataset.program === name));
    status.removeAttribute('data-exit-status');
    status.removeAttribute('data-stopped');
    status.removeAttribute('data-failed');
    peak = 0;
    screen.dataset.unshownPeak = '0';
    screen.dataset.waits = '0';
    document.getElementById('told').replaceChildren();
    document.getElementById('shown').hidden = true;
    clearTimeout(drawing);
    drawing = null;
    charting((chart) => chart.begin(name === 'value_table'));
    // What the last run wrote may not all be shown yet: the screen is then
    // cleared after it (ESC c resets the terminal).  The first line is
    // marked, to tell when the scrollback has dropped it.
    if (unshown) {
      toScreen('\x1bc', () => {
        if (run === current)
          current.first = term.registerMarker(0);
      });
    } else {
      term.reset();
      current.first = term.registerMarker(0);
    }
    say(['Fut: ', { tag: 'code', text: name }, ' ', { gloss: true, text: 'running' }, ' ',
         { tag: 'button', id: 'stop', text: 'Leállítás', click: () => stopByButton(current) },
         ' ', { gloss: true, text: 'stop' }]);
    term.focus();

    let factory;
    try {
      factory = await loadScript(name);
    } catch (error) {
      return fail(current, error);
    }
    if (current.ended)
      return;
    factory({
      wasmBinary: inlinedWasm(name),
      writeOutput(fd, bytes, resume) {
        if (current.ended)
          return true;
        const text = decode(bytes);
        if (charting((chart) => chart.take(text)))
          drawSoon();
        if (unshown > LOW_WATER && unshown + text.length > HIGH_WATER) {
          current.blocked = { text, resume };
          screen.dataset.waits = String(Number(screen.dataset.waits) + 1);
          return true;
        }
        try {
          toScreen(text);
        } catch (error) {
          fail(current, error);
          return true;
        }
        return false;
      },
      readInput(deliver) {
        if (current.ended)
          return;
        if (current.lines.length)
          return deliver(current.lines.shift());
        current.waiting = deliver;
        if (run === current && current.script.length)
          typeLine(current.script.shift());
      },
      onExit(code) {
        if (current.ended)
          return;
        end(current);
        // Said once the screen shows the program's last line.
        toScreen('', () => {
          if (run !== current)
            return;
          status.dataset.exitStatus = String(code);
          say([
            'A program véget ért, kilépési kód: ' + code + '. ',
            { gloss: true, text: 'The program has ended, exit status ' + code + '.' },
            ' ', ...restartButton(name),
          ]);
        });
      },
      onAbort: (what) => fail(current, what),
      // The runtime's own messages, such as a failure to load, are not the program's.
      print: (text) => console.log(text),
      printErr: (text) => console.error(text),
    }).catch((error) => fail(current, error));
  }

  function stopByButton(current) {
    stop(current);
    const again = document.getElementById('restart');
    if (again)
      again.focus();
  }

  // Typing as on a console: the line is echoed and edited here, and only
  // Enter hands it, line end included, to the program.
  function typeKeys(data) {
    for (const letter of data) {
      if (letter === '\r') {
        toScreen('\r\n');
        run.sent.push(run.line);
        const bytes = new Uint8Array(encode(run.line + '\n'));
        run.line = '';
        const waiting = run.waiting;
        run.waiting = null;
        if (waiting)
          waiting(bytes);
        else
          run.lines.push(bytes);
      } else if (letter === '\x7f' || letter === '\b') {
        if (run.line) {
          run.line = run.line.slice(0, -1);
          toScreen('\b \b');
        }
      } else if (letter >= ' ' || letter === '\t') {
        run.line += letter;
        toScreen(letter);
      }
    }
  }

  // A line of a link or a paste; the last of a paste may have no Enter yet.
  function typeLine(line) {
    typeKeys(line.text + (line.enter ? '\r' : ''));
  }

  term.onData((data) => {
    if (!run || run.ended)
      return;
    if (data.includes('\x03'))
      return stop(run);
    // Several lines at once (a paste) are typed one by one as the program
    // asks for them, each after its prompt, as a console shows typed-ahead
    // lines taken in turn; the first goes to the line being typed.
    const parts = data.split('\r');
    if (parts.length <= 2)
      return typeKeys(data);
    typeKeys(parts[0] + '\r');
    const rest = parts.slice(1).map((text, i) => ({ text, enter: i < parts.length - 2 }));
    if (!rest[rest.length - 1].text)
      rest.pop();
    run.script.push(...rest);
    if (run.waiting && run.script.length)
      typeLine(run.script.shift());
  });

  // An address such as #value_table:0,1,0.25 starts a program and types its
  // lines.  The lines are separated by commas, each percent-encoded as a URI
  // component, so a comma, a colon or a percent sign inside a line is %2C,
  // %3A or %25; after the name, a colon with nothing after it is one empty line.
  function fromAddress(hash) {
    const match = /^#([a-z_]+)(?::(.*))?$/s.exec(hash);
    if (!match || !Array.from(buttons).some((button) => button.dataset.program === match[1]))
      return null;
    let lines = [];
    if (match[2] !== undefined) {
      try {
        lines = match[2].split(',').map((line) => ({ text: decodeURIComponent(line), enter: true }));
      } catch (error) {
        return null;
      }
    }
    return { name: match[1], lines };
  }

  function toAddress(name, lines) {
    const base = location.href.replace(/#.*$/s, '');
    return base + '#' + name + (lines.length ? ':' + lines.map(encodeURIComponent).join(',') : '');
  }

  function startFromAddress() {
    const shared = fromAddress(location.hash);
    if (shared)
      start(shared.name, shared.lines);
  }

  // The screen's whole text, scrolled-off lines included, as the letters
  // shown; where the scrollback has dropped the run's first lines, the first
  // line says so.
  function screenText() {
    const buffer = term.buffer.active;
    const lines = [];
    for (let i = 0; i < buffer.length; i++)
      lines.push(buffer.getLine(i).translateToString(true));
    const text = lines.join('\n').replace(/\n+$/, '') + '\n';
    if (!run.first || !run.first.isDisposed)
      return text;
    return `[A futás első sorai kimaradtak: a terminál csak az utolsó ${buffer.length} sort őrzi meg.` +
           ` The first lines of the run are left out: the terminal keeps only the last ${buffer.length} lines.]\n` +
           text;
  }

  const shown = document.getElementById('shown');
  const told = document.getElementById('told');
  // Where the clipboard is refused (a page from disk, an old browser), what
  // would have gone there is shown, selected, to be copied by hand.  A page
  // served over plain http from another machine has no clipboard at all.
  function toClipboard(text, done) {
    shown.value = text;
    const written = navigator.clipboard ? navigator.clipboard.writeText(text)
                                        : Promise.reject(new Error('no clipboard'));
    written.then(() => {
      shown.hidden = true;
      told.replaceChildren(done[0] + ' ', gloss(done[1]));
    }, () => {
      shown.hidden = false;
      shown.select();
      told.replaceChildren('Másold ki innen: ', gloss('copy it from here'));
    });
  }

  document.getElementById('link').addEventListener('click', () => {
    if (run)
      toClipboard(toAddress(run.name, run.sent), ['A futás címe a vágólapon.', 'the link to this run is on the clipboard']);
  });
  document.getElementById('copy').addEventListener('click', () => {
    if (run)
      toClipboard(screenText(), ['A képernyő szövege a vágólapon.', "the screen's text is on the clipboard"]);
  });
  document.getElementById('download').addEventListener('click', () => {
    if (!run)
      return;
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([screenText()], { type: 'text/plain;charset=utf-8' }));
    link.download = run.name + '.txt';
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  });

  for (const button of buttons)
    button.addEventListener('click', () => start(button.dataset.program));
  window.addEventListener('hashchange', startFromAddress);
  startFromAddress();
})();
