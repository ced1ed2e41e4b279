"""Bounds of calls: per call, and for every call from initialize."""

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
    assert not isinstance(caught.value, vorant.Rejected)
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
