"""Bounds of calls (per call, and for every call from initialize) and the trace hook."""

import sys
import time

import pytest
from conftest import DICTIONARY, KEY_FILE, run_python


@pytest.mark.parametrize("bound, detail", [({"deadline": 0.2}, "deadline="), ({"timeout": 0.2}, "to=")])
def test_a_per_call_bound_ends_a_slow_call(vorant, bound, detail):
    # Service 900 answers after 1 s.
    with vorant.Message.from_dict("Order", {"acct": "B"}) as request:
        start = time.monotonic()
        with pytest.raises(vorant.VorantError) as caught:
            vorant.call(900, request, **bound)
        assert time.monotonic() - start < 0.9
    assert isinstance(caught.value, vorant.CallTimeout) and isinstance(caught.value, TimeoutError)
    assert (caught.value.result, caught.value.code) == (-3, -5) and detail in caught.value.text


@pytest.mark.parametrize("bound, error", [
    ({"deadline": "1"}, TypeError),
    ({"deadline": 0}, ValueError),
    ({"connect_timeout": -1}, ValueError),
    ({"timeout": 3e6}, ValueError),
    ({"max_answer": 100}, ValueError),
    ({"max_answer": 1.5}, TypeError),
])
def test_bad_bounds_are_refused_before_the_call(vorant, bound, error):
    with vorant.Message.from_dict("Order", {"acct": "B"}) as request:
        with pytest.raises(error, match=next(iter(bound))):
            vorant.call(100, request, **bound)


def test_initialize_sets_the_bounds_of_every_call(server):
    r = run_python(
        "-c", "import sys, time, vorant\n"
        "vorant.initialize(key_file=sys.argv[1], msg_dic=sys.argv[2], host='127.0.0.1', port=int(sys.argv[3]),"
        " timeout=60, deadline=0.2)\n"
        "start = time.monotonic()\n"
        "try:\n"
        "    vorant.call(900, vorant.Message.from_dict(1001, {'qty': 1}))\n"
        "except vorant.VorantError as e:\n"
        "    print(e.result, e.code, 'deadline=' in e.text, time.monotonic() - start < 0.9)\n",
        str(KEY_FILE), str(DICTIONARY), str(server.port))
    assert r.stdout.strip() == "-3 -5 True True", r.stderr


def test_trace_hook_sees_each_call(vorant, server, monkeypatch):
    traces, reported = [], []
    monkeypatch.setattr(sys, "unraisablehook", lambda u: reported.append(u.exc_type))
    vorant.set_trace_hook(traces.append)
    try:
        with vorant.Message.from_dict("Order", {"acct": "T", "qty": 3}) as request:
            vorant.call(100, request).close()
            with pytest.raises(vorant.Rejected):
                vorant.call(300, request)
            vorant.set_trace_hook(lambda t: 1 / 0)  # reported, the call goes on
            vorant.call(100, request, deadline=5).close()
    finally:
        vorant.set_trace_hook(None)
    ok, rejected = traces
    assert reported == [ZeroDivisionError]
    assert (ok.service, ok.msg_num, ok.answer_msg_num, ok.result, ok.code) == (100, 1001, 1001, 0, 0)
    assert (ok.host, ok.port, ok.address) == ("127.0.0.1", server.port, "127.0.0.1")
    assert ok.request_packet.startswith(b"QRB-XMP-V1.0")
    assert len(ok.request_packet) == 128 + ok.request_wire_bytes + 3
    assert ok.total_us >= ok.connect_us >= 0
    assert (rejected.result, rejected.code, rejected.answer_msg_num) == (-4, 501, 10)
