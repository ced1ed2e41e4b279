"""Resident memory of one call through the flat interface (the Python
package) whose answer holds many small rows: the growth of the process's
resident peak across the call (VmHWM, reset just before it) over the
answer's XML, with the answer held. vorant-server answers from a file; a
small echo first leaves the one-time costs (the reader, the engine) out, so
that the call measured is the process's first large answer.

usage: /usr/bin/python3 bench/answer_rss.py [--build build] [--rows 200000]
"""

from __future__ import annotations

import argparse
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]


def kilobytes(field: str) -> int:
    for line in Path("/proc/self/status").read_text().splitlines():
        if line.startswith(field + ":"):
            return int(line.split()[1])
    raise RuntimeError(field)


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--rows", type=int, default=200000)
    args = parser.parse_args()
    build = (ROOT / args.build).resolve()
    os.environ.setdefault("VORANT_LIBRARY", str(build / "lib" / "libvorant.so.1"))
    sys.path.insert(0, str(ROOT / "python"))
    import vorant

    with tempfile.TemporaryDirectory() as tmp:
        work = Path(tmp)
        xml = ('<?xml version="1.0" encoding="ISO-8859-1" ?><msg no="1001" ver=""><t2>7</t2>' +
               "".join(f"<t6><t2>{i % 10}</t2></t6>" for i in range(args.rows)) + "</msg>")
        (work / "answer.xml").write_text(xml)
        (work / "rules").write_text(f"100 answer {work / 'answer.xml'}\n200 echo\n")
        out = work / "server.out"
        with open(out, "w") as sink:
            server = subprocess.Popen([str(build / "bin" / "vorant-server"), "-d", str(ROOT / "examples/msg_dic.exml"),
                                       "-r", str(work / "rules"), "-p", "0", "-q"], stdout=sink,
                                      stderr=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + 20
            while "\n" not in out.read_text():
                if time.monotonic() > deadline or server.poll() is not None:
                    print("vorant-server did not start", file=sys.stderr)
                    return 1
                time.sleep(0.05)
            port = int(out.read_text().split()[0])
            config = work / "vorant.conf"
            config.write_text(f"msg_dic = {ROOT / 'examples/msg_dic.exml'}\nkey_file = {ROOT / 'examples/user.key'}\n"
                              f"server = 127.0.0.1 {port}\ntimeout = 60\n")
            vorant.initialize(str(config))
            request = vorant.Message("AccountRequest")
            request["qty"] = 1
            vorant.call(200, request)  # the first call's one-time costs stay out
            Path("/proc/self/clear_refs").write_text("5")
            before = kilobytes("VmHWM")
            answer = vorant.call(100, request, timeout=60)
            growth = (kilobytes("VmHWM") - before) * 1024
            held = len(answer["lines"])
        finally:
            server.terminate()
            server.wait()
    print(f"rows {held}, answer XML {len(xml) / 1e6:.2f} MB, resident peak growth {growth / 1e6:.1f} MB: "
          f"{growth / len(xml):.2f} times the XML")
    return 0


if __name__ == "__main__":
    sys.exit(main())
