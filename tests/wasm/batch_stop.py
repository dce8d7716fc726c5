"""batch_stop - tests/wasm/batch.js stops a run whose output passes its limit
and answers with status -2 and the output so far, then runs the next input
as if nothing had happened; a run that stays within the limit is whole.

usage: batch_stop.py BATCH_JS PROGRAM INPUT
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
from wasm.batch import Batch  # noqa: E402

batch_js, program, given = sys.argv[1:4]
data = open(given, "rb").read()
whole = Batch(["node", batch_js, program], 20)
full = whole.run(data)
whole.close()
if full.returncode != 0 or full.stderr or not full.stdout:
    sys.exit("a run without a limit: status %d, %r" % (full.returncode, full.stderr))
failed = False
for limit, status in ((len(full.stdout), 0), (len(full.stdout) // 2, -2)):
    batch = Batch(["node", batch_js, program, str(limit)], 20)
    for turn in ("first", "second"):
        run = batch.run(data)
        cut = full.stdout[:len(run.stdout)]
        if run.returncode != status or run.stdout != (full.stdout if status == 0 else cut) \
                or status and len(run.stdout) <= limit:
            print("limit %d, %s run: status %d (expected %d), %d bytes of %d"
                  % (limit, turn, run.returncode, status, len(run.stdout), len(full.stdout)))
            failed = True
    batch.close()
sys.exit(1 if failed else 0)
