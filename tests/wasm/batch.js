/*
 * batch - runs a program built to WebAssembly on many inputs in one Node
 * process, each run a fresh instance of its module with its standard input
 * and output served as the page serves them (web/wasm_stdio.js).  A Node
 * start costs 0.15 s of processor time on a slow machine, a run of the
 * model's a hundredth of that.
 *
 * usage: node batch.js PROGRAM [LIMIT]   (PROGRAM.js and PROGRAM.wasm, as built)
 *
 * A run that writes more than LIMIT bytes to its standard output is stopped
 * there, as a page stops one (it is never resumed), and answered with exit
 * status -2 and what it wrote so far.
 *
 * Each request on standard input is a run's standard input: its length as a
 * 4-byte big-endian number, then its bytes.  Each answer on standard output
 * is the exit status (-1 if the program aborted, -2 if it was stopped) as a
 * signed 4-byte number, the lengths of the standard output and standard
 * error as 4-byte numbers, then their bytes, all big-endian.
 */
'use strict';

const fs = require('fs');
const path = require('path');

const program = path.resolve(process.argv[2]);
const factory = require(`${program}.js`);
const wasmBinary = fs.readFileSync(`${program}.wasm`);
const limit = Number(process.argv[3] || Infinity);

// Each instance adds handlers of these to the process under Node, which
// would keep every finished instance and its memory: they go with its run.
const HANDLED = ['uncaughtException', 'unhandledRejection'];

function run(input) {
  const before = HANDLED.map((event) => process.listeners(event));
  return new Promise((resolve) => {
    const written = { 1: [], 2: [] };
    let size = 0;
    const answer = (status) => {
      HANDLED.forEach((event, i) => process.listeners(event)
        .filter((handler) => !before[i].includes(handler))
        .forEach((handler) => process.removeListener(event, handler)));
      resolve([status, Buffer.concat(written[1]), Buffer.concat(written[2])]);
    };
    let given = false;
    factory({
      wasmBinary,
      readInput: (deliver) => {
        const bytes = given ? new Uint8Array(0) : input;
        given = true;
        deliver(bytes);
      },
      writeOutput: (fd, bytes) => {
        written[fd].push(Buffer.from(bytes));
        if (fd === 1 && (size += bytes.length) > limit) {
          answer(-2);
          return true;
        }
        return false;
      },
      // The runtime ends a program by throwing its status; under Node it
      // would end the process too.
      quit: (status, thrown) => {
        throw thrown;
      },
      onExit: answer,
      onAbort: (what) => {
        written[2].push(Buffer.from(`aborted: ${what}\n`));
        answer(-1);
      },
    });
  });
}

async function main() {
  let pending = Buffer.alloc(0);
  for await (const chunk of process.stdin) {
    pending = Buffer.concat([pending, chunk]);
    while (pending.length >= 4 && pending.length >= 4 + pending.readUInt32BE(0)) {
      const input = new Uint8Array(pending.subarray(4, 4 + pending.readUInt32BE(0)));
      pending = pending.subarray(4 + input.length);
      const [status, out, err] = await run(input);
      const head = Buffer.alloc(12);
      head.writeInt32BE(status, 0);
      head.writeUInt32BE(out.length, 4);
      head.writeUInt32BE(err.length, 8);
      fs.writeSync(1, Buffer.concat([head, out, err]));
    }
  }
}

main();
