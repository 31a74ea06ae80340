"""The linear program of the time-indexed integer program (bench/peer_mip.py)
per instance, on the cash flows a batch run wrote with --flows-out: the
best bound resource prices can give the network bound (a Lagrangian
relaxation of the resource rows whose subproblem is the network keeps the
linear program's value).

  /usr/bin/python3 bench/lp-bound.py DIR PROBLEM FLOWS.csv OFFSET NUMBER...

prints per instance: number, status, value of the linear program, seconds.
"""
import csv
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import peer_mip  # noqa: E402


def main():
    directory, problem, flows_csv, offset = sys.argv[1:5]
    flows = {}
    with open(flows_csv) as f:
        for row in csv.DictReader(f):
            flows.setdefault(int(row["number"]), []).append(int(row["flow"]))
    makespans = peer_mip.read_makespans(f"{directory}/deadline.{problem}")
    for number in (int(n) for n in sys.argv[5:]):
        inst = peer_mip.read_instance(f"{directory}/{problem}{number}.rcp")
        r = peer_mip.solve(inst, makespans[number] + int(offset), flows[number], 0.01, 600,
                           relax=True)
        value = "-" if r.value is None else f"{r.value:.2f}"
        print(number, r.status, value, f"{r.seconds:.2f}", flush=True)


if __name__ == "__main__":
    main()
