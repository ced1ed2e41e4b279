"""Calls from gevent greenlets, and the package without gevent."""

import gc
import time

import pytest
from conftest import open_fds, run_python

gevent = pytest.importorskip("gevent")


def order(vorant, i=0):
    return vorant.Message.from_dict("Order", {"acct": f"G{i}", "qty": i})


def test_greenlets_call_side_by_side_and_fail_as_the_blocking_call(vorant, closed_port):
    import vorant.gevent as vg

    request = order(vorant)
    vg.call(100, request).close()  # the hub's engine exists before the count
    gc.collect()
    before = open_fds(), vorant._native.native_messages()
    start = time.monotonic()
    calls = [gevent.spawn(vg.call, 900, order(vorant, i)) for i in range(50)]
    failing = [gevent.spawn(vg.call, 300, request), gevent.spawn(vg.call, 900, request, deadline=0.2),
               gevent.spawn(vg.call, 100, request, port=closed_port)]
    gevent.joinall(calls + failing, timeout=10)
    assert time.monotonic() - start < 5
    assert [(g.value.acct, g.value.qty) for g in calls] == [(f"G{i}", i) for i in range(50)]
    rejected, timed_out, refused = (g.exception for g in failing)
    assert isinstance(rejected, vorant.Rejected) and rejected.code == 501
    assert isinstance(timed_out, vorant.CallTimeout) and "(recv deadline=0.2)" in timed_out.text
    assert isinstance(refused, vorant.ConnectError) and refused.code == -3

    # A timeout or a kill cancels the call underneath.
    with pytest.raises(gevent.Timeout):
        with gevent.Timeout(0.1):
            vg.call(900, request)
    waiting = gevent.spawn(vg.call, 900, request)
    gevent.sleep(0.05)
    waiting.kill()
    assert vg.in_flight() == 0
    del calls, failing, waiting
    gc.collect()
    assert (open_fds(), vorant._native.native_messages()) == before


def test_importing_vorant_imports_neither_gevent_nor_locust():
    r = run_python("-c", "import sys, vorant\nvorant.Message\nprint(sorted(m for m in ('gevent', 'locust', 'asyncio')"
                   " if m in sys.modules))")
    assert r.stdout.strip() == "[]", r.stderr
