#!/usr/bin/python3
"""Checks the integer program of peer_mip.py against tests/data/pat_reference.csv:
every reference row with status optimal whose recorded time is at most
--max-seconds must be proven optimal again with the same value (within 1e-6).

Usage: bench/check-peer-reference.py [--max-seconds S] [--time-limit S]
"""
import argparse
import csv
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import peer_mip  # noqa: E402

p = argparse.ArgumentParser()
p.add_argument("--max-seconds", type=float, default=1.0, help="reference rows solved within this (default 1)")
p.add_argument("--time-limit", type=int, default=60)
args = p.parse_args()
makespan = peer_mip.read_makespans("tests/data/pat/deadline.pat")
checked, wrong = 0, 0
for row in csv.DictReader(open("tests/data/pat_reference.csv")):
    if row["status"] != "optimal" or float(row["seconds"]) > args.max_seconds:
        continue
    n, deadline = int(row["number"]), int(row["deadline"])
    assert deadline == makespan[n] + int(row["offset"]), f"instance {n}: deadline {deadline}"
    flows = [0] + [int(c) for c in row["cash_flows"].split(";")] + [0]
    r = peer_mip.solve(peer_mip.read_instance(f"tests/data/pat/pat{n}.rcp"), deadline, flows,
                       float(row["rate"]), args.time_limit)
    checked += 1
    if r.status != "optimal" or abs(r.value - float(row["npv"])) > 1e-6:
        wrong += 1
        print(f"instance {n} offset {row['offset']}: {r.status} {r.value!r}, reference {row['npv']}")
print(f"{checked} reference rows, {wrong} differ")
sys.exit(1 if wrong else 0)
