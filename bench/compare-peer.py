#!/usr/bin/python3
"""Solves a list of instances with the batch runner's engines and with the
time-indexed integer program (CBC, one thread) on the same deadlines, rate and
cash flows, and writes one table: per instance each one's value, status and
seconds, and the time ratios engine / CBC. Two proven results that disagree
(values more than 1e-6 apart, or optimal against infeasible), or a feasible
value above a proven optimum, are faults: they are listed and the exit status
is 1.

Example (from the top of the worktree):
  bench/compare-peer.py --problem pat --numbers 1-20 --offset 0 --time-limit 10 \
      --engines '' --out /tmp/pat0
writes /tmp/pat0.csv, /tmp/pat0.txt and the cash flows /tmp/pat0.info.out.
"""
import argparse
import csv
import os
import random
import re
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import peer_mip  # noqa: E402

TOLERANCE = 1e-6
INFO_HEADER = ("information about the generated cash flows\n"
               "problem number    project deadline     (number of activity / cash flow)\n"
               "Remark: information about dummy start and dummy end activity not displayed\n")


def numbers_of(text):
    """"1-20,25,30-32" -> [1..20, 25, 30, 31, 32]."""
    out = []
    for part in text.split(","):
        a, _, b = part.partition("-")
        out += range(int(a), int(b or a) + 1)
    return out


def ranges_of(numbers):
    """Consecutive runs, one batch call each."""
    runs = []
    for n in sorted(set(numbers)):
        if runs and runs[-1][1] == n - 1:
            runs[-1][1] = n
        else:
            runs.append([n, n])
    return runs


def draw_flows(count, seed, number, negative):
    """Magnitude 1..500, negative with the given percentage; depends only on seed and instance."""
    rng = random.Random(f"{seed}/{number}")
    return [rng.randint(1, 500) * (-1 if rng.randrange(100) < negative else 1) for _ in range(count)]


def read_info(path):
    records = {}
    with open(path) as f:
        for line in f.read().splitlines()[3:]:
            if line.strip():
                head = line.split("(")[0].split()
                flows = [int(c) for _, c in re.findall(r"\(\s*(\d+)\s*/\s*(-?\d+)\s*\)", line)]
                records[int(head[0])] = (int(head[1]), flows)
    return records


def write_info(path, records):
    with open(path, "w") as f:
        f.write(INFO_HEADER)
        for number, (deadline, flows) in sorted(records.items()):
            f.write(f"\n{number:5d}     {deadline:5d}     " +
                    "".join(f"({a} / {c})   " for a, c in enumerate(flows, 1)))


def run_engine(args, engine, info, numbers):
    """The batch runner's CSV rows by instance number."""
    rows = {}
    with tempfile.TemporaryDirectory() as tmp:
        for first, last in ranges_of(numbers):
            out = os.path.join(tmp, f"{first}.csv")
            cmd = [os.path.join(args.build, "tools", "rcpspdc-batch"), "--problem", args.problem,
                   "--first", str(first), "--last", str(last), "--dir", args.dir, "--offset", str(args.offset),
                   "--rate", str(args.rate), "--time-limit", str(args.time_limit), "--cash-flows", info,
                   "--jobs", "1", "--csv", out] + (["--engine", engine] if engine else [])
            done = subprocess.run(cmd, stdout=subprocess.DEVNULL)
            if done.returncode not in (0, 1):  # 1: some row is an error row, the others stand
                sys.exit(f"compare-peer: {' '.join(cmd)} failed with status {done.returncode}")
            with open(out) as f:
                for row in csv.DictReader(f):
                    value = float(row["npv"]) if row["npv"] else None
                    seconds = float(row["seconds"]) if row["seconds"] else None
                    rows[int(row["number"])] = (row["status"], value, seconds)
    return rows


