#!/usr/bin/env python3
"""A change on a simulated "Large VFD" to the browser page's repaint: a key pressed on the
simulated remote, and the page in headless Chromium drawing the new picture (the page stamps
each draw with the browser's clock, the same clock as this script's). Prints the median, the
90th percentile and the slowest of 40 changes.

Runs inside a private network namespace with the programs of $VELK_BIN_DIR:
  VELK_BIN_DIR=build/bin tools/sim/upnp_namespace_test.sh bench/display_page_bench.py
Exit 77: no Chromium."""

import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "integration"))
from display_page_nstest import (PAGE_PIXELS, PLAYER, chromium_binary,  # noqa: E402
                                 shown_page, wait_for)

CHANGES = 40

# Each draw sets body's data-shown: note when.
STAMP_DRAWS = """(() => {
  window.drawnAt = 0;
  new MutationObserver(() => { window.drawnAt = Date.now(); })
    .observe(document.body, { attributes: true, attributeFilter: ["data-shown"] });
  return true;
})()"""


def main():
    if not chromium_binary():
        print("SKIPPED: Chromium is not installed (apt-get install chromium)")
        return 77
    with shown_page() as (sim, browser, _):
        browser.evaluate(STAMP_DRAWS)
        times = []
        for turn in range(CHANGES):
            start = time.time() * 1000
            sim.request("key %s %s" % (PLAYER, "CK_VOLUME_UP" if turn % 2 == 0
                                       else "CK_VOLUME_DOWN"))
            drawn = wait_for("the page to draw the change",
                             lambda: (lambda at: at if at and at >= start else None)(
                                 browser.evaluate("window.drawnAt")))
            times.append(drawn - start)
            # The next change starts from a page that shows the display as it is.
            wait_for("the page to settle", lambda: browser.evaluate(PAGE_PIXELS) == sim.frame())
        times.sort()
        print("change to browser page repaint over %d changes: median %.1f ms, 90%% %.1f ms, "
              "slowest %.1f ms" % (CHANGES, statistics.median(times),
                                   times[int(len(times) * 0.9) - 1], times[-1]))
        return 0


if __name__ == "__main__":
    sys.exit(main())
