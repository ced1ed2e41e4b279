"""Locust users for bench/python_goals.py: every user calls service 900 (an
echo that answers after 1 s) back to back.

SlowServiceUser calls through vorant.locust (the engine, waiting through
gevent's hub); BlockingSlowUser makes the same call with the blocking
vorant.call, as a locustfile written without vorant.locust would. Pick one
by its name on the command line. Each process counts the calls that ended
per second and, when VORANT_BENCH_COUNTS names a folder, writes the counts
there once a second (a worker whose users block may have to be killed), so
that a steady rate can be measured across workers.
"""

import collections
import json
import os
import time

from locust import User, constant, events, task

import vorant
from vorant.locust import VorantUser

_ended = collections.Counter()
_failed = collections.Counter()
_written = [0]


@events.request.add_listener
def _count(exception=None, **_):
    second = int(time.time())
    (_failed if exception is not None else _ended)[second] += 1
    folder = os.environ.get("VORANT_BENCH_COUNTS")
    if folder and second != _written[0]:
        _written[0] = second
        path = os.path.join(folder, f"counts-{os.getpid()}.json")
        with open(path + ".new", "w") as f:
            json.dump({"ended": _ended, "failed": _failed}, f)
        os.replace(path + ".new", path)


class SlowServiceUser(VorantUser):
    config = os.environ.get("VORANT_CONFIG")
    wait_time = constant(0)

    def on_start(self):
        self.request = vorant.Message.from_dict("AccountRequest", {"acct": "A-17", "qty": 5})

    @task
    def slow(self):
        answer = self.client.call(900, self.request, name="900 (1 s)")
        if answer is not None:
            answer.close()


class BlockingSlowUser(User):
    wait_time = constant(0)

    def on_start(self):
        if not vorant.client.is_initialised():
            vorant.initialize(os.environ["VORANT_CONFIG"])
        self.request = vorant.Message.from_dict("AccountRequest", {"acct": "A-17", "qty": 5})

    @task
    def slow(self):
        start = time.perf_counter()
        exception = None
        try:
            vorant.call(900, self.request).close()
        except vorant.VorantError as e:
            exception = e
        self.environment.events.request.fire(request_type="vorant", name="900 (1 s, blocking)",
                                             response_time=(time.perf_counter() - start) * 1000,
                                             response_length=0, response=None, context={}, exception=exception)
