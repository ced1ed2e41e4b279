"""Messages in Python types: stores and reads, arrays and sub-messages,
bad values, and ownership of the native tree."""

import copy
import datetime
import gc

import pytest

FULL = {
    "acct": "A-17 é",
    "qty": -2147483648,
    "price": 1.25,
    "urgent": True,
    "due": datetime.date(2024, 2, 29),
    "lines": [{"code": "X1", "count": 2}, {"code": "X2"}],
    "memo": ["a", "bc"],
    "flags": [True, False],
    "dates": [datetime.date(1999, 12, 31), datetime.date(2024, 1, 1)],
    "counts": [2147483647, 0, -1],
    "rates": [0.5, -1e-300],
    "head": {"code": "H", "count": 7},
}


def test_every_type_both_ways_by_name_and_number(vorant):
    with vorant.Message.from_dict("Order", FULL) as msg:
        assert msg.number == 1001 and msg.msg_name == "Order"
        assert msg.to_dict() == FULL
        assert msg[2] == msg["qty"] == msg.qty == -2147483648
        assert msg.lines[1].code == "X2" and msg["head"]["count"] == 7
        assert msg.memo == ["a", "bc"] and msg.lines[-1:][0].code == "X2"
        assert "acct" in msg and 1 in msg and "nosuch" not in msg
    with vorant.Message(1001) as msg:
        msg[5] = "20240131"
        msg.counts.extend([1, 2])
        msg.counts.append(3)
        assert msg["due"] == datetime.date(2024, 1, 31) and list(msg.counts) == [1, 2, 3]
        assert msg.to_dict() == {"due": datetime.date(2024, 1, 31), "counts": [1, 2, 3]}
        msg.qty = 1
        msg.qty = 2  # a single value is replaced
        assert msg.qty == 2


def test_unset_tags(vorant):
    with vorant.Message("Order") as msg:
        with pytest.raises(KeyError, match="'acct'.*not set"):
            msg["acct"]
        with pytest.raises(AttributeError, match="'acct'"):
            msg.acct
        assert msg.get("acct", "none") == "none" and msg.memo == [] and len(msg.lines) == 0
        assert msg.to_dict() == {}


@pytest.mark.parametrize("tag, value, error, named", [
    ("qty", "5", TypeError, "'qty'"),
    ("qty", True, TypeError, "'qty'"),
    ("qty", 1.0, TypeError, "'qty'"),
    ("qty", 2**31, ValueError, "'qty'"),
    ("price", "1.5", TypeError, "'price'"),
    ("urgent", 1, TypeError, "'urgent'"),
    ("acct", 5, TypeError, "'acct'"),
    ("acct", "", ValueError, "'acct'"),
    ("acct", "a\0b", ValueError, "'acct'"),
    ("acct", "\u20ac", ValueError, "'acct'"),
    ("due", "2024-01-31", ValueError, "'due'"),
    ("due", "20240230", ValueError, "'due'"),
    ("due", datetime.datetime(2024, 1, 31), TypeError, "'due'"),
    ("memo", "ab", TypeError, "'memo'"),
    ("memo", ["a", 5], TypeError, "'memo'"),
    ("head", "H", TypeError, "'head'"),
    ("head", {"nosuch": 1}, KeyError, "'nosuch'"),
    ("lines", [{"count": "2"}], TypeError, "'count'"),
    ("nosuch", 1, KeyError, "'nosuch'"),
    (99, 1, KeyError, "99"),
])
def test_bad_values_name_the_tag_and_store_nothing(vorant, tag, value, error, named):
    with vorant.Message("Order") as msg:
        with pytest.raises(error, match=named):
            msg[tag] = value
        assert msg.to_dict() == {}


def test_a_message_is_a_mapping_of_its_set_tags(vorant):
    with vorant.Message.from_dict("Order", FULL) as msg, vorant.Message.from_dict("Order", FULL) as same:
        assert sorted(msg) == sorted(FULL) and len(msg) == len(FULL) and list(msg) == list(msg.to_dict())
        assert msg == same and msg != vorant.Message.from_dict("OrderLine", {"code": "X1"}) and msg != FULL
        head, second = msg.head, msg.lines[1]
        del msg["qty"], msg["memo"], msg.lines[0]["count"]
        assert "qty" not in msg and msg != same and len(msg) == len(FULL) - 2
        expected = dict(FULL, lines=[{"code": "X1"}, {"code": "X2"}])
        del expected["qty"], expected["memo"]
        assert msg.to_dict() == expected  # every other value copied exactly
        assert (head.code, second.code) == ("H", "X2")  # views read their places in the new tree
        with pytest.raises(KeyError, match="not set"):
            del msg["qty"]
        with pytest.raises(ValueError, match="would be empty"):
            del msg.lines[1]["code"]
        msg.clear()
        assert msg.to_dict() == {} and not msg and list(msg) == []


def test_sub_message_rules(vorant):
    with vorant.Message("Order") as msg, vorant.Message("Order") as other:
        with pytest.raises(TypeError, match="Message 2001"):
            msg["head"] = other  # wrong message number
        with pytest.raises(ValueError, match="empty"):
            msg.lines.append(vorant.Message("OrderLine"))
        line = vorant.Message("OrderLine")
        line["code"] = "L"
        msg.lines.append(line)
        with pytest.raises(ValueError, match="already belongs"):
            other.lines.append(line)
        line["count"] = 3  # still usable: a view into msg
        assert msg.lines[0].to_dict() == {"code": "L", "count": 3}
        with pytest.raises(ValueError, match="already has items"):
            msg["lines"] = [{"code": "again"}]


def test_freed_once_views_refuse_afterwards(vorant):
    msg = vorant.Message("Order")
    msg["head"] = {"code": "H"}
    head = msg.head
    with pytest.raises(TypeError, match="one owner"):
        copy.copy(msg)
    with msg:
        pass
    msg.close()  # a second close does nothing
    assert msg.closed and head.closed and "freed" in repr(msg)
    with pytest.raises(ValueError, match="freed"):
        head["code"]
    del msg, head
    gc.collect()  # the finaliser of a closed message does nothing either


def test_repr_is_the_dump(vorant):
    with vorant.Message.from_dict(1001, {"qty": 5, "memo": ["a"]}) as msg:
        assert repr(msg) == ("Msg Dump ======================================\n  MsgNum : 1001\n"
                             "    Type : index\n     Ver : \n    [2](qty) 5\n    [7](memo) a\n"
                             "===============================================")


def _rss_kib():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * 4


def test_no_leak_over_10000_messages(vorant):
    def churn(count, close):
        for i in range(count):
            msg = vorant.Message("Order")
            msg["acct"] = "A" * 100
            msg.qty = i
            msg.lines.append({"code": "X"})
            msg.memo = ["a", "b"]
            if close:
                msg.close()

    churn(2000, True)
    churn(2000, False)
    gc.collect()
    before = _rss_kib()
    churn(5000, True)
    churn(5000, False)  # freed by the finaliser
    gc.collect()
    assert _rss_kib() - before < 2048
