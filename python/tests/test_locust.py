"""Locust users on the engine: a local runner in one process, and a master
with one worker process. Locust patches the standard library with gevent
when it is imported, so every run has its own interpreter."""

import csv
import importlib.util
import json
import socket
import subprocess
import sys

import pytest
from conftest import ROOT, python_env, run_python

# Found, not imported: importing it would patch this process.
if importlib.util.find_spec("locust") is None:
    pytest.skip("no Locust", allow_module_level=True)

LOCUSTFILE = """
import os
from locust import constant, task
import vorant
from vorant.locust import VorantUser


class Caller(VorantUser):
    config = os.environ["VORANT_TEST_CONFIG"]
    wait_time = constant(0.02)

    @task(3)
    def echo(self):
        with vorant.Message.from_dict("Order", {"acct": "L", "qty": 1}) as request:
            answer = self.client.call(100, request, name="echo")
            assert answer.acct == "L"
            answer.close()

    @task(1)
    def rejected(self):
        with vorant.Message.from_dict("Order", {"acct": "L"}) as request:
            assert self.client.call(300, request) is None
"""

LOCAL_RUN = """
import json, sys
import gevent
from locust.env import Environment
import vorant
sys.path.insert(0, sys.argv[1])
from locustfile import Caller

vorant.initialize(Caller.config)
packets = []
vorant.set_trace_hook(lambda t: packets.append(len(t.answer_packet)))
with vorant.Message.from_dict("Order", {"acct": "L", "qty": 1}) as request:
    vorant.call(100, request).close()
vorant.set_trace_hook(None)
events = []
env = Environment(user_classes=[Caller])
env.events.request.add_listener(lambda **e: events.append(
    (e["request_type"], e["name"], e["response_length"], repr(e["exception"]), e["response_time"] > 0)))
runner = env.create_local_runner()
runner.start(20, spawn_rate=200)
gevent.sleep(2)
runner.quit()
total = env.stats.total
print(json.dumps({"requests": total.num_requests, "failures": total.num_failures, "echo_packet": packets[0],
                  "events": sorted(set(events)), "user_errors": len(env.runner.exceptions)}))
"""


@pytest.fixture(scope="module")
def locust_dir(tmp_path_factory, config):
    folder = tmp_path_factory.mktemp("locust")
    (folder / "locustfile.py").write_text(LOCUSTFILE)
    return folder


def test_a_local_runner_reports_each_call(locust_dir, config, monkeypatch):
    monkeypatch.setenv("VORANT_TEST_CONFIG", str(config))
    r = run_python("-c", LOCAL_RUN, str(locust_dir))
    assert r.returncode == 0, r.stderr
    out = json.loads(r.stdout)
    assert out["requests"] > 200 and out["user_errors"] == 0
    rejected = "Rejected(501, 'denied', 300)"
    # Every echo answer has the same size on the wire; every REJECT is a failure.
    assert out["events"] == [["vorant", "300", out["events"][0][2], rejected, True],
                             ["vorant", "echo", out["echo_packet"], "None", True]]
    assert out["events"][0][2] > 128
    assert 0.1 < out["failures"] / out["requests"] < 0.45


def test_a_master_and_one_worker(locust_dir, config, monkeypatch, tmp_path):
    monkeypatch.setenv("VORANT_TEST_CONFIG", str(config))
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    locust = [sys.executable, "-m", "locust", "-f", str(locust_dir / "locustfile.py")]
    master = subprocess.Popen(locust + ["--headless", "--master", "--master-bind-host", "127.0.0.1",
                                        "--master-bind-port", str(port), "--expect-workers", "1", "-u", "10",
                                        "-r", "100", "-t", "3s", "--csv", str(tmp_path / "run"), "--only-summary"],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, cwd=str(ROOT),
                              env=python_env())
    worker = subprocess.Popen(locust + ["--worker", "--master-host", "127.0.0.1", "--master-port", str(port)],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=str(ROOT), env=python_env())
    try:
        out, _ = master.communicate(timeout=40)
        worker.wait(timeout=10)
    finally:
        for p in (master, worker):
            if p.poll() is None:
                p.kill()
                p.wait()
    with open(tmp_path / "run_stats.csv") as f:
        rows = {row["Name"]: row for row in csv.DictReader(f)}
    assert master.returncode == 1, out  # Locust's status when any request failed
    echo, rejected, total = rows["echo"], rows["300"], rows["Aggregated"]
    assert int(echo["Request Count"]) > 50 and echo["Failure Count"] == "0", out
    assert int(rejected["Request Count"]) == int(rejected["Failure Count"]) > 0
    assert int(total["Request Count"]) == int(echo["Request Count"]) + int(rejected["Request Count"])
