"""python3 -m vorant call -c CONFIG -s SERVICE REQUEST.json [--msg MSG]

Calls one service with a request given as JSON in vorant-call's form,
{"msg": number or name, "fields": {...}} (tag names as keys, arrays as
arrays, sub-messages as objects, numbers, true/false, dates as
"yyyymmdd"; "-" reads standard input), and prints the answer in the same
form, {"msg": ..., "name": ..., "fields": {...}}, or {"error": {...}} when
the call fails. Exit status as vorant-call's: 0 answered, 1 the call failed
or was rejected, 2 bad usage or a bad request, 3 the library could not be
initialised.
"""

from __future__ import annotations

import argparse
import datetime
import json
import sys
from typing import Any, Dict, List, Optional, Tuple

from . import call, describe, initialize
from .errors import VorantError
from .message import Message

ANSWERED, CALL_FAILED, USAGE, INIT_FAILED = 0, 1, 2, 3


def _json_default(value: Any) -> Any:
    if isinstance(value, datetime.date):
        return f"{value.year:04d}{value.month:02d}{value.day:02d}"
    raise TypeError(f"{type(value).__name__} is not JSON")


def _report(head: str, err: VorantError) -> None:
    sys.stderr.write(f"{head}\n  code      : {err.code}\n  text      : {err.text}\n"
                     f"  refSvcNum : {err.ref_svc_num}\n")


def _message_key(value: Any) -> Any:
    if isinstance(value, str) and value.lstrip("-").isdigit():
        return int(value)
    return value


def _print_json(value: Any) -> None:
    if hasattr(sys.stdout, "reconfigure"):
        sys.stdout.reconfigure(encoding="utf-8")  # JSON is UTF-8 whatever the locale
    json.dump(value, sys.stdout, indent=2, ensure_ascii=False, default=_json_default)
    sys.stdout.write("\n")


def _read_request(args: argparse.Namespace) -> Tuple[Any, Dict[str, Any]]:
    """The message key and the fields of the JSON request; ValueError says
    what is wrong with it."""
    source = sys.stdin if args.request == "-" else open(args.request, encoding="utf-8")
    with source:
        doc = json.load(source)
    if not isinstance(doc, dict):
        raise ValueError("the JSON request is not a JSON object")
    for member in doc:
        if member not in ("msg", "name", "fields"):
            raise ValueError(f"unknown member '{member}' in the JSON request (expected msg, name, fields)")
    key = _message_key(args.msg) if args.msg is not None else None
    if "msg" in doc:
        given = _message_key(doc["msg"])
        if key is not None and describe(key).number != describe(given).number:
            raise ValueError(f"the JSON request is message {given}, not {key}")
        key = given
    if key is None:
        raise ValueError('the JSON request names no message ("msg": number or name, or --msg)')
    fields = doc.get("fields", {})
    if not isinstance(fields, dict):
        raise ValueError('"fields" of the JSON request is not a JSON object')
    return key, fields


def _call(args: argparse.Namespace) -> int:
    try:
        initialize(args.config)
    except VorantError as e:
        _report(f"failed: initialisation returned {e.result}", e)
        return INIT_FAILED
    try:
        key, fields = _read_request(args)
        request = Message.from_dict(key, fields)
    except OSError as e:
        sys.stderr.write(f"vorant: cannot read the request {args.request}: {e}\n")
        return USAGE
    except (KeyError, TypeError, ValueError) as e:
        sys.stderr.write(f"vorant: bad request: {e.args[0] if e.args else e}\n")
        return USAGE
    with request:
        try:
            answer = call(args.service, request)
        except VorantError as e:
            verb = "rejected" if e.result == -4 else "failed"
            _report(f"{verb}: service {args.service} returned {e.result}", e)
            _print_json({"error": {"result": e.result, "code": e.code, "text": e.text,
                                   "refSvcNum": e.ref_svc_num}})
            return CALL_FAILED
    with answer:
        _print_json({"msg": answer.number, "name": answer.msg_name, "fields": answer.to_dict()})
    return ANSWERED


def main(argv: Optional[List[str]] = None) -> int:
    parser = argparse.ArgumentParser(prog="python3 -m vorant", description="Call vorant services.")
    commands = parser.add_subparsers(dest="command", required=True)
    p = commands.add_parser("call", help="call one service with a JSON request and print the answer as JSON")
    p.add_argument("-c", "--config", required=True, help="configuration file (msg_dic, key_file, server, timeout)")
    p.add_argument("-s", "--service", required=True, type=int, help="service number")
    p.add_argument("-m", "--msg", help="message number or name of the request (or \"msg\" in the JSON)")
    p.add_argument("request", help='the request, {"msg": ..., "fields": {...}}, or - for standard input')
    try:
        args = parser.parse_args(argv)
    except SystemExit as e:
        return USAGE if e.code else ANSWERED
    return _call(args)


if __name__ == "__main__":
    sys.exit(main())
