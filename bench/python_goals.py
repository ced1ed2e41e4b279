"""The Python package at scale, measured against vorant-server on loopback:

  1. 2000 concurrent `await vorant.aio.call(...)` to a service that answers
     after 1 s, from one thread: when the last answer arrives.
  2. Echo calls per second: vorant.aio with 64 calls in flight against a
     plain vorant.call loop, both on one thread, in the same run (ratio).
  3. One Locust worker process (under a master) with 500 users calling the
     1 s service back to back: calls per second and failures, and the same
     with the blocking vorant.call.
  4. A master with two worker processes and 1000 users against one worker
     with 500: the ratio of their calls per second.
  5. 10 000 asyncio calls cancelled at random points: descriptors and
     native messages before and after.

usage: /usr/bin/python3 bench/python_goals.py [--build build] [--only aio|locust]

Locust rates are steady-state: the calls that ended in the whole seconds
from 3 s after the start to 2 s before the end, counted by the workers
themselves (bench/locust_slow.py). Each goal prints PASS or FAIL; the exit
status is 1 when any failed.
"""

from __future__ import annotations

import argparse
import asyncio
import gc
import json
import os
import random
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path
from typing import Dict, List, Tuple

ROOT = Path(__file__).resolve().parents[1]
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
RULES = "100 echo\n900 delay 1 echo\n"
failed: List[str] = []


def verdict(goal: str, ok: bool, text: str) -> None:
    print(f"goal {goal}: {'PASS' if ok else 'FAIL'}  {text}", flush=True)
    if not ok:
        failed.append(goal)


