"""python3 -m vorant call -c CONFIG -s SERVICE --msg MSG REQUEST.json

Calls one service with a request given as JSON (tag names as keys, arrays
as arrays, sub-messages as objects, numbers, true/false, dates as
"yyyymmdd"; "-" reads standard input) and prints the answer in the same
form. Exit status as vorant-call's: 0 answered, 1 the call failed or was
rejected, 2 bad usage or a bad request, 3 the library could not be
initialised.
"""

from __future__ import annotations

import argparse
import datetime
import json
import sys
from typing import Any, List, Optional

from . import call, initialize
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


def _message_key(text: str) -> Any:
    return int(text) if text.lstrip("-").isdigit() else text


def _call(args: argparse.Namespace) -> int:
    try:
        source = sys.stdin if args.request == "-" else open(args.request, encoding="utf-8")
        with source:
            body = json.load(source)
    except (OSError, ValueError) as e:
        sys.stderr.write(f"vorant: cannot read the request {args.request}: {e}\n")
        return USAGE
    if not isinstance(body, dict):
        sys.stderr.write("vorant: the request must be a JSON object of tag names and values\n")
        return USAGE
    try:
        initialize(args.config)
    except VorantError as e:
        _report(f"failed: initialisation returned {e.result}", e)
        return INIT_FAILED
    try:
        request = Message.from_dict(_message_key(args.msg), body)
    except (KeyError, TypeError, ValueError) as e:
        sys.stderr.write(f"vorant: bad request: {e.args[0] if e.args else e}\n")
        return USAGE
    with request:
        try:
            answer = call(args.service, request)
        except VorantError as e:
            verb = "rejected" if e.result == -4 else "failed"
            _report(f"{verb}: service {args.service} returned {e.result}", e)
            return CALL_FAILED
    with answer:
        json.dump(answer.to_dict(), sys.stdout, indent=2, ensure_ascii=False, default=_json_default)
        sys.stdout.write("\n")
    return ANSWERED


def main(argv: Optional[List[str]] = None) -> int:
    parser = argparse.ArgumentParser(prog="python3 -m vorant", description="Call vorant services.")
    commands = parser.add_subparsers(dest="command", required=True)
    p = commands.add_parser("call", help="call one service with a JSON request and print the answer as JSON")
    p.add_argument("-c", "--config", required=True, help="configuration file (msg_dic, key_file, server, timeout)")
    p.add_argument("-s", "--service", required=True, type=int, help="service number")
    p.add_argument("-m", "--msg", required=True, help="message number or name of the request")
    p.add_argument("request", help="the request as a JSON object, or - for standard input")
    try:
        args = parser.parse_args(argv)
    except SystemExit as e:
        return USAGE if e.code else ANSWERED
    return _call(args)


if __name__ == "__main__":
    sys.exit(main())