def faults_of(results):
    """results: name -> (status, value, seconds). A proven result that another contradicts:
    a value above a proven optimum (so two optima more than 1e-6 apart), or any
    schedule where one proves there is none."""
    found = []
    for a, (status, value, _) in results.items():
        for b, (_, other, _) in results.items():
            if a == b or other is None:
                continue
            if status == "infeasible":
                found.append(f"{a} proves infeasible, {b} has {other!r}")
            elif status == "optimal" and other > value + TOLERANCE:
                found.append(f"{a} proves {value!r}, {b} has {other!r}")
    return found


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--problem", default="pat", help="instance files PROBLEM<number>.rcp (default pat)")
    p.add_argument("--dir", help="their directory (default tests/data/PROBLEM without a trailing _)")
    p.add_argument("--numbers", required=True, help="instance numbers, such as 1-20 or 1,4,7-9")
    p.add_argument("--offset", type=int, default=0, help="periods added to the makespan (default 0)")
    p.add_argument("--rate", type=float, default=0.01)
    p.add_argument("--negative", type=int, default=60, help="percentage of negative cash flows (default 60)")
    p.add_argument("--seed", type=int, default=1, help="seed of this script's cash-flow draw (default 1)")
    p.add_argument("--cash-flows", help="take the cash flows from this info.out instead of drawing them")
    p.add_argument("--time-limit", type=int, default=60, help="seconds per instance and solver (default 60)")
    p.add_argument("--engines", default=os.environ.get("PEER_ENGINES", "delaying start-times"),
                   help="engine names for rcpspdc-batch --engine, blank-separated; '' runs the batch "
                        "runner once without --engine (default: $PEER_ENGINES, else 'delaying start-times')")
    p.add_argument("--mip-only", action="store_true", help="run only the integer program")
    p.add_argument("--mip-sample", type=int, default=1,
                   help="run the integer program on every K-th listed instance only (default 1: all)")
    p.add_argument("--no-mip", action="store_true", help="run only the engines")
    p.add_argument("--build", default="build", help="build directory (default build)")
    p.add_argument("--out", default="peer", help="writes OUT.csv, OUT.txt and OUT.info.out (default peer)")
    args = p.parse_args()
    args.dir = args.dir or os.path.join("tests", "data", args.problem.rstrip("_"))
    numbers = numbers_of(args.numbers)
    engines = [] if args.mip_only else (args.engines.split() or [""])

    makespan = peer_mip.read_makespans(os.path.join(args.dir, f"deadline.{args.problem}"))
    given = read_info(args.cash_flows) if args.cash_flows else {}
    instances, records = {}, {}
    for n in numbers:
        inst = peer_mip.read_instance(os.path.join(args.dir, f"{args.problem}{n}.rcp"))
        deadline = makespan[n] + args.offset
        if args.cash_flows and n not in given:
            sys.exit(f"compare-peer: {args.cash_flows} has no cash flows for instance {n}")
        flows = given[n][1] if args.cash_flows else draw_flows(len(inst.duration) - 2, args.seed, n, args.negative)
        instances[n], records[n] = inst, (deadline, flows)
    info = args.out + ".info.out"
    write_info(info, records)

    names = [e or "batch" for e in engines]
    by_engine = {name: run_engine(args, e, info, numbers) for name, e in zip(names, engines)}
    solvers = names + ([] if args.no_mip else ["cbc"])
    ratio_names = names if "cbc" in solvers else []
    header = ["number", "deadline"] + [f"{s}_{c}" for s in solvers for c in ("npv", "status", "seconds")] + \
             [f"{s}_per_cbc" for s in ratio_names]
    widths = [6, 8] + [22, 12, 8] * len(solvers) + [10] * len(ratio_names)
    faults, table = [], []
    with open(args.out + ".csv", "w", newline="") as csv_file, open(args.out + ".txt", "w") as txt:
        def show(text):  # on the console and in the text table
            print(text, flush=True)
            print(text, file=txt, flush=True)
        def show_row(cells):
            show(" ".join(str(c).rjust(w) for c, w in zip(cells, widths)))
        writer = csv.writer(csv_file)
        writer.writerow(header)
        show_row(header)
        sample = set(numbers[::max(1, args.mip_sample)])
        for n in numbers:
            results = {name: by_engine[name].get(n, ("missing", None, None)) for name in names}
            if not args.no_mip and n not in sample:
                results["cbc"] = ("not run", None, None)
            elif not args.no_mip:
                deadline, flows = records[n]
                r = peer_mip.solve(instances[n], deadline, [0] + flows + [0], args.rate, args.time_limit)
                results["cbc"] = (r.status, r.value, r.seconds)
            table.append(results)
            for f in faults_of(results):
                faults.append(f"instance {n}: {f}")
                show("FAULT " + faults[-1])
            cells, shown = [n, records[n][0]], [n, records[n][0]]
            for s in solvers:
                status, value, seconds = results[s]
                value, seconds = "" if value is None else repr(value), "" if seconds is None else f"{seconds:.3f}"
                cells += [value, status, seconds]  # the text table names a read error only "error"
                shown += [value, status if status in ("optimal", "infeasible", "time limit") else "error", seconds]
            for s in ratio_names:
                engine, cbc = results[s][2], results["cbc"][2]
                cells.append(f"{engine / cbc:.4g}" if engine is not None and cbc else "")
                shown.append(cells[-1])
            writer.writerow(cells)
            csv_file.flush()
            show_row(shown)
        show(f"{len(numbers)} instances, offset {args.offset}, rate {args.rate}, time limit {args.time_limit} s")
        def summary(s, rs, where=""):
            show(f"{s}{where}: {sum(r[0] == 'optimal' for r in rs)} proven optimal, "
                 f"{sum(r[0] == 'infeasible' for r in rs)} proven infeasible, "
                 f"{sum(r[1] is not None for r in rs)} with a feasible schedule, "
                 f"{sum(r[1] is None and r[0] == 'time limit' for r in rs)} stopped without one, "
                 f"{sum(r[2] or 0 for r in rs):.1f} s in all")
        sampled = [r for r, n in zip(table, numbers) if n in sample]
        for s in solvers:
            summary(s, [r[s] for r in (sampled if s == "cbc" else table)])
            if s != "cbc" and "cbc" in solvers and len(sampled) < len(table):
                summary(s, [r[s] for r in sampled], f" on the {len(sampled)} instances cbc ran")
        for s in ratio_names:
            ratios = [r[s][2] / r["cbc"][2] for r in table
                      if r["cbc"][2] is not None and r["cbc"][2] > 1 and r[s][2] is not None]
            median = f"{statistics.median(ratios):.4g}" if ratios else "none"
            show(f"median {s} seconds / cbc seconds where cbc needs more than 1 s: {median} ({len(ratios)} instances)")
        show(f"faults: {len(faults)}")
        for f in faults:
            show(f)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