class Server:
    def __init__(self, build: Path, work: Path) -> None:
        (work / "rules").write_text(RULES)
        self.out = work / "server.out"
        with open(self.out, "w") as out:
            self.proc = subprocess.Popen([str(build / "bin" / "vorant-server"), "-d", str(ROOT / "examples/msg_dic.exml"),
                                          "-r", str(work / "rules"), "-p", "0", "-q"], stdout=out,
                                         stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while "\n" not in self.out.read_text():
            if self.proc.poll() is not None or time.monotonic() > deadline:
                raise SystemExit("vorant-server did not start")
            time.sleep(0.05)
        self.port = int(self.out.read_text().split()[0])
        self.config = work / "vorant.conf"
        self.config.write_text(f"msg_dic = {ROOT / 'examples/msg_dic.exml'}\nkey_file = {ROOT / 'examples/user.key'}\n"
                               f"server = 127.0.0.1 {self.port}\ntimeout = 60\n")

    def stop(self) -> None:
        self.proc.terminate()
        self.proc.wait(10)


def open_fds() -> int:
    return len(os.listdir("/proc/self/fd"))


# ---- asyncio


def aio_goals() -> None:
    import vorant

    request = vorant.Message.from_dict("AccountRequest", {"acct": "A-17", "qty": 5})

    async def concurrent(count: int) -> Tuple[int, float]:
        loop = asyncio.get_running_loop()
        (await vorant.aio.call(100, request)).close()  # the loop's engine made
        start = loop.time()
        last = 0.0

        async def one() -> None:
            nonlocal last
            (await vorant.aio.call(900, request)).close()
            last = max(last, loop.time() - start)

        results = await asyncio.gather(*(one() for _ in range(count)), return_exceptions=True)
        return sum(r is None for r in results), last

    answered, last = asyncio.run(concurrent(2000))
    verdict("1", answered == 2000 and last <= 1.5,
            f"2000 concurrent aio calls to the 1 s service: {answered} answered, the last after {last:.3f} s "
            "(goal: all within 1.5 s)")

    def blocking_rate(seconds: float) -> float:
        count, start = 0, time.perf_counter()
        while time.perf_counter() - start < seconds:
            vorant.call(100, request).close()
            count += 1
        return count / (time.perf_counter() - start)

    async def aio_rate(seconds: float, in_flight: int) -> float:
        count, start = 0, time.perf_counter()

        async def worker() -> None:
            nonlocal count
            while time.perf_counter() - start < seconds:
                (await vorant.aio.call(100, request)).close()
                count += 1

        await asyncio.gather(*(worker() for _ in range(in_flight)))
        return count / (time.perf_counter() - start)

    def engine_rate(seconds: float, in_flight: int) -> float:
        # The library's engine alone, polled from Python: what any driver of it can reach.
        from vorant import _engine

        engine, count, start = _engine.Engine(), 0, time.perf_counter()

        def again(outcome: _engine.Outcome) -> None:
            nonlocal count
            outcome[1].close()
            count += 1
            if time.perf_counter() - start < seconds:
                engine.start(100, request, None, again)

        for _ in range(in_flight):
            engine.start(100, request, None, again)
        while engine.poll(100) > 0:
            pass
        engine.close()
        return count / (time.perf_counter() - start)

    rounds: Dict[str, List[float]] = {"blocking": [], "aio": [], "engine": []}
    for _ in range(3):  # interleaved, so that all see the same machine
        rounds["blocking"].append(blocking_rate(2))
        rounds["aio"].append(asyncio.run(aio_rate(2, 64)))
        rounds["engine"].append(engine_rate(2, 64))
    b, a, e = (sorted(rounds[k])[1] for k in ("blocking", "aio", "engine"))
    verdict("2", a >= 3 * b, f"echo, medians of 3 rounds: vorant.aio with 64 in flight {a:.0f} calls/s, vorant.call "
            f"loop {b:.0f} calls/s: ratio {a / b:.2f} (goal: at least 3); the engine polled, 64 in flight: "
            f"{e:.0f} calls/s ({e / b:.2f} times the loop)")

    async def cancelled(total: int, wave: int) -> None:
        rng = random.Random(20)

        async def one() -> None:
            task = asyncio.create_task(vorant.aio.call(rng.choice((100, 900)), request))
            await asyncio.sleep(rng.random() * 0.004)
            task.cancel()
            try:
                (await task).close()  # answered before the cancel came
            except asyncio.CancelledError:
                pass

        for _ in range(total // wave):
            await asyncio.gather(*(one() for _ in range(wave)))

    gc.collect()
    before = open_fds(), vorant._native.native_messages()
    asyncio.run(cancelled(10000, 1000))
    gc.collect()
    after = open_fds(), vorant._native.native_messages()
    verdict("5", before == after, f"10 000 aio calls cancelled at random points: descriptors {before[0]} -> "
            f"{after[0]}, native messages {before[1]} -> {after[1]}")


# ---- Locust


def free_port() -> int:
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def locust_run(server: Server, work: Path, user_class: str, workers: int, users: int, seconds: int) -> Dict[str, float]:
    """A master and `workers` worker processes; the steady rate of calls
    that ended (and failed) per second, summed over the workers."""
    counts = Path(tempfile.mkdtemp(dir=work))
    env = dict(os.environ, VORANT_CONFIG=str(server.config), VORANT_BENCH_COUNTS=str(counts),
               PYTHONPATH=os.pathsep.join([str(ROOT / "python"), os.environ.get("PYTHONPATH", "")]))
    port = free_port()
    locust = [PYTHON, "-m", "locust", "-f", str(ROOT / "bench/locust_slow.py")]
    procs = [subprocess.Popen(locust + ["--worker", "--master-host", "127.0.0.1", "--master-port", str(port),
                                        user_class], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL) for _ in range(workers)]
    master = subprocess.Popen(locust + ["--headless", "--master", "--master-bind-host", "127.0.0.1",
                                        "--master-bind-port", str(port), "--expect-workers", str(workers), "-u",
                                        str(users), "-r", str(users), "-t", f"{seconds}s", "--only-summary",
                                        "--csv", str(counts / "run"), user_class],
                              env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        master.wait(seconds + 60)
        for p in procs:
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                pass  # blocked users stop one call at a time: killed below
    finally:
        for p in procs + [master]:
            if p.poll() is None:
                p.kill()
                p.wait()
    ended: Dict[int, int] = {}
    failures = 0
    for path in counts.glob("counts-*.json"):
        data = json.loads(path.read_text())
        for second, n in data["ended"].items():
            ended[int(second)] = ended.get(int(second), 0) + n
        failures += sum(data["failed"].values())
    if not ended:
        return {"rate": 0.0, "failures": failures}
    # The counts of the last second or two may be missing: a file is
    # written when a call ends in a new second.
    first, last = min(ended), max(ended)
    window = range(first + 3, last - 1)
    rate = sum(ended.get(s, 0) for s in window) / max(len(window), 1)
    return {"rate": rate, "failures": failures}


def locust_goals(server: Server, work: Path) -> None:
    one = locust_run(server, work, "SlowServiceUser", 1, 500, 20)
    blocking = locust_run(server, work, "BlockingSlowUser", 1, 500, 10)
    verdict("3", one["rate"] >= 450 and one["failures"] == 0,
            f"one worker, 500 users, 1 s service: {one['rate']:.0f} calls/s, {one['failures']} failures "
            f"(goal: at least 450, none); with the blocking vorant.call: {blocking['rate']:.1f} calls/s")
    two = locust_run(server, work, "SlowServiceUser", 2, 1000, 20)
    ratio = two["rate"] / one["rate"] if one["rate"] else 0.0
    verdict("4", ratio >= 1.8 and two["failures"] == 0,
            f"master and two workers, 1000 users: {two['rate']:.0f} calls/s, {two['failures']} failures, "
            f"{ratio:.2f} times one worker (goal: at least 1.8)")


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=str(ROOT / "build"), help="the build folder (default build/)")
    parser.add_argument("--only", choices=("aio", "locust"), help="only these goals")
    args = parser.parse_args()
    build = Path(args.build).resolve()
    os.environ.setdefault("VORANT_LIBRARY", str(build / "lib" / "libvorant.so.1"))
    sys.path.insert(0, str(ROOT / "python"))
    with tempfile.TemporaryDirectory() as folder:
        work = Path(folder)
        server = Server(build, work)
        try:
            if args.only != "locust":
                import vorant

                vorant.initialize(str(server.config))
                aio_goals()
            if args.only != "aio":
                locust_goals(server, work)
        finally:
            server.stop()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
