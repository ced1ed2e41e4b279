"""Calls against vorant-server: answers, REJECT, failures, threads and the
command line."""

import json
import signal
import socket
import subprocess
import sys
import threading
import time

import pytest
from conftest import DICTIONARY, KEY_FILE, python_env, run_python
from test_messages import FULL


def test_echo_round_trip_of_every_type(vorant):
    with vorant.Message.from_dict("Order", FULL) as request:
        with vorant.call(100, request) as answer:
            assert answer.number == 1001
            assert answer.to_dict() == FULL


def test_reject_carries_the_servers_code_reason_and_service(vorant):
    with vorant.Message.from_dict("Order", {"qty": 1}) as request:
        with pytest.raises(vorant.Rejected) as caught:
            vorant.call(300, request)
    e = caught.value
    assert isinstance(e, vorant.VorantError)
    assert (e.code, e.reason, e.service, e.text, e.ref_svc_num) == (501, "denied", 300, "denied", 300)


def test_bad_value_sends_nothing(vorant, server):
    # Service 101 is this test's own: the server logs each request after answering it.
    with pytest.raises(TypeError, match="'qty'"):
        vorant.call(101, vorant.Message.from_dict("Order", {"acct": "A", "qty": "5"}))
    with pytest.raises(TypeError, match="vorant.Message"):
        vorant.call(101, {"acct": "A"})
    with vorant.Message.from_dict("Order", {"acct": "A"}) as request:
        vorant.call(101, request).close()
    deadline = time.monotonic() + 2
    while server.requests(101) == 0 and time.monotonic() < deadline:
        time.sleep(0.01)
    assert server.requests(101) == 1


def test_a_server_that_is_down_and_a_failed_initialisation(server):
    # One initialisation per process: each case runs in its own interpreter.
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]  # closed again before the call
    down = run_python(
        "-c", "import sys, vorant\n"
        "vorant.initialize(key_file=sys.argv[1], msg_dic=sys.argv[2], host='127.0.0.1', port=int(sys.argv[3]),"
        " timeout=60)\n"
        "try:\n"
        "    vorant.call(100, vorant.Message.from_dict(1001, {'qty': 1}))\n"
        "except ConnectionError as e:\n"
        "    print(type(e).__name__, e.code, e.result, e.text)\n"
        "print(vorant.call(100, vorant.Message.from_dict(1001, {'qty': 2}), port=int(sys.argv[4])).qty)\n"
        "try:\n"
        "    vorant.initialize(key_file=sys.argv[1], msg_dic=sys.argv[2], host='127.0.0.1', port=1, timeout=60)\n"
        "except vorant.VorantError as e:\n"
        "    print(e.code, e.result, e.text)\n",
        str(KEY_FILE), str(DICTIONARY), str(port), str(server.port))
    assert down.returncode == 0, down.stderr
    refused, answered, again = down.stdout.splitlines()
    assert refused.startswith("ConnectError -3 -3 Failed in connect()"), down.stdout
    assert answered == "2"  # the server of one call
    assert again == "0 -1 already initialised"
    missing = run_python(
        "-c", "import vorant\n"
        "try:\n"
        "    vorant.initialize('/nonexistent/v.conf')\n"
        "except vorant.VorantError as e:\n"
        "    print(e.code, e.result, e.text)\n")
    assert missing.stdout.strip() == "0 -1 File open failed [/nonexistent/v.conf](2,No such file or directory)"


def test_ctrl_c_ends_a_blocking_call_at_once(server):
    script = ("import sys, time, vorant\n"
              "vorant.initialize(key_file=sys.argv[1], msg_dic=sys.argv[2], host='127.0.0.1', port=int(sys.argv[3]),"
              " timeout=60)\n"
              "request = vorant.Message.from_dict(1001, {'qty': 1})\n"
              "print('calling', flush=True)\n"
              "try:\n"
              "    vorant.call(900, request)\n"
              "except KeyboardInterrupt:\n"
              "    print(time.monotonic(), vorant._native.native_messages(), flush=True)\n")
    child = subprocess.Popen([sys.executable, "-c", script, str(KEY_FILE), str(DICTIONARY), str(server.port)],
                             stdout=subprocess.PIPE, text=True, env=python_env())
    try:
        assert child.stdout.readline() == "calling\n"
        time.sleep(0.3)  # the call waits for its answer, due 1 s after it started
        sent = time.monotonic()
        child.send_signal(signal.SIGINT)
        ended, messages = child.stdout.readline().split()
    finally:
        child.kill()
        child.wait()
    assert float(ended) - sent < 0.3 and messages == "1"  # only the request is left


def test_eight_threads_call_at_once(vorant):
    # Service 900 answers after 1 s: one after another, eight calls take 8 s.
    answers, errors = {}, []

    def one(i):
        try:
            with vorant.Message.from_dict("Order", {"acct": f"T{i}", "qty": i}) as request:
                with vorant.call(900, request) as answer:
                    answers[i] = (answer.acct, answer.qty)
        except Exception as e:  # reported below
            errors.append(e)

    threads = [threading.Thread(target=one, args=(i,)) for i in range(8)]
    start = time.monotonic()
    for t in threads:
        t.start()
    for t in threads:
        t.join(10)
    elapsed = time.monotonic() - start
    assert not errors
    assert answers == {i: (f"T{i}", i) for i in range(8)}
    assert elapsed < 4, f"calls did not overlap: {elapsed:.1f} s"


def test_command_line_call(config, tmp_path):
    fields = {"acct": "J", "due": "20240131", "lines": [{"code": "X"}], "flags": [True]}
    request = tmp_path / "request.json"
    request.write_text(json.dumps({"msg": "Order", "fields": fields}))
    ok = run_python("-m", "vorant", "call", "-c", str(config), "-s", "100", str(request))
    assert ok.returncode == 0, ok.stderr
    assert json.loads(ok.stdout) == {"msg": 1001, "name": "Order", "fields": fields}

    rejected = {"error": {"result": -4, "code": 501, "text": "denied", "refSvcNum": 300}}
    cases = [  # (service, --msg, stdin request, exit status, text on stderr, JSON on stdout)
        (300, "1001", '{"fields": {"qty": 1}}', 1, "rejected: service 300 returned -4\n  code      : 501\n", rejected),
        (100, "1001", '{"fields": {"qty": "1"}}', 2, "bad request: tag 'qty'", None),
        (100, "1001", '{"msg": 2001}', 2, "is message 2001, not 1001", None),
        (100, None, '{"fields": {}}', 2, "names no message", None),
        (100, "1001", '{"fields": {}, "extra": 1}', 2, "unknown member 'extra'", None),
        (100, "1001", '[1]', 2, "not a JSON object", None),
    ]
    for service, msg, body, status, text, out in cases:
        argv = ["-m", "vorant", "call", "-c", str(config), "-s", str(service), "-"] + (["--msg", msg] if msg else [])
        r = run_python(*argv, stdin=body)
        assert (r.returncode, text in r.stderr) == (status, True), r.stderr
        assert (json.loads(r.stdout) if r.stdout else None) == out
    bad_config = run_python("-m", "vorant", "call", "-c", str(tmp_path / "none.conf"), "-s", "100", "-",
                            stdin="{}")
    assert bad_config.returncode == 3 and "File open failed" in bad_config.stderr
