"""The driver's side of tests/wasm/batch.js: a program's runs, one after
another, through one process of a batch command.  The model and the fuzzer
run the WebAssembly build's programs so, where a Node start a run would cost
more than the run."""
import os
import select
import struct
import subprocess


class Batch:
    def __init__(self, command, timeout):
        self.timeout = timeout
        self.proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE)

    def read(self, n):
        got = b""
        while len(got) < n:
            if not select.select([self.proc.stdout], [], [], self.timeout)[0]:
                raise RuntimeError("no answer from %s within %g s" % (self.proc.args, self.timeout))
            chunk = os.read(self.proc.stdout.fileno(), n - len(got))
            if not chunk:
                raise RuntimeError("%s ended" % self.proc.args)
            got += chunk
        return got

    def run(self, data):
        """The run's exit status (-1: aborted, -2: stopped, see batch.js), output and errors."""
        self.proc.stdin.write(struct.pack(">I", len(data)) + data)
        self.proc.stdin.flush()
        status, out, err = struct.unpack(">iII", self.read(12))
        return subprocess.CompletedProcess(self.proc.args, status, self.read(out), self.read(err))

    def close(self):
        self.proc.stdin.close()
        try:
            self.proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            # A run that never answered still holds it.
            self.proc.kill()
            self.proc.wait()
