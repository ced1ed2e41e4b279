"""The package's one view of the C side: record layouts checked also under
python -O, failures turned into the package's exceptions by kind."""

import pytest
from conftest import run_python


def test_a_wrong_record_layout_stops_the_import_also_under_dash_O():
    r = run_python("-O", "-c", "import vorant._native as n\n"
                   "n._LAYOUTS[n.CallOptions] = {8: 48, 4: 32}\n"
                   "try:\n"
                   "    n._check_layouts()\n"
                   "except ImportError as e:\n"
                   "    print(e)\n")
    assert r.stdout.strip() == "vorant: CallOptions is 40 bytes here, the library's is 48", r.stderr


@pytest.mark.parametrize("code, text, result, kind", [
    (501, "denied", -4, "Rejected"),
    (-3, "Failed in connect()(-5)((connect to=10))", -3, "CallTimeout"),
    (-3, "Failed in connect()(-5)((connect deadline=1.5))", -3, "CallTimeout"),
    (-4, "Socket timeout(-8)((send deadline=2))", -3, "CallTimeout"),
    (-5, "Socket timeout(-8)((recv to=90))", -3, "CallTimeout"),
    (-3, "Failed in connect()(-5)((connect))", -3, "ConnectError"),
    (-3, "Failed in gethostbyname()(-4)((hostname=nowhere.invalid))", -3, "ConnectError"),
    (-5, "Socket closed(-9)(OK)", -3, "VorantError"),
    (-5, "Packet is corrupted(-17)(packet length 70000128 outside 128..1024)", -3, "VorantError"),
    (-8, "Call cancelled", -3, "VorantError"),
    (-35, "call CVorant::Initialize() first", -1, "VorantError"),
])
def test_failures_by_kind(vorant, code, text, result, kind):
    e = vorant._native.error_from_record(code, text, -1, result)
    assert type(e) is getattr(vorant, kind)
    assert (e.code, e.text, e.result) == (code, text, result)


def test_a_failed_message_function_raises_with_the_messages_last_error(vorant):
    lib = vorant._native.library()
    with vorant.Message("Order") as msg:
        with pytest.raises(vorant.VorantError) as caught:
            lib.MSG_SetInt(msg._handle(), 1, 5)  # tag 1 is a string
    assert caught.value.code == -17 and caught.value.text.startswith("MSG_Error(-17)")
