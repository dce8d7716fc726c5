/*
 * browser - types into the terminal page in a browser engine and checks what
 * the terminal shows, as a person at the page would see it.
 *
 * usage: node browser.js [--soak|--brief] [--engine=chromium|firefox|webkit]
 *                        [--language=TAG] PAGE_DIR SINGLE_FILE NODE_MODULES OUT_DIR [BROWSER]
 *
 * The page is served from PAGE_DIR by python3 -m http.server, and the same
 * page in one file, SINGLE_FILE, is opened from disk; puppeteer-core and
 * selenium-webdriver come from NODE_MODULES; a screenshot of each chart, of
 * the phone and of each failed scenario goes to OUT_DIR.  Chromium and
 * Firefox are driven by puppeteer-core (CDP and WebDriver BiDi), WebKitGTK by
 * WebKitWebDriver and its MiniBrowser, which need an X display (xvfb-run).
 * Each is handed to the scenarios as the same small part of puppeteer's Page
 * (see webkitPage); what an engine cannot do is said, with the scenario's
 * name, never skipped in silence.
 * --soak runs only the long table, to its end, on the served page.  --brief
 * leaves out the scenarios of what the page does (sharing, the keyboard, long
 * tables, the chart, the phone) on the served page, for the release's files,
 * whose page the whole test has seen built from the same sources.
 */
'use strict';

const { spawn } = require('child_process');
const { once } = require('events');
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');
const { pathToFileURL } = require('url');

const options = process.argv.slice(2).filter((arg) => arg.startsWith('--'));
const mode = options.includes('--soak') ? '--soak' : options.includes('--brief') ? '--brief' : '';
const soak = mode === '--soak';
const option = (name, otherwise) => (options.find((arg) => arg.startsWith(`--${name}=`)) || `=${otherwise}`).split('=')[1];
const engine = option('engine', 'chromium');
// The browser's language the run is for (WebKit's is the locale's): a run
// meant for one must not pass in another.
const language = option('language', '');
const [pageDir, singleFile, nodeModules, outDir, executable] = process.argv.slice(2).filter((arg) => !arg.startsWith('--'));
const puppeteer = require(path.resolve(nodeModules, 'puppeteer-core'));

const TIMEOUT = 10000;   // ms to wait for text that must come
const QUIET = 500;       // ms of no change that count as "still waiting"

const CLOSING = 'Nyomj egy karaktert és egy entert, ha ki akarsz lépni a programból!';

class Failure extends Error {}
// What an engine cannot do: said with the scenario's name, and not a failure.
class Cannot extends Error {}

function serve(dir) {
  return new Promise((resolve, reject) => {
    const server = spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1',
                                     '--directory', dir], { stdio: ['ignore', 'pipe', 'pipe'] });
    let said = '';
    server.stdout.on('data', (chunk) => {
      said += chunk;
      const port = /port (\d+)/.exec(said);
      if (port)
        resolve({ server, url: `http://127.0.0.1:${port[1]}/` });
    });
    server.on('exit', (code) => reject(new Error(`http.server ended (${code}): ${said}`)));
    // The server ends with the driver, however the driver ends.
    process.on('exit', () => server.kill());
    for (const signal of ['SIGINT', 'SIGTERM', 'SIGPIPE', 'SIGHUP'])
      process.on(signal, () => process.exit(1));
  });
}

// The terminal's lines as a person sees them on the screen.
async function screen(page) {
  return page.evaluate(() =>
    Array.from(document.querySelectorAll('#terminal .xterm-rows > div'),
               (row) => row.textContent.replace(/\u00a0/g, ' ').replace(/ +$/, ''))
      .join('\n').replace(/\n+$/, ''));
}

async function exitStatus(page) {
  return page.evaluate(() => document.getElementById('status').dataset.exitStatus);
}

// Waits until the screen holds text; returns the screen.  A screen line has
// no trailing spaces: those of a prompt show in the line typed after it.
async function expect(page, text) {
  const deadline = Date.now() + TIMEOUT;
  let seen = '';
  while (Date.now() < deadline) {
    seen = await screen(page);
    if (seen.includes(text.replace(/ +$/, '')))
      return seen;
    await new Promise((r) => setTimeout(r, 50));
  }
  throw new Failure(`timed out waiting for ${JSON.stringify(text)}; the screen shows:\n${seen}`);
}

// The program is still running and writes nothing more: it waits for a line.
async function waits(page) {
  const before = await screen(page);
  await new Promise((r) => setTimeout(r, QUIET));
  const after = await screen(page);
  if (after !== before)
    throw new Failure(`expected the program to wait, but the screen changed to:\n${after}`);
  const status = await exitStatus(page);
  if (status !== undefined)
    throw new Failure(`expected the program to wait, but it ended with status ${status}`);
}

async function ends(page, status, timeout = TIMEOUT) {
  const deadline = Date.now() + timeout;
  let seen;
  while ((seen = await exitStatus(page)) === undefined && Date.now() < deadline)
    await new Promise((r) => setTimeout(r, 50));
  if (seen !== String(status))
    throw new Failure(`exit status ${seen}, expected ${status}`);
  const said = await page.$eval('#status', (element) => element.textContent);
  if (!said.includes(`A program véget ért, kilépési kód: ${status}.`) || !said.includes('Újraindítás'))
    throw new Failure(`the page does not say that the program ended: ${said}`);
}

async function type(page, keys) {
  for (const key of keys) {
    if (key === '\n')
      await page.keyboard.press('Enter');
    else if (key === '\b')
      await page.keyboard.press('Backspace');
    else
      await page.keyboard.type(key);
  }
}

