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

  async function start(name) {
    const current = { name, line: '', lines: [], waiting: null, ended: false };
    run = current;
    for (const button of buttons)
      button.setAttribute('aria-pressed', String(button.dataset.program === name));
    status.removeAttribute('data-exit-status');
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
          deliver(current.lines.shift());
        else
          current.waiting = deliver;
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
  term.onData((data) => {
    if (!run || run.ended)
      return;
    for (const letter of data) {
      if (letter === '\r') {
        term.write('\r\n');
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
  });

  for (const button of buttons)
    button.addEventListener('click', () => start(button.dataset.program));
})();
