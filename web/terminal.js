/* terminal - runs the programs in a terminal on the page, typed into as a console */
'use strict';

(function () {
  // The programs' bytes are Windows-1250, both ways.
  const decoder = new TextDecoder('windows-1250');
  const encoding = new Map();
  for (let byte = 0; byte < 256; byte++) {
    const letter = decoder.decode(new Uint8Array([byte]));
    if (letter !== '\ufffd' && !encoding.has(letter))
      encoding.set(letter, byte);
  }
  // A letter Windows-1250 has no byte for is typed as a question mark, as
  // the Windows console does.
  function encode(text) {
    const bytes = [];
    for (const letter of text)
      bytes.push(encoding.has(letter) ? encoding.get(letter) : 0x3f);
    return bytes;
  }

  const term = new Terminal({
    cols: 80,
    rows: 30,
    convertEol: true,
    cursorBlink: true,
    fontFamily: 'monospace',
    // The screen's lines are kept in the page's text for a screen reader.
    screenReaderMode: true,
  });
  term.open(document.getElementById('terminal'));

  const status = document.getElementById('status');
  const buttons = document.querySelectorAll('#programs button');

  // The run on the screen: its line being typed, the lines the program has
  // not asked for yet, and the program's read waiting for a line, if any.
  let run = null;

  function say(text) {
    status.replaceChildren();
    for (const part of text) {
      if (typeof part === 'string') {
        status.append(part);
      } else {
        const element = document.createElement(part.tag || 'span');
        element.textContent = part.text;
        if (part.gloss) {
          element.className = 'gloss';
          element.lang = 'en';
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

  async function start(name, script) {
    // sent: the lines handed over so far; script: lines still to be typed,
    // each when the program asks for one, from a link or a paste.
    const current = { name, line: '', lines: [], waiting: null, ended: false, sent: [], script: script || [] };
    run = current;
    for (const button of buttons)
      button.setAttribute('aria-pressed', String(button.dataset.program === name));
    status.removeAttribute('data-exit-status');
    document.getElementById('told').replaceChildren();
    document.getElementById('shown').hidden = true;
    term.reset();
    say(['Fut: ', { tag: 'code', text: name }, ' ', { gloss: true, text: 'running' }]);
    term.focus();

    const factory = await loadScript(name);
    if (run !== current)
      return;
    factory({
      wasmBinary: inlinedWasm(name),
      writeOutput(fd, bytes) {
        if (run === current)
          term.write(decoder.decode(bytes));
      },
      readInput(deliver) {
        if (current.lines.length)
          return deliver(current.lines.shift());
        current.waiting = deliver;
        if (run === current && current.script.length)
          typeLine(current.script.shift());
      },
      onExit(code) {
        current.ended = true;
        if (run !== current)
          return;
        status.dataset.exitStatus = String(code);
        say([
          'A program véget ért, kilépési kód: ' + code + '. ',
          { gloss: true, text: 'The program has ended, exit status ' + code + '.' },
          ' ',
          { tag: 'button', id: 'restart', text: 'Újraindítás', click: () => start(name) },
          ' ',
          { gloss: true, text: 'start again' },
        ]);
      },
      // The runtime's own messages, such as a failure to load, are not the program's.
      print: (text) => console.log(text),
      printErr: (text) => console.error(text),
    }).catch((error) => {
      if (run === current)
        say(['Hiba: ' + error + ' ', { gloss: true, text: 'error' }]);
    });
  }

  // Typing as on a console: the line is echoed and edited here, and only
  // Enter hands it, line end included, to the program.
  function typeKeys(data) {
    for (const letter of data) {
      if (letter === '\r') {
        term.write('\r\n');
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
          term.write('\b \b');
        }
      } else if (letter >= ' ' || letter === '\t') {
        run.line += letter;
        term.write(letter);
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

  // The screen's whole text, scrolled-off lines included, as the letters shown.
  function screenText() {
    const buffer = term.buffer.active;
    const lines = [];
    for (let i = 0; i < buffer.length; i++)
      lines.push(buffer.getLine(i).translateToString(true));
    return lines.join('\n').replace(/\n+$/, '') + '\n';
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