const SCENARIOS = {
  // The worked example: every prompt is on the screen before the program
  // waits, a typing mistake is taken back, and the count, the four rows and
  // the closing text follow, with the accented letters shown as letters.
  'value_table': async (page) => {
    await page.click('button[data-program="value_table"]');
    await expect(page, 'kezdő érték = ');
    await waits(page);
    await type(page, '9\b0\n');
    await expect(page, 'vég érték = ');
    await waits(page);
    await type(page, '1\n');
    await expect(page, 'lépésköz = ');
    await waits(page);
    await type(page, '0.25\n');
    await startsWithTable(page);
    await waits(page);
    await type(page, 'x\n');
    await ends(page, 0);
  },
  // "Start again" runs the program afresh on a clean screen.
  'value_table-again': async (page) => {
    await page.click('#restart');
    const shown = await expect(page, 'kezdő érték = ');
    if (shown !== 'kezdő érték =')
      throw new Failure(`expected a fresh screen, it shows:\n${shown}`);
    await waits(page);
    await type(page, '0 1 0.5 q\n');
    await expect(page, '2.  x=   0.5000  y= 10.0000');
    await ends(page, 0);
  },
  // A decimal comma stops every read at the comma: the program runs to its
  // end without waiting again.
  'triangle_test': async (page) => {
    await page.click('button[data-program="triangle_test"]');
    await expect(page, 'a = ');
    await waits(page);
    await type(page, '0,5\n');
    const shown = await expect(page, CLOSING);
    const expected = 'a = 0,5\nb = c =\nA megadott oldalak alapján a háromszög nem elkészíthető!\n\n' + CLOSING;
    if (shown !== expected)
      throw new Failure(`the screen shows:\n${shown}\nexpected:\n${expected}`);
    await ends(page, 0);
  },
};

// --- Engines: each opens pages with the same small part of puppeteer's Page --

// A wait polls evaluate: puppeteer's own waiting runs code in the page that
// the page's policy refuses under Firefox, and WebDriver has none.
function polling(page) {
  page.waitForFunction = async (fn, { timeout = TIMEOUT } = {}, ...args) => {
    const deadline = Date.now() + timeout;
    while (!await page.evaluate(fn, ...args)) {
      if (Date.now() > deadline)
        throw new Error(`timed out after ${timeout} ms waiting for ${fn}`);
      await new Promise((r) => setTimeout(r, 50));
    }
  };
  page.waitForSelector = (selector, options) =>
    page.waitForFunction((s) => document.querySelector(s) !== null, options, selector);
  return page;
}

// Chromium and Firefox, through puppeteer-core.  A page refuses and reports
// any request outside what it may load (its origin, or for a file its own
// address).
async function puppeteerEngine() {
  const firefox = engine === 'firefox';
  const downloads = fs.mkdtempSync(path.join(os.tmpdir(), 'browser-'));
  process.on('exit', () => fs.rmSync(downloads, { recursive: true, force: true }));
  const browser = await puppeteer.launch({
    browser: firefox ? 'firefox' : 'chrome',
    executablePath: executable || (firefox ? '/usr/bin/firefox-esr' : '/usr/bin/chromium'),
    headless: true,
    args: firefox ? [] : ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'],
    // Firefox has no download command of WebDriver BiDi yet; its settings serve.
    extraPrefsFirefox: { 'browser.download.dir': downloads, 'browser.download.folderList': 2,
                         'browser.download.useDownloadDir': true, 'browser.download.always_ask_before_handling_new_types': false,
                         // The downloads panel would take the keyboard from the page.
                         'browser.download.alwaysOpenPanel': false,
                         // A process for each site, spares started ahead, and processes for
                         // media, the network and extensions: a page of one site needs none of
                         // them, and they cost a run a tenth of its processor time.
                         'fission.autostart': false, 'dom.ipc.processCount': 1,
                         'dom.ipc.processPrelaunch.enabled': false, 'media.rdd-process.enabled': false,
                         'media.utility-process.enabled': false, 'network.process.enabled': false,
                         'extensions.webextensions.remote': false },
  });
  async function open(url, mayLoad, offline) {
    const page = polling(await browser.newPage());
    if (firefox) {
      // puppeteer-core sends a screen orientation with every viewport, a
      // command Firefox ESR 140 does not know; the viewport is set all the same.
      const setViewport = page.setViewport.bind(page);
      page.setViewport = (viewport) => setViewport(viewport).catch((error) => {
        if (!/setScreenOrientationOverride/.test(error.message))
          throw error;
      });
    }
    await page.setViewport({ width: 1000, height: 800 });
    const problems = [];
    page.collect = async () => {};
    page.on('pageerror', (error) => problems.push(String(error)));
    page.on('console', (message) => {
      if (message.type() === 'error')
        problems.push(`console: ${message.text()}`);
    });
    page.on('response', (response) => {
      if (response.status() >= 400)
        problems.push(`${response.status()} for ${response.url()}`);
    });
    const refused = new Set();
    // A request the page's own reload or navigation cuts short is no fault.
    page.on('requestfailed', (request) => {
      if (!refused.has(request) && !/ABORTED/.test(request.failure().errorText))
        problems.push(`request failed: ${request.url()}`);
    });
    await page.setRequestInterception(true);
    page.on('request', (request) => {
      const address = request.url();
      if (address.startsWith('data:') || mayLoad(address))
        return request.continue();
      problems.push(`a request outside the page: ${address}`);
      refused.add(request);
      request.abort('blockedbyclient');
    });
    if (offline)
      await page.setOfflineMode(true).catch((error) =>
        console.log(`${engine}: the single file runs online, its requests refused all the same: ${error.message.split(/\n| \w+@/)[0]}`));
    if (!firefox) {
      const session = await page.createCDPSession();
      await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
      if (url.startsWith('http'))
        await browser.defaultBrowserContext().overridePermissions(new URL(url).origin, ['clipboard-write']);
    }
    await page.goto(url, { waitUntil: 'load' });
    return { page, problems };
  }
  return { open, downloads, close: () => browser.close() };
}

