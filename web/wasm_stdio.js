/* wasm_stdio - standard input and output of the programs built to WebAssembly */

/*
 * Emscripten's own console decodes what a program writes as UTF-8 and holds
 * it back until a line end, and it cannot wait for a line typed into a page.
 * The programs write Windows-1250 bytes and prompts without a line end, so
 * their descriptors 0, 1 and 2 are served here instead, byte for byte.
 *
 * Whoever runs a program may pass, on the module object:
 *   writeOutput(fd, bytes, resume)
 *                            takes what the program writes (a Uint8Array of its
 *                            own); returns true if the program is to wait until
 *                            resume() is called, as a console's program waits
 *                            while the screen is behind;
 *   readInput(deliver)       calls deliver(bytes) with the next input, at once or
 *                            later, and deliver(empty array) at the end of input.
 * Without them (under Node) the process's own descriptors are read and written.
 * A read or a write that has to wait suspends the program with Asyncify, so a
 * page stays responsive while a program waits.  A program that is never
 * resumed has ended there: that is how a page stops one.
 */
mergeInto(LibraryManager.library, {
  $WasmStdio__deps: ['$ERRNO_CODES', '$Asyncify'],
  $WasmStdio: {
    // Input taken from readInput that the program has not read yet.
    pending: null,

    // Node: the error code of a failed call, as the C library numbers it.
    errno: function(e) {
      return ERRNO_CODES[e.code] || ERRNO_CODES.EIO;
    },

    // Node: a descriptor left non-blocking by whoever shares it is retried.
    pause: function() {
      Atomics.wait(new Int32Array(new SharedArrayBuffer(4)), 0, 0, 5);
    },

    nodeWrite: function(fd, bytes) {
      var fs = require('fs');
      var done = 0;
      while (done < bytes.length) {
        try {
          done += fs.writeSync(fd, bytes, done, bytes.length - done);
        } catch (e) {
          if (e.code !== 'EAGAIN')
            return WasmStdio.errno(e);
          WasmStdio.pause();
        }
      }
      return 0;
    },

    // Suspends the program until startAsync's wakeUp is called; returns what
    // wakeUp was given.
    suspend: function(startAsync) {
      var result = Asyncify.handleSleep(startAsync);
      /*
       * Once the program has waited, its main no longer returns to the
       * runtime, which took the wait for the end: main's real end, after the
       * last wait, is made the exit here, so that output is flushed and
       * onExit called.
       */
      if (Asyncify.state === Asyncify.State.Unwinding && !Asyncify.asyncPromiseHandlers) {
        Asyncify.whenDone().then(function(status) {
          try {
            exit(status);
          } catch (e) {
            // The runtime ends a program by throwing its exit status.
            if (!(e instanceof ExitStatus))
              throw e;
          }
        });
      }
      return result;
    },

    nodeRead: function(deliver) {
      var fs = require('fs');
      var buffer = new Uint8Array(4096);
      for (;;) {
        try {
          var n = fs.readSync(0, buffer, 0, buffer.length, null);
          return deliver(buffer.subarray(0, n));
        } catch (e) {
          // Windows reports the end of a pipe as an error.
          if (e.code === 'EOF')
            return deliver(new Uint8Array(0));
          if (e.code !== 'EAGAIN')
            return deliver(new Uint8Array(0), WasmStdio.errno(e));
          WasmStdio.pause();
        }
      }
    },
  },

  fd_write__deps: ['$WasmStdio'],
  // Every write goes out as it is made: there is nothing left to flush at exit.
  fd_write__postset: '',
  fd_write__sig: 'iiiii',
  fd_write: function(fd, iov, iovcnt, pnum) {
    // Run again, from here, when the program resumes after a wait; the
    // memory is the same then, so the bytes are too.
    var total = 0;
    for (var i = 0; i < iovcnt; i++)
      total += HEAPU32[(iov + 8 * i + 4) >> 2];
    HEAPU32[pnum >> 2] = 0;
    if (fd !== 1 && fd !== 2)
      return ERRNO_CODES.EBADF;
    var bytes = new Uint8Array(total);
    var at = 0;
    for (var i = 0; i < iovcnt; i++) {
      var base = HEAPU32[(iov + 8 * i) >> 2];
      var len = HEAPU32[(iov + 8 * i + 4) >> 2];
      bytes.set(HEAPU8.subarray(base, base + len), at);
      at += len;
    }
    var error = 0;
    if (Module['writeOutput']) {
      WasmStdio.suspend(function(wakeUp) {
        if (!Module['writeOutput'](fd, bytes, function() { wakeUp(0); }))
          wakeUp(0);
      });
    } else {
      error = WasmStdio.nodeWrite(fd, bytes);
    }
    HEAPU32[pnum >> 2] = error ? 0 : total;
    return error;
  },

  fd_read__deps: ['$WasmStdio'],
  fd_read__sig: 'iiiii',
  fd_read: function(fd, iov, iovcnt, pnum) {
    return WasmStdio.suspend(function(wakeUp) {
      // Fills the program's buffers from pending input; the memory is the
      // same after a wait, so this may run then as well.
      function deliver(bytes, error) {
        if (bytes)
          WasmStdio.pending = bytes;
        var pending = WasmStdio.pending;
        var taken = 0;
        for (var i = 0; i < iovcnt && taken < pending.length; i++) {
          var base = HEAPU32[(iov + 8 * i) >> 2];
          var len = Math.min(HEAPU32[(iov + 8 * i + 4) >> 2], pending.length - taken);
          HEAPU8.set(pending.subarray(taken, taken + len), base);
          taken += len;
        }
        WasmStdio.pending = pending.subarray(taken);
        HEAPU32[pnum >> 2] = taken;
        wakeUp(error || 0);
      }
      if (fd !== 0)
        return wakeUp(ERRNO_CODES.EBADF);
      if (WasmStdio.pending && WasmStdio.pending.length)
        return deliver(null);
      if (Module['readInput'])
        Module['readInput'](deliver);
      else
        WasmStdio.nodeRead(deliver);
    });
  },

  // The C library moves a stream back over input it read ahead but left
  // unused; standard input here is a stream that cannot be moved.
  fd_seek: function(fd, {{{ defineI64Param('offset') }}}, whence, newOffset) {
    return ERRNO_CODES.ESPIPE;
  },
});
