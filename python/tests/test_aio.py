"""Calls awaited on asyncio loops: answers and failures as vorant.call
gives them, cancellation at every stage, loops closed with calls in flight,
and nothing left behind."""

import asyncio
import gc
import math
import random
import sys
import time

import pytest
from conftest import open_fds


def order(vorant, i=0):
    return vorant.Message.from_dict("Order", {"acct": f"A{i}", "qty": i})


def settled(vorant):
    """(descriptors, native messages) once collected."""
    gc.collect()
    return open_fds(), vorant._native.native_messages()


def test_awaited_calls_side_by_side(vorant):
    async def main():
        requests = [order(vorant, i) for i in range(50)]
        start = time.monotonic()
        answers = await asyncio.gather(*(vorant.aio.call(900, r) for r in requests))
        elapsed = time.monotonic() - start
        assert [(a.acct, a.qty) for a in answers] == [(f"A{i}", i) for i in range(50)]
        assert elapsed < 5, f"50 one-second calls took {elapsed:.1f} s"

    before = settled(vorant)
    asyncio.run(main())
    assert settled(vorant) == before


@pytest.mark.parametrize("service, bounds, kind, result, code, text", [
    (300, {}, "Rejected", -4, 501, "denied"),
    (900, {"deadline": 0.2}, "CallTimeout", -3, -5, "(recv deadline=0.2)"),
    (900, {"timeout": 0.2}, "CallTimeout", -3, -5, "(recv to=0.2)"),
    (100, {"port": "closed"}, "ConnectError", -3, -3, "Failed in connect()"),
])
def test_failures_raise_as_the_blocking_call_does(vorant, closed_port, service, bounds, kind, result, code, text):
    if bounds.get("port") == "closed":
        bounds = {"port": closed_port}
    with order(vorant) as request:
        with pytest.raises(getattr(vorant, kind)) as blocking:
            vorant.call(service, request, **bounds)
        with pytest.raises(getattr(vorant, kind)) as awaited:
            asyncio.run(vorant.aio.call(service, request, **bounds))
    for e in (blocking.value, awaited.value):
        assert (e.result, e.code, text in e.text) == (result, code, True), e
        assert isinstance(e, (TimeoutError if kind == "CallTimeout" else Exception))
    assert (blocking.value.code, blocking.value.text) == (awaited.value.code, awaited.value.text)


def test_bad_arguments_raise_before_the_call(vorant):
    async def main():
        with pytest.raises(TypeError, match="vorant.Message"):
            await vorant.aio.call(100, {"acct": "A"})
        with pytest.raises(ValueError, match="deadline"):
            await vorant.aio.call(100, order(vorant), deadline=0)
        with pytest.raises(ValueError, match="port"):
            await vorant.aio.call(100, order(vorant), port=70000)
    asyncio.run(main())


def test_cancelled_at_each_stage_leaves_nothing(vorant, server):
    async def cancel_after(delay):
        with order(vorant) as request:
            task = asyncio.create_task(vorant.aio.call(900, request))
            if delay is not None:
                await asyncio.sleep(delay)
            task.cancel()
            with pytest.raises(asyncio.CancelledError):
                await task
        assert vorant.aio.in_flight() == 0

    async def main():
        (await vorant.aio.call(100, order(vorant))).close()  # the loop's engine exists before the count
        before = settled(vorant)
        for delay in (None, 0, 0.001, 0.2):  # not started, connecting, sent, waiting for the answer
            await cancel_after(delay)
        with pytest.raises(asyncio.TimeoutError):
            await asyncio.wait_for(vorant.aio.call(900, order(vorant)), 0.1)
        if sys.version_info >= (3, 11):
            with pytest.raises(ExceptionGroup):
                async with asyncio.TaskGroup() as group:
                    group.create_task(vorant.aio.call(900, order(vorant)))
                    group.create_task(vorant.aio.call(300, order(vorant)))  # fails: its sibling is cancelled
        assert vorant.aio.in_flight() == 0
        assert settled(vorant) == before

    asyncio.run(main())


def test_many_cancelled_at_random_points_leave_no_descriptor_or_message(vorant):
    rng = random.Random(21)

    async def one(request):
        task = asyncio.create_task(vorant.aio.call(900 if rng.random() < 0.5 else 100, request))
        await asyncio.sleep(rng.random() * 0.01)
        task.cancel()
        try:
            (await task).close()  # answered before the cancel
        except asyncio.CancelledError:
            pass

    async def main():
        with order(vorant) as request:
            await asyncio.gather(*(one(request) for _ in range(1000)))
        assert vorant.aio.in_flight() == 0

    before = settled(vorant)
    asyncio.run(main())
    assert settled(vorant) == before


def test_loops_one_after_another_and_a_loop_closed_with_calls_in_flight(vorant):
    before = settled(vorant)
    for i in range(20):
        with order(vorant, i) as request:
            assert asyncio.run(vorant.aio.call(100, request)).qty == i
    assert settled(vorant) == before

    loop = asyncio.new_event_loop()
    tasks = [loop.create_task(vorant.aio.call(900, order(vorant))) for _ in range(10)]
    loop.run_until_complete(asyncio.sleep(0.1))
    assert not any(t.done() for t in tasks)
    loop.close()  # frees the calls and the loop's engine
    del tasks
    assert settled(vorant) == before


def test_trace_hook_sees_awaited_calls(vorant, server):
    traces = []
    vorant.set_trace_hook(traces.append)
    try:
        with order(vorant, 7) as request:
            asyncio.run(vorant.aio.call(100, request, deadline=math.inf))
    finally:
        vorant.set_trace_hook(None)
    (t,) = traces
    assert (t.service, t.result, t.port, t.answer_msg_num) == (100, 0, server.port, 1001)
    assert t.queue_us >= 0 and t.sys_errno == 0
    assert len(t.answer_packet) == 128 + t.answer_wire_bytes + 3