// WebKitGTK: WebKitWebDriver starts its MiniBrowser, on the X display it is
// given.  The page's errors are caught by listeners put into each document
// once it has loaded; classic WebDriver shows neither the console nor the
// requests, nor can it refuse one.
async function webkitEngine() {
  const { Builder, By, Key, Origin } = require(path.resolve(nodeModules, 'selenium-webdriver'));
  const port = await new Promise((resolve) => {
    const probe = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
  // The MiniBrowser saves a download in the user's download folder, as glib
  // reads it from user-dirs.dirs, and takes GTK's style from the same folder.
  const home = fs.mkdtempSync(path.join(os.tmpdir(), 'browser-'));
  const downloads = path.join(home, 'downloads');
  fs.mkdirSync(downloads);
  fs.writeFileSync(path.join(home, 'user-dirs.dirs'), `XDG_DOWNLOAD_DIR="${downloads}"\n`);
  // MiniBrowser's toolbar would keep its window wider than a phone's (447
  // pixels inside); GTK's own style, not the page's, shrinks it.
  fs.mkdirSync(path.join(home, 'gtk-3.0'));
  fs.writeFileSync(path.join(home, 'gtk-3.0', 'gtk.css'), '* { font-size: 1px; min-width: 0; min-height: 0; padding: 0; margin: 0; }\n');
  const server = spawn('WebKitWebDriver', [`--port=${port}`],
                       { stdio: 'ignore', env: { ...process.env, XDG_CONFIG_HOME: home } });
  process.on('exit', () => {
    server.kill();
    fs.rmSync(home, { recursive: true, force: true });
  });
  const address = `http://127.0.0.1:${port}`;
  for (let tries = 0; !await fetch(address + '/status').then(() => true, () => false); tries++) {
    if (tries > 100)
      throw new Error('WebKitWebDriver does not answer');
    await new Promise((r) => setTimeout(r, 100));
  }
  const driver = await new Builder().usingServer(address).withCapabilities({
    browserName: 'MiniBrowser',
    'webkitgtk:browserOptions': { binary: executable || '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser',
                                  args: ['--automation'] },
  }).build();
  await driver.manage().setTimeouts({ script: 60000, pageLoad: 30000 });
  const problems = [];
  let frame = { width: 0, height: 0 };
  async function run(script, args) {
    const result = await driver.executeAsyncScript(`const done = arguments[arguments.length - 1];
      const args = Array.prototype.slice.call(arguments, 0, -1);
      Promise.resolve().then(() => ${script}).then((value) => done({ value, none: value === undefined }),
        (error) => done({ error: String(error && error.stack || error) }));`, ...args);
    if (result.error)
      throw new Error(result.error);
    return result.none ? undefined : result.value;
  }
  const listen = () => run(`(${() => {
    if (window.problems)
      return;
    window.problems = [];
    window.addEventListener('error', (event) => window.problems.push(String(event.error || event.message)));
    window.addEventListener('unhandledrejection', (event) => window.problems.push(String(event.reason)));
    const error = console.error;
    console.error = (...args) => { window.problems.push('console: ' + args.join(' ')); error.apply(console, args); };
  }})()`, []);
  const KEYS = { Enter: Key.ENTER, Backspace: Key.BACK_SPACE, Tab: Key.TAB, Home: Key.HOME, End: Key.END,
                 ArrowRight: Key.ARROW_RIGHT, ArrowLeft: Key.ARROW_LEFT, Control: Key.CONTROL };
  const held = [];
  const page = {
    collect: async () => problems.push(...await run('(window.problems || []).splice(0)', [])),
    goto: async (url) => { await driver.get(url); await listen(); },
    reload: async () => { await driver.navigate().refresh(); await listen(); },
    evaluate: (fn, ...args) => typeof fn === 'string' ? driver.executeScript(fn) : run(`(${fn})(...args)`, args),
    $eval: (selector, fn, ...args) => run(`(${fn})(document.querySelector(args[0]), ...args.slice(1))`, [selector, ...args]),
    $$eval: (selector, fn) => run(`(${fn})(Array.from(document.querySelectorAll(args[0])))`, [selector]),
    click: async (selector) => driver.findElement(By.css(selector)).click(),
    focus: (selector) => run('document.querySelector(args[0]).focus()', [selector]),
    keyboard: {
      down: async (key) => held.push(KEYS[key]),
      up: async (key) => held.splice(held.indexOf(KEYS[key]), 1),
      press: async (key) => {
        let actions = driver.actions();
        for (const modifier of held)
          actions = actions.keyDown(modifier);
        actions = actions.sendKeys(KEYS[key] || key);
        for (const modifier of held)
          actions = actions.keyUp(modifier);
        await actions.perform();
      },
      type: (text) => driver.actions().sendKeys(text).perform(),
    },
    mouse: { move: (x, y) => driver.actions().move({ x: Math.round(x), y: Math.round(y), origin: Origin.VIEWPORT }).perform() },
    // The window is set so that its viewport has the size asked for; a
    // desktop engine has no touch screen to emulate.  The page learns of the
    // window's new size a little after the window has it, later while it is
    // busy: the size it gives is taken for the window's only once it fits in
    // the window and has held for a while (a stale 1000 pixels, taken at
    // once, made a phone's window -220 pixels wide).  The frame around the
    // page, MiniBrowser's toolbar, is kept for the next size.
    setViewport: async ({ width, height }) => {
      const window = driver.manage().window();
      const end = Date.now() + TIMEOUT;
      let rect = { width: width + frame.width, height: height + frame.height };
      let inside = [];
      for (let tries = 0; tries < 6 && Date.now() < end; tries++) {
        await window.setRect(rect);
        for (let since = Date.now(), held = ''; Date.now() - since < QUIET && Date.now() < end;) {
          inside = await run('[window.innerWidth, window.innerHeight]', []);
          if (inside[0] === width && inside[1] === height) {
            frame = { width: rect.width - width, height: rect.height - height };
            return;
          }
          if (String(inside) !== held || inside[0] > rect.width || inside[1] > rect.height)
            [since, held] = [Date.now(), String(inside)];
          await new Promise((r) => setTimeout(r, 50));
        }
        rect = { width: rect.width + width - inside[0], height: rect.height + height - inside[1] };
      }
      throw new Cannot(`MiniBrowser's window is ${inside.join('×')} pixels inside, not ${width}×${height}`);
    },
    screenshot: async ({ path: file }) => fs.writeFileSync(file, await driver.takeScreenshot(), 'base64'),
    close: async () => {},
  };
  polling(page);
  return {
    open: async (url) => {
      await page.setViewport({ width: 1000, height: 800 });
      await page.goto(url);
      return { page, problems };
    },
    downloads,
    // The driver is waited for, so that its browser's time is counted in the run's.
    close: async () => {
      await driver.quit();
      server.kill();
      await once(server, 'exit');
    },
  };
}

// The page's Content-Security-Policy runs no script but its own: a script
// written into the page afterwards does not run.
async function policed(page, problems) {
  const [ran, refused] = await page.evaluate(() => new Promise((resolve) => {
    window.smuggled = false;
    document.addEventListener('securitypolicyviolation', () => resolve([window.smuggled, true]), { once: true });
    const script = document.createElement('script');
    script.textContent = 'window.smuggled = true;';
    document.head.append(script);
    setTimeout(() => resolve([window.smuggled, false]), 1000);
  }));
  if (ran)
    throw new Failure('a script written into the page ran: it has no Content-Security-Policy for scripts');
  if (!refused)
    throw new Failure('the script written into the page was not refused by the policy');
  // The engine's own report of the refusal on its console is no fault of the
  // page's; Firefox makes it a little after the refusal itself.
  await new Promise((r) => setTimeout(r, 300));
  await page.collect();
  const refusal = /inline script|Content-Security-Policy|Refused to execute/i;
  problems.splice(0, problems.length, ...problems.filter((problem) => !refusal.test(problem)));
}

const PICTURED = /chart|phone|soak/;

async function play(page, problems, scenarios) {
  let failed = 0;
  for (const [name, scenario] of Object.entries(scenarios)) {
    const from = Date.now();
    const failedBefore = failed;
    try {
      try {
        await scenario(page);
        await page.collect();
      } catch (error) {
        await page.collect().catch(() => {});
        if (problems.length && error instanceof Failure)
          error.message += `\nthe page reported: ${problems.join('; ')}`;
        throw error;
      }
      if (problems.length)
        throw new Failure(`the page reported: ${problems.join('; ')}`);
      console.log(`${engine}: ${name}: passed in ${((Date.now() - from) / 1000).toFixed(1)} s`);
    } catch (error) {
      if (error instanceof Cannot) {
        console.log(`${engine}: ${name}: not run: ${error.message}`);
      } else {
        failed++;
        console.log(`${engine}: ${name}: FAILED: ${error instanceof Failure ? error.message : error.stack}`);
      }
    }
    problems.length = 0;
    // A screenshot costs a tenth of a second's processor time or more: taken
    // where the picture is what was tested, and where a scenario failed.
    if (failed > failedBefore || PICTURED.test(name))
      await page.screenshot({ path: path.join(outDir, `${name}.png`) });
  }
  return failed;
}

const TABLE = [
  'kezdő érték = 0',
  'vég érték = 1',
  'lépésköz = 0.25',
  'lépések száma = 4',
  '------------------------',
  '1.  x=   0.0000  y=  8.0000',
  '2.  x=   0.2500  y=  8.8750',
  '3.  x=   0.5000  y= 10.0000',
  '4.  x=   0.7500  y= 11.3750',
  '',
  CLOSING,
].join('\n');

// The same screen as text: a row ends with the space the program writes
// after it, which the screen's cells keep.
const TABLE_TEXT = TABLE.replace(/^(\d\.  x=.*)$/gm, '$1 ') + '\n';

async function startsWithTable(page) {
  const shown = await expect(page, CLOSING);
  if (!shown.startsWith(TABLE))
    throw new Failure(`the screen shows:\n${shown}\nexpected it to start with:\n${TABLE}`);
}

// What the link button gives: the text the page wrote to the clipboard, else
// the text shown to be copied by hand.  What is written is taken as the page
// hands it over: Firefox and WebKit let a page read the clipboard only after
// a prompt of their own.
async function given(page, button) {
  await page.evaluate(() => {
    document.getElementById('told').textContent = '';
    window.written = null;
    if (navigator.clipboard)
      navigator.clipboard.writeText = function (text) {
        return Clipboard.prototype.writeText.call(this, text).then(() => { window.written = text; });
      };
  });
  await page.click(button);
  await page.waitForFunction(() => document.getElementById('told').textContent !== '', { timeout: TIMEOUT });
  return page.evaluate(() => {
    const shown = document.getElementById('shown');
    return shown.hidden ? window.written : shown.value;
  });
}

// Shared runs, paste and the screen's text; on the served page.
function sharing(url, downloads) {
  return {
    // A shared address starts its program and types its lines, each after
    // its prompt, as the worked example shows them.
    'shared-address': async (page) => {
      await page.goto(url + '#value_table:0,1,0.25');
      await startsWithTable(page);
      await waits(page);
      await type(page, 'x\n');
      await ends(page, 0);
    },
    // A decimal comma inside a line travels as %2C, and the link to the run
    // names the same lines: opened, it shows the same screen.
    'shared-link': async (page) => {
      await page.goto(url + '#triangle_test:0%2C5');
      const first = await expect(page, CLOSING);
      if (!first.startsWith('a = 0,5\nb = c ='))
        throw new Failure(`the screen shows:\n${first}`);
      await ends(page, 0);
      const link = await given(page, '#link');
      if (link !== url + '#triangle_test:0%2C5')
        throw new Failure(`the link to the run is ${link}`);
      await page.goto(url + '#value_table');
      await expect(page, 'kezdő érték = ');
      await type(page, 'a:b\n');
      await ends(page, 0);
      const colon = await given(page, '#link');
      if (colon !== url + '#value_table:a%3Ab')
        throw new Failure(`the link to a run with a colon is ${colon}`);
      await page.goto(link);
      const again = await expect(page, CLOSING);
      if (again !== first)
        throw new Failure(`the link shows:\n${again}\ninstead of:\n${first}`);
      await ends(page, 0);
    },
    // Three pasted lines answer the three prompts in turn; the text copied
    // is the screen's.
    'paste-and-copy': async (page) => {
      await page.click('button[data-program="value_table"]');
      await expect(page, 'kezdő érték = ');
      await paste(page, '0\n1\n0.25\n');
      await startsWithTable(page);
      await waits(page);
      const copied = await given(page, '#copy');
      if (copied !== TABLE_TEXT)
        throw new Failure(`the copied text is:\n${copied}\nexpected:\n${TABLE_TEXT}`);
    },
    // The text downloaded is the screen's, in UTF-8.
    'download': async (page) => {
      if (!downloads)
        throw new Cannot(`${engine} has no download folder a driver can set`);
      const file = path.join(downloads, 'value_table.txt');
      fs.rmSync(file, { force: true });
      await page.click('#download');
      // Firefox makes the file empty at once and writes it whole later, from
      // a .part file of its own: the wait is for the bytes, not the name.
      const expected = Buffer.from(TABLE_TEXT, 'utf8');
      const downloaded = () => fs.existsSync(file) ? fs.readFileSync(file) : Buffer.alloc(0);
      const deadline = Date.now() + TIMEOUT;
      let bytes = downloaded();
      while (!bytes.equals(expected) && Date.now() < deadline) {
        await new Promise((r) => setTimeout(r, 50));
        bytes = downloaded();
      }
      if (!bytes.equals(expected))
        throw new Failure(`the downloaded file holds:\n${bytes.toString('hex')}`);
      await page.focus('#terminal textarea');
      await type(page, 'x\n');
      await ends(page, 0);
    },
  };
}

// A paste into the terminal.  Firefox empties the data of a paste event made
// by a script, so there the text goes through the clipboard, and
// Ctrl+Shift+V pastes it as a person would (Ctrl+V is the terminal's ^V).
async function paste(page, text) {
  if (engine !== 'firefox')
    return page.$eval('#terminal textarea', (area, text) => {
      const data = new DataTransfer();
      data.setData('text/plain', text);
      area.dispatchEvent(new ClipboardEvent('paste', { clipboardData: data, bubbles: true, cancelable: true }));
    }, text);
  await page.evaluate((text) => Clipboard.prototype.writeText.call(navigator.clipboard, text), text);
  await page.focus('#terminal textarea');
  await page.keyboard.down('Control');
  await page.keyboard.down('Shift');
  await page.keyboard.press('V');
  await page.keyboard.up('Shift');
  await page.keyboard.up('Control');
}

// Where the page may not write the clipboard, or has none (a page served over
// plain http from another machine), the link is shown, selected, to be
// copied by hand.
async function linkWithoutClipboard(page, url) {
  const link = url + '#triangle_test:0%2C5';
  await page.goto(link);
  await expect(page, CLOSING);
  await ends(page, 0);
  for (const clipboard of ['refused', 'missing']) {
    await page.evaluate((missing) => {
      if (missing)
        Object.defineProperty(Navigator.prototype, 'clipboard', { get: () => undefined, configurable: true });
      else
        navigator.clipboard.writeText = () => Promise.reject(new DOMException('refused', 'NotAllowedError'));
    }, clipboard === 'missing');
    await page.evaluate(() => { document.getElementById('told').textContent = ''; });
    await page.click('#link');
    await page.waitForFunction(() => document.getElementById('told').textContent !== '', { timeout: TIMEOUT })
      .catch(() => {});
    const [told, hidden, value, selected] = await page.evaluate(() => {
      const shown = document.getElementById('shown');
      return [document.getElementById('told').textContent, shown.hidden, shown.value,
              shown.value.length > 0 && shown.selectionEnd - shown.selectionStart === shown.value.length];
    });
    if (hidden || value !== link || !selected || !told.startsWith('Másold ki innen'))
      throw new Failure(`with the clipboard ${clipboard}, the page says "${told}" and shows ` +
                        (hidden ? 'no link' : `"${value}"${selected ? '' : ', not selected'}`));
  }
  await page.reload();
}

// axe-core's WCAG 2.1 A and AA rules find nothing on the page; it is handed
// to the page through the debugger, which the page's policy does not govern.
async function accessible(page) {
  await page.evaluate(fs.readFileSync(path.resolve(nodeModules, 'axe-core', 'axe.min.js'), 'utf8'));
  const result = await page.evaluate(() => axe.run(document, {
    runOnly: { type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa'] },
  }));
  const found = result.violations.map((violation) =>
    `${violation.id} (${violation.impact}): ${violation.help}\n` +
    violation.nodes.map((node) => `  ${node.target.join(' ')}: ${node.failureSummary}`).join('\n'));
  console.log(`axe-core: ${result.violations.length} violations, ${result.passes.length} rules passed`);
  if (found.length)
    throw new Failure(`axe-core finds:\n${found.join('\n')}`);
}

// The terminal's text is there for a screen reader, and every control is
// reached by Tab and pressed by Enter.
async function keyboard(page) {
  const readerText = () => page.$eval('#terminal', (element) =>
    (element.querySelector('.xterm-accessibility-tree') || {}).textContent || '');
  // xterm.js fills the screen reader's copy after it draws the screen.
  const deadline = Date.now() + TIMEOUT;
  let reader;
  while (!(reader = await readerText()).includes('lépések száma = 4') && Date.now() < deadline)
    await new Promise((r) => setTimeout(r, 50));
  if (!reader.includes('lépések száma = 4'))
    throw new Failure(`the screen reader is given:\n${reader}`);
  // Tab from the top of the page, where a click on its heading starts it.
  await page.click('h1');
  const reached = [];
  for (let i = 0; i < 12; i++) {
    await page.keyboard.press('Tab');
    reached.push(await page.evaluate(() => document.activeElement.id || document.activeElement.dataset.program
                                             || document.activeElement.className));
  }
  for (const control of ['value_table', 'triangle_test', 'reciprocal_sum', 'tab_pattern', 'link', 'copy', 'download'])
    if (!reached.includes(control))
      throw new Failure(`Tab does not reach ${control}; it reaches ${reached.join(', ')}`);
  await page.focus('button[data-program="tab_pattern"]');
  await page.keyboard.press('Enter');
  await page.waitForSelector('button[data-program="tab_pattern"][aria-pressed="true"]', { timeout: TIMEOUT });
  await expect(page, 'x');
}

const PHONE = { width: 390, height: 844, ...(engine === 'chromium' ? { isMobile: true, hasTouch: true } : {}) };

// On a phone the page scrolls sideways only inside the terminal.
async function phone(page) {
  await page.setViewport(PHONE);
  await page.click('button[data-program="value_table"]');
  await expect(page, 'kezdő érték = ');
  const wide = await page.evaluate(() => document.documentElement.scrollWidth);
  if (wide > 390)
    throw new Failure(`the page is ${wide} pixels wide at a 390 pixel viewport`);
  const small = await page.$$eval('button', (buttons) => buttons
    .filter((button) => button.offsetParent)
    .map((button) => [button.id || button.dataset.program, button.getBoundingClientRect().height])
    .filter(([, height]) => height < 24));
  if (small.length)
    throw new Failure(`buttons too small to touch: ${JSON.stringify(small)}`);
}

// --- Long tables: flow control, stop, the chart ------------------------------

const until = (page, test, timeout = TIMEOUT) => page.waitForFunction(test, { timeout, polling: 50 });
const running = (page) => until(page, () => /^\d+\.  x=/m.test(document.querySelector('#terminal .xterm-rows').textContent
  .replace(/\u00a0/g, ' ')));

// 15 000 rows, some 600 000 characters, run past the 10 000-line scrollback
// and six times past the high-water mark; more only cost processor time.
const LONG_TABLE = 15000;

// A table of count rows, typed in by its address; x counts up from 0 by 1.
const tableOf = (url, count) => `${url}#value_table:0,${count},1`;

// However long the table, the terminal never holds more output not yet shown
// than the page's high-water mark: the program waits for the screen.
async function flowControlled(page, url, count, timeout) {
  await page.goto(tableOf(url, count));
  await until(page, () => document.querySelector('#terminal .xterm-rows').textContent.includes('Nyomj egy karaktert'),
              timeout);
  const last = `${count}.  x= ${(count - 1).toFixed(4).padStart(8)}`;
  const copied = await given(page, '#copy');
  const lines = copied.split('\n');
  if (!/^\[A futás első sorai kimaradtak/.test(lines[0]) || !copied.includes(last) || !copied.endsWith(CLOSING + '\n'))
    throw new Failure(`the copied text starts ${JSON.stringify(lines[0])} and ends ${JSON.stringify(lines.slice(-4))}`);
  if (lines.length < 10000)
    throw new Failure(`the copy holds ${lines.length} lines: the scrollback is below 10 000`);
  await page.focus('#terminal textarea');
  await type(page, 'x\n');
  await ends(page, 0);
  const [high, peak, waits] = await page.$eval('#terminal', (t) => [t.dataset.highWater, t.dataset.unshownPeak, t.dataset.waits]
    .map(Number));
  // The program must have waited, or the figure says nothing.
  if (!(peak <= high) || !(waits > 0) || !(peak > high / 2))
    throw new Failure(`${peak} characters not yet shown at most, high-water mark ${high}, ${waits} waits`);
}

// Ctrl+C or the stop button ends a table of 2 147 483 647 rows within a second.
async function stopped(page, how) {
  await running(page);
  const from = Date.now();
  await how();
  await until(page, () => document.getElementById('status').dataset.stopped === 'true', 1000)
    .catch(() => { throw new Failure(`not stopped ${Date.now() - from} ms after ${how.name}`); });
  const said = await page.$eval('#status', (element) => element.textContent);
  if (!said.includes('A program leállítva.') || !said.includes('Újraindítás') || /kód|status \d/.test(said) ||
      await exitStatus(page) !== undefined)
    throw new Failure(`the status says: ${said}`);
  // What was on its way is shown, down to the ^C, then nothing more comes.
  await expect(page, '^C');
  const before = await screen(page);
  await new Promise((r) => setTimeout(r, QUIET));
  if (await screen(page) !== before)
    throw new Failure(`the table goes on after ${how.name}`);
}

function longTables(url) {
  return {
    'flow-control': (page) => flowControlled(page, url, LONG_TABLE, 60000),
    'stop': async (page) => {
      await page.goto(tableOf(url, 2147483647));
      await stopped(page, async function ctrlC() {
        await page.keyboard.down('Control');
        await page.keyboard.press('c');
        await page.keyboard.up('Control');
      });
      await page.click('#restart');
      await expect(page, 'kezdő érték = ');
      await type(page, '0\n2147483647\n1\n');
      await stopped(page, function button() { return page.click('#stop'); });
      // Focus moves to the restart button, which Enter presses.
      await page.keyboard.press('Enter');
      await expect(page, 'kezdő érték = ');
      // Another program ends the table and has the screen, without the chart.
      await page.goto(tableOf(url, 2147483646));
      await running(page);
      await page.click('button[data-program="triangle_test"]');
      const shown = await expect(page, 'a = ');
      if (shown !== 'a =' || !await page.$eval('#chart', (chart) => chart.hidden))
        throw new Failure(`triangle_test starts on:\n${shown}\nwith the chart ${await page.$eval('#chart', (c) => c.hidden ? 'hidden' : 'shown')}`);
    },
    // A write the terminal refuses ends the run with a word in the status.
    'refused-write': async (page) => {
      await page.goto(url + '#value_table');
      await expect(page, 'kezdő érték = ');
      await page.evaluate(() => {
        window.write = Terminal.prototype.write;
        Terminal.prototype.write = function (data, done) {
          if (data.includes('x='))
            throw new Error('refused');
          return window.write.call(this, data, done);
        };
      });
      await type(page, '0\n1\n0.25\n');
      await until(page, () => document.getElementById('status').dataset.failed === 'true');
      await page.evaluate(() => { Terminal.prototype.write = window.write; });
      const said = await page.$eval('#status', (element) => element.textContent);
      if (!said.includes('A futás hibával megszakadt (Error: refused)') || !said.includes('Újraindítás'))
        throw new Failure(`the status says: ${said}`);
    },
  };
}

// The chart holds the points the program wrote, each with its row number,
// x and y as written, chosen by keyboard or under the pointer.
async function chart(page, url) {
  await page.goto(url + '#value_table:0,1,0.25');
  await startsWithTable(page);
  await until(page, () => !document.getElementById('chart').hidden &&
                          document.getElementById('plot').getAttribute('aria-valuemax') === '4');
  const chosen = [];
  await page.focus('#plot');
  for (const key of ['Home', 'ArrowRight', 'ArrowRight', 'ArrowRight', 'ArrowRight']) {
    await page.keyboard.press(key);
    chosen.push(await page.$eval('#plot', (plot) => plot.getAttribute('aria-valuetext')));
  }
  const rows = TABLE.split('\n').filter((line) => /^\d\./.test(line))
    .map((row) => row.replace(/^(\d)\.  x=\s*(\S+)  y=\s*(\S+)$/, '$1. sor: x = $2, y = $3'));
  const expected = [...rows, rows[3]];
  if (chosen.join('\n') !== expected.join('\n'))
    throw new Failure(`the keyboard chooses:\n${chosen.join('\n')}\nexpected:\n${expected.join('\n')}`);
  // x runs from 0 to 0.75 across the plot: 0.5 is two thirds of the way.
  await page.$eval('#chart', (element) => element.scrollIntoView());
  const over = await page.$eval('#plot .u-over', (element) => JSON.parse(JSON.stringify(element.getBoundingClientRect())));
  await page.mouse.move(over.x + over.width * 2 / 3, over.y + over.height / 2);
  const pointed = await page.$eval('#point', (element) => element.textContent);
  if (!pointed.startsWith(rows[2]))
    throw new Failure(`under the pointer: ${pointed}, expected ${rows[2]}`);
}

// Every finite row is drawn inside the plot area, in the order of its x and
// of its y, as uPlot places it; the rows left out are counted and said; and
// the rows on the screen are the chart's rows, as written.
async function drawnTruly(page, url, lines, rows, left) {
  await page.goto(`${url}#value_table:${lines}`);
  await expect(page, CLOSING);
  await page.waitForFunction((rows) => document.getElementById('sampled').textContent.startsWith(`${rows} sor`),
                             { timeout: TIMEOUT, polling: 50 }, rows);
  const drawn = await page.evaluate(() => window.tableChart.drawn());
  const [leftOut, plotHidden] = await page.evaluate(() => [document.getElementById('left-out').textContent,
    document.getElementById('plot').hidden || !document.getElementById('cannot').hidden]);
  const { points, width, height } = drawn;
  if (drawn.rows !== rows || drawn.left !== left || points.length !== rows - left)
    throw new Failure(`the chart has ${drawn.rows} rows, ${points.length} points and ${drawn.left} left out; ` +
                      `expected ${rows} rows, ${left} of them left out`);
  if (left ? !leftOut.startsWith(`${left} sor kimaradt`) : leftOut)
    throw new Failure(`the chart says "${leftOut}" with ${left} rows left out`);
  if (plotHidden !== !points.length)
    throw new Failure(`the plot is ${plotHidden ? 'hidden' : 'shown'} with ${points.length} points`);
  for (const point of points)
    if (!(point.left >= 0 && point.left <= width && point.top >= 0 && point.top <= height))
      throw new Failure(`row ${point.number} (x=${point.x}, y=${point.y}) is drawn at ${point.left}, ${point.top}, ` +
                        `outside the plot area of ${width}×${height}`);
  // Where every row has the same x (or y), the axis stands around it: its
  // points in the middle, not at an edge.
  for (const [value, place, size] of [['x', (p) => p.left, width], ['y', (p) => p.top, height]])
    if (points.length && points.every((p) => Number(p[value]) === Number(points[0][value])) &&
        Math.abs(place(points[0]) - size / 2) > 1)
      throw new Failure(`every row has ${value}=${points[0][value]}, drawn at ${place(points[0])} of ${size}`);
  // A larger value is further right, or higher up; an equal one at the same place.
  const spread = {};
  for (const value of ['x', 'y'])
    spread[value] = Math.max(...points.map((p) => Number(p[value]) / 2)) - Math.min(...points.map((p) => Number(p[value]) / 2));
  for (const [value, place] of [['x', (p) => p.left], ['y', (p) => -p.top]]) {
    const sorted = points.slice().sort((a, b) => Number(a[value]) - Number(b[value]));
    for (let i = 1; i < sorted.length; i++) {
      const [a, b] = [sorted[i - 1], sorted[i]];
      // Values closer than a billionth of their spread may share a place.
      const near = Number(b[value]) / 2 - Number(a[value]) / 2 <= spread[value] * 1e-9;
      if (Number(a[value]) === Number(b[value]) ? place(a) !== place(b) : near ? place(a) > place(b) : !(place(a) < place(b)))
        throw new Failure(`rows ${a.number} and ${b.number} (${value}=${a[value]}, ${b[value]}) are drawn ` +
                          `at ${place(a)} and ${place(b)}`);
    }
  }
  const shown = (await screen(page)).split('\n').map((line) => /^(\d+)\.  x=\s*(\S+)  y=\s*(\S+)$/.exec(line))
    .filter(Boolean);
  for (const [, number, x, y] of shown) {
    const point = points.find((p) => p.number === Number(number));
    if (Number.isFinite(Number(x)) && Number.isFinite(Number(y)) ? !point || point.x !== x || point.y !== y : point)
      throw new Failure(`row ${number} shows x=${x}, y=${y}; the chart has ${JSON.stringify(point)}`);
  }
}

// A chart that cannot load or draw leaves the run and the whole table, and
// says so in its place.
async function chartFails(page, url, breakIt) {
  await page.goto(`${url}?${breakIt.name}`);
  await page.evaluate(breakIt);
  await page.goto(`${url}?${breakIt.name}#value_table:0,1,0.25`);
  await startsWithTable(page);
  await waits(page);
  await type(page, 'x\n');
  await ends(page, 0);
  await until(page, () => !document.getElementById('chart').hidden);
  const [cannot, failed] = await page.evaluate(() => [document.getElementById('cannot'), document.getElementById('chart')]
    .map((element) => element.hidden ? null : element.textContent.replace(/\s+/g, ' ').trim()));
  if (!cannot || !cannot.startsWith('Ez a böngésző nem tudja megrajzolni a grafikont.') || !cannot.includes('cannot draw'))
    throw new Failure(`the chart's place says: ${failed}`);
}

// uPlot's values are drawn for every table value_table prints: a zero-wide
// range (x written alike, 5.0000 or 0.0000), the double's largest values with
// an inf among them, every y inf, a turn, a falling step and a single row.
function charts(url) {
  return {
    'chart-tiny-step': (page) => drawnTruly(page, url, '5,5.0000000001,1e-11', 10, 0),
    'chart-tiny-values': (page) => drawnTruly(page, url, '0,1e-300,1e-301', 10, 0),
    'chart-huge-with-inf': (page) => drawnTruly(page, url, '-1e154,1e154,1e153', 20, 1),
    'chart-all-inf': (page) => drawnTruly(page, url, '1e200,2e200,1e199', 10, 10),
    'chart-parabola': (page) => drawnTruly(page, url, '-3,1.5,0.01', 450, 0),
    'chart-falling': (page) => drawnTruly(page, url, '2,-2,-0.05', 80, 0),
    'chart-one-row': (page) => drawnTruly(page, url, '7,8,1', 1, 0),
    'chart-missing': (page) => chartFails(page, url, function missing() { window.uPlot = undefined; }),
    'chart-throws': (page) => chartFails(page, url, function throws() {
      CanvasRenderingContext2D.prototype.stroke = () => { throw new Error('no stroke'); };
    }),
  };
}

// On a phone the chart fits the screen, below the terminal.
async function chartOnPhone(page, url) {
  await page.setViewport(PHONE);
  await page.goto(url + '#value_table:-1,1,0.25');
  await expect(page, CLOSING);
  await until(page, () => document.getElementById('plot').getAttribute('aria-valuemax') === '8');
  await page.$eval('#chart', (element) => element.scrollIntoView());
  const [wide, right] = await page.evaluate(() => [document.documentElement.scrollWidth,
    document.getElementById('chart').getBoundingClientRect().right]);
  if (wide > 390 || right > 390)
    throw new Failure(`at a 390 pixel viewport the page is ${wide} pixels wide, the chart ends at ${right}`);
}

// The soak: a table of 1 200 000 rows, some 50 MB, runs to its end.
async function soakTable(page, url) {
  const from = Date.now();
  await flowControlled(page, url, 1200000, 600000);
  const seconds = (Date.now() - from) / 1000;
  console.log(`soak: 1200000 rows in ${seconds.toFixed(1)} s, ${Math.round(1200000 / seconds)} rows a second`);
}

async function main() {
  const { server, url } = await serve(pageDir);
  const browser = await (engine === 'webkit' ? webkitEngine() : puppeteerEngine());
  let failed = 0;
  try {
    const served = await browser.open(url, (address) => address.startsWith(url), false);
    // The page mends navigator.language where Intl refuses it; languages is the browser's own.
    const spoken = await served.page.evaluate(() => navigator.languages[0]);
    console.log(`${engine}: the browser's language is ${spoken}`);
    if (language && spoken !== language)
      throw new Error(`the browser's language is ${spoken}, not ${language}: is the locale generated?`);
    if (soak)
      return await play(served.page, served.problems, { 'soak': () => soakTable(served.page, url) }) ? 1 : 0;
    failed += await play(served.page, served.problems, {
      'accessible-before': () => accessible(served.page),
      ...SCENARIOS,
      'accessible-after': () => accessible(served.page),
      'served-policy': () => policed(served.page, served.problems),
    });
    if (mode !== '--brief') {
      failed += await play(served.page, served.problems, {
        'link-without-clipboard': () => linkWithoutClipboard(served.page, url),
        ...sharing(url, browser.downloads),
        'keyboard': async (page) => {
          // Opened afresh, not only changed, the address starts its run too.
          // The reload waits for the first run's table: one cut short while
          // its program loads makes the runtime say so on the console.
          await page.goto(url + '#value_table:0,1,0.25');
          await startsWithTable(page);
          await page.reload();
          await startsWithTable(page);
          await keyboard(page);
        },
        ...longTables(url),
        'chart': async (page) => {
          // A projector's width, where the chart stands beside the terminal.
          await page.setViewport({ width: 1280, height: 800 });
          await chart(page, url);
        },
        'accessible-chart': async (page) => {
          if (await page.$eval('#chart', (element) => element.hidden))
            throw new Failure('the chart is not on the page');
          await accessible(page);
        },
        ...charts(url),
        'phone': async (page) => {
          await page.setViewport({ width: 1000, height: 800 });
          await page.reload();
          await phone(page);
        },
        'chart-phone': (page) => chartOnPhone(page, url),
      });
    }
    await served.page.close();

    // The single file, opened from disk with the network off, runs the
    // worked example with nothing but itself.
    const file = pathToFileURL(path.resolve(singleFile)).href;
    const single = await browser.open(file, (address) => address === file, true);
    failed += await play(single.page, single.problems, {
      'single-file': async (page) => {
        await SCENARIOS.value_table(page);
        await fetchedOnly(page, file);
      },
      'single-file-chart': () => chart(single.page, file),
      'single-file-policy': () => policed(single.page, single.problems),
    });
    await single.page.close();

    // The single file served as it is, by any static web server.
    const folder = await serve(path.dirname(path.resolve(singleFile)));
    const servedFile = folder.url + encodeURIComponent(path.basename(singleFile));
    const singleServed = await browser.open(servedFile, (address) => address.startsWith(servedFile), false);
    failed += await play(singleServed.page, singleServed.problems, {
      'single-file-served': SCENARIOS.triangle_test,
    });
    folder.server.kill();
  } finally {
    console.log(`${engine}: ${processorTime().toFixed(1)} s of processor time, the driver's and the browser's`);
    await browser.close();
    server.kill();
  }
  return failed ? 1 : 0;
}

// The processor time of this process and all it started, as Linux counts it:
// a browser's processes are not all waited for, so a parent's count misses
// them (time(1) gives a third of Chromium's).
function processorTime() {
  const parents = new Map();
  const ticks = new Map();
  for (const pid of fs.readdirSync('/proc').filter((name) => /^\d+$/.test(name))) {
    try {
      const fields = fs.readFileSync(`/proc/${pid}/stat`, 'utf8').replace(/^.*\) /s, '').split(' ');
      parents.set(pid, fields[1]);
      // utime, stime and the same of its children that it waited for.
      ticks.set(pid, fields.slice(11, 15).reduce((sum, field) => sum + Number(field), 0));
    } catch (error) {
      // It ended while being read.
    }
  }
  const ours = (pid) => pid === String(process.pid) || (parents.has(pid) && pid !== '1' && ours(parents.get(pid)));
  let sum = 0;
  for (const [pid, count] of ticks)
    if (ours(pid))
      sum += count;
  return sum / 100;
}

// What the page fetched, as its resource timing lists it, is only itself:
// the one check of requests that every engine's driver can make.
async function fetchedOnly(page, file) {
  const fetched = await page.evaluate(() => performance.getEntriesByType('resource').map((entry) => entry.name));
  const outside = fetched.filter((address) => !address.startsWith('data:') && address !== file);
  if (outside.length)
    throw new Failure(`the single file fetched ${outside.join(', ')}`);
}

main().then((status) => process.exit(status), (error) => {
  console.log(error.stack);
  process.exit(1);
});
