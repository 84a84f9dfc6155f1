#!/usr/bin/env python3
"""Judges one capture through libvelkin from Python, as a lab script would:
velkin_check.py <capture> <test type>. Prints the verdict and the failed checks."""
import ctypes
import json
import os
import sys

velkin = ctypes.CDLL("libvelkin.so.2")
# Without these, ctypes takes the returned text for an int and cuts the pointer.
velkin.UsbSigCheck.restype = ctypes.c_char_p
velkin.UsbSigCheck.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_char_p,
                               ctypes.c_uint, ctypes.c_uint]

capture, test_type = sys.argv[1], sys.argv[2]
# No second file, report only (mode 0), no hubs in front of the probe.
answer = velkin.UsbSigCheck(capture.encode(), test_type.encode(), b"", 0, 0).decode()
if answer:
    sys.exit(f"{capture}: {answer}")
with open(os.path.splitext(capture)[0] + ".json") as f:
    result = json.load(f)
failed = [c["name"] for c in result["checks"] if c["verdict"] in ("fail", "not measured")]
print(result["overall"].upper(), ", ".join(failed))
sys.exit(1 if result["overall"] == "fail" else 0)
