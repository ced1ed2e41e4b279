"""A small load test of the example server (examples/server.rules):
accounts are looked up (service 100) ten times as often as orders are
quoted (service 200), and now and then a user asks service 300, which the
server rejects: Locust counts that as a failure, with the server's code and
reason.

    vorant-server -d examples/msg_dic.exml -r examples/server.rules -p 7300 -q &
    python3 -m locust -f examples/locust/locustfile.py --headless -u 50 -r 50 -t 10s

VORANT_CONFIG names the configuration (default examples/vorant.conf);
--host HOST:PORT sends the calls to another server.
"""

import os
import random

from locust import between, task

import vorant
from vorant.locust import VorantUser


class AccountUser(VorantUser):
    config = os.environ.get("VORANT_CONFIG", "examples/vorant.conf")
    wait_time = between(0.05, 0.15)

    def on_start(self):
        self.acct = f"A-{random.randrange(10000):04d}"

    @task(10)
    def look_up_account(self):
        with vorant.Message.from_dict("AccountRequest", {"acct": self.acct, "qty": 1}) as request:
            answer = self.client.call(100, request, name="account", deadline=5)
        if answer is not None:
            answer.close()

    @task(1)
    def quote_order(self):
        with vorant.Message.from_dict("AccountRequest", {"acct": self.acct}) as request:
            answer = self.client.call(200, request, name="quote", deadline=5)
        if answer is not None:
            answer.close()

    @task(1)
    def ask_a_closed_service(self):
        # Service 300 answers with a REJECT: a failure in Locust's statistics.
        with vorant.Message.from_dict("AccountRequest", {"acct": self.acct}) as request:
            self.client.call(300, request, name="closed", deadline=5)
